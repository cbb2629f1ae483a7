#include "inet/inet_engine.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include "inet/inet_errors.h"
#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"
#include "inet/inet_transfer.h"
#include "inet/url.h"

namespace quorvel::platform::inet
{

namespace
{

// The loop wakes at least this often to check resolver deadlines.
constexpr std::chrono::milliseconds longestWait{250};

bool isAddressLiteral(const std::string &host)
{
    std::string bare = host;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']')
        bare = bare.substr(1, bare.size() - 2);
    unsigned char buffer[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, bare.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, bare.c_str(), buffer) == 1;
}

bool isReservedInvalid(const std::string &host)
{
    std::string name = host;
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    for (auto &c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "invalid" || name.ends_with(".invalid");
}

std::string lower(std::string text)
{
    for (auto &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::vector<std::string> lookUp(const std::string &host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    std::vector<std::string> addresses;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return addresses;
    for (addrinfo *entry = found; entry; entry = entry->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void *address = nullptr;
        if (entry->ai_family == AF_INET)
            address = &reinterpret_cast<sockaddr_in *>(entry->ai_addr)->sin_addr;
        else if (entry->ai_family == AF_INET6)
            address = &reinterpret_cast<sockaddr_in6 *>(entry->ai_addr)->sin6_addr;
        if (address && ::inet_ntop(entry->ai_family, address, text, sizeof text) &&
            std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.emplace_back(text);
    }
    ::freeaddrinfo(found);
    return addresses;
}

std::string uint32Bytes(std::uint32_t value)
{
    return std::string(reinterpret_cast<const char *>(&value), sizeof value);
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

std::shared_ptr<Engine> Engine::start()
{
    std::shared_ptr<Engine> engine(new Engine);
    engine->multi_ = curl_multi_init();
    if (!engine->multi_)
        return nullptr;
    engine->alive_ = true;
    // The thread keeps its engine alive; closing the session only asks it to end.
    std::thread thread([engine] { engine->run(); });
    engine->threadId_ = thread.get_id();
    thread.detach();
    return engine;
}

Engine::~Engine() = default;

void Engine::post(Command command)
{
    std::lock_guard lock(commandMutex_);
    if (!alive_)
        return;
    commands_.push_back(std::move(command));
    curl_multi_wakeup(multi_);
}

void Engine::send(const std::shared_ptr<Request> &request, SendOrder order)
{
    post([this, request, order = std::move(order)]() mutable {
        startSend(request, std::move(order));
    });
}

void Engine::cancel(const std::shared_ptr<Request> &request)
{
    post([this, request] { drop(request.get()); });
}

void Engine::resume(const std::shared_ptr<Request> &request)
{
    post([this, request] { resumeNow(request); });
}

void Engine::stop()
{
    std::unique_lock lock(commandMutex_);
    if (!alive_)
        return;
    stopAsked_ = true;
    curl_multi_wakeup(multi_);
    if (std::this_thread::get_id() == threadId_)
        return;
    // A callback that is running finishes before the caller goes on to free what it uses; but
    // it may itself wait for this caller, so the wait is bounded.
    finishedChanged_.wait_for(lock, std::chrono::seconds(2), [this] { return finished_; });
}

void Engine::run()
{
    for (;;) {
        std::deque<Command> commands;
        {
            std::lock_guard lock(commandMutex_);
            if (stopAsked_)
                break;
            commands.swap(commands_);
        }
        for (auto &command : commands)
            command();
        perform();
        flushOutbox();
        curl_multi_poll(multi_, nullptr, 0, static_cast<int>(nextWait().count()), nullptr);
    }

    outbox_.clear();
    while (!transfers_.empty())
        drop(transfers_.begin()->first);
    {
        std::lock_guard lock(commandMutex_);
        alive_ = false;
        commands_.clear();
    }
    curl_multi_cleanup(multi_);
    multi_ = nullptr;
    std::lock_guard lock(commandMutex_);
    finished_ = true;
    finishedChanged_.notify_all();
}

std::chrono::milliseconds Engine::nextWait() const
{
    long curlWait = -1;
    curl_multi_timeout(multi_, &curlWait);
    auto wait =
        curlWait < 0 ? longestWait : std::min(longestWait, std::chrono::milliseconds(curlWait));
    return std::max(wait, std::chrono::milliseconds(0));
}

void Engine::perform()
{
    int running = 0;
    curl_multi_perform(multi_, &running);

    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        Transfer *transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        const CURLcode result = message->data.result;
        if (transfer)
            finished(*transfer, result);
    }

    // Time limits libcurl does not keep the way the facility needs: name resolution, and
    // silence of a connected server (a transfer paused for its reader is not silent).
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::pair<Transfer *, std::uint32_t>> late;
    for (auto &[key, transfer] : transfers_) {
        if (transfer->resolving && now >= transfer->resolveDeadline) {
            late.emplace_back(transfer.get(), ERROR_INTERNET_NAME_NOT_RESOLVED);
        } else if (transfer->easy && transfer->connected &&
                   now - transfer->lastActivity >= receiveTimeout()) {
            std::lock_guard lock(key->mutex);
            if (!key->paused)
                late.emplace_back(transfer.get(), ERROR_INTERNET_TIMEOUT);
        }
    }
    for (auto [transfer, error] : late)
        fail(*transfer, error);
}

void Engine::flushOutbox()
{
    // Callbacks may queue more (by calling the facility), so take the list first.
    while (!outbox_.empty()) {
        std::vector<Outgoing> outgoing;
        outgoing.swap(outbox_);
        for (auto &item : outgoing) {
            {
                std::lock_guard lock(item.request->mutex);
                if (item.request->closed || item.request->generation != item.generation)
                    continue;
            }
            {
                // Once the session is closed its callback hears nothing more.
                std::lock_guard lock(commandMutex_);
                if (stopAsked_)
                    return;
            }
            notify(*item.request, item.event.status, item.event.info.data(),
                   static_cast<std::uint32_t>(item.event.info.size()));
        }
    }
}

void Engine::queueEvent(Transfer &transfer, std::uint32_t status, std::string info)
{
    Request &request = *transfer.request;
    if (request.async()) {
        outbox_.push_back({transfer.request, transfer.order.generation, {status, std::move(info)}});
        return;
    }
    // The caller's thread waits in the facility and hands these to the callback in order.
    std::lock_guard lock(request.mutex);
    if (request.closed || request.generation != transfer.order.generation)
        return;
    request.syncEvents.push_back({status, std::move(info)});
    request.changed.notify_all();
}

void Engine::queueCompletion(Transfer &transfer, std::uint32_t result, std::uint32_t error)
{
    if (!transfer.request->async())
        return;
    InternetAsyncResult completion{result, error};
    queueEvent(transfer, INTERNET_STATUS_REQUEST_COMPLETE,
               std::string(reinterpret_cast<const char *>(&completion), sizeof completion));
}

void Engine::startSend(const std::shared_ptr<Request> &request, SendOrder order)
{
    drop(request.get());
    {
        std::lock_guard lock(request->mutex);
        if (request->closed || request->generation != order.generation)
            return;
    }
    auto transfer = std::make_unique<Transfer>(*this, request, std::move(order));
    Transfer &t = *transfer;
    t.secure = (request->flags & INTERNET_FLAG_SECURE) != 0;
    t.host = request->connection->host;
    t.port = request->connection->port != 0 ? request->connection->port : (t.secure ? 443 : 80);
    t.object = request->objectName;
    t.method = request->verb;
    t.withBody = !t.order.body.empty() || t.method == "POST" || t.method == "PUT";
    transfers_[request.get()] = std::move(transfer);
    beginHop(t);
}

void Engine::beginHop(Transfer &t)
{
    t.resetResponse();
    // The default port stays out, so a redirect's notified target reads as a browser shows it.
    const bool defaultPort = t.port == (t.secure ? 443 : 80);
    t.url = std::string(t.secure ? "https://" : "http://") + urlHost(lower(t.host)) +
            (defaultPort ? std::string() : ":" + std::to_string(t.port)) +
            encodeObjectName(t.object);
    if (!plausibleHost(t.host)) {
        fail(t, ERROR_INTERNET_NAME_NOT_RESOLVED);
        return;
    }

    const auto &proxy = t.request->session().proxy;
    const std::string name = proxy ? proxy->host : t.host;
    const std::uint16_t namePort = proxy ? proxy->port : t.port;
    t.target = lower(name) + ":" + std::to_string(namePort);
    queueEvent(t, INTERNET_STATUS_RESOLVING_NAME, name + '\0');

    const std::uint64_t serial = ++lastSerial_;
    t.serial = serial;
    if (isReservedInvalid(name)) {
        // Such names never resolve (RFC 6761); asking the network would only leak them.
        fail(t, ERROR_INTERNET_NAME_NOT_RESOLVED);
        return;
    }
    if (isAddressLiteral(name)) {
        t.resolving = true;
        std::string bare = name;
        if (bare.front() == '[')
            bare = bare.substr(1, bare.size() - 2);
        resolved(serial, Resolved{{bare}});
        return;
    }

    const std::uint32_t limit =
        t.order.connectTimeoutMs ? t.order.connectTimeoutMs : defaultConnectTimeoutMs;
    t.resolving = true;
    t.resolveDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
    // getaddrinfo blocks, so it runs beside the loop; a late answer finds its hop gone.
    std::weak_ptr<Engine> weak = weak_from_this();
    std::thread([weak, name, serial] {
        Resolved result{lookUp(name)};
        if (auto engine = weak.lock()) {
            Engine *self = engine.get();
            self->post([self, serial, result = std::move(result)]() mutable {
                self->resolved(serial, std::move(result));
            });
        }
    }).detach();
}

void Engine::resolved(std::uint64_t serial, Resolved result)
{
    const auto found = std::find_if(transfers_.begin(), transfers_.end(), [&](const auto &entry) {
        return entry.second->serial == serial && entry.second->resolving;
    });
    if (found == transfers_.end())
        return;
    Transfer &t = *found->second;
    t.resolving = false;
    if (result.addresses.empty()) {
        fail(t, ERROR_INTERNET_NAME_NOT_RESOLVED);
        return;
    }
    queueEvent(t, INTERNET_STATUS_NAME_RESOLVED, result.addresses.front() + '\0');
    startCurl(t, result.addresses);
}

void Engine::startCurl(Transfer &t, const std::vector<std::string> &addresses)
{
    Request &request = *t.request;
    Session &session = request.session();
    t.easy = curl_easy_init();
    if (!t.easy) {
        fail(t, ERROR_INTERNET_INTERNAL_ERROR);
        return;
    }
    CURL *easy = t.easy;
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(easy, CURLOPT_URL, t.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    const std::uint32_t connectLimit =
        t.order.connectTimeoutMs ? t.order.connectTimeoutMs : defaultConnectTimeoutMs;
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectLimit));
    installCallbacks(t);

    // The name was looked up here (for the notifications); libcurl takes the same answer.
    std::string entry;
    for (const auto &address : addresses) {
        entry += entry.empty() ? "" : ",";
        entry += address.find(':') != std::string::npos ? "[" + address + "]" : address;
    }
    t.resolveList = curl_slist_append(nullptr, (t.target + ":" + entry).c_str());
    curl_easy_setopt(easy, CURLOPT_RESOLVE, t.resolveList);

    // A preconfigured session goes direct: the environment's proxy settings are not ours.
    if (session.proxy) {
        const std::string proxyUrl = "http://" + urlHost(lower(session.proxy->host)) + ":" +
                                     std::to_string(session.proxy->port);
        curl_easy_setopt(easy, CURLOPT_PROXY, proxyUrl.c_str());
    } else {
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    }

    if (!session.agent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, session.agent.c_str());
    if (!request.referrer.empty())
        curl_easy_setopt(easy, CURLOPT_REFERER, request.referrer.c_str());

    if (t.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (t.withBody) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(t.order.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, t.order.body.data());
        if (t.method != "POST")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, t.method.c_str());
    } else if (t.method == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, t.method.c_str());
    }

    bool hasContentType = false;
    bool hasPragma = false;
    for (const auto &line : t.order.headers) {
        t.headerList = curl_slist_append(t.headerList, line.c_str());
        const std::string name = lower(line.substr(0, line.find(':')));
        hasContentType = hasContentType || name == "content-type";
        hasPragma = hasPragma || name == "pragma";
    }
    std::string accept;
    for (const auto &type : request.acceptTypes)
        accept += (accept.empty() ? "" : ", ") + type;
    // libcurl's own defaults ("Accept: */*", a form content type, "Expect") are not ours.
    t.headerList = curl_slist_append(t.headerList, ("Accept:" + accept).c_str());
    t.headerList = curl_slist_append(t.headerList, "Expect:");
    if (t.withBody && !hasContentType)
        t.headerList = curl_slist_append(t.headerList, "Content-Type:");
    if ((request.flags & INTERNET_FLAG_PRAGMA_NOCACHE) && !hasPragma)
        t.headerList = curl_slist_append(t.headerList, "Pragma: no-cache");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, t.headerList);

    long serverAuth = 0;
    long proxyAuth = 0;
    {
        std::lock_guard lock(request.mutex);
        serverAuth = request.serverAuth;
        proxyAuth = request.proxyAuth;
    }
    if (t.order.server.present() && !(request.flags & INTERNET_FLAG_NO_AUTH)) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, t.order.server.user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, t.order.server.password.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, serverAuth ? serverAuth : CURLAUTH_ANY);
        t.serverMayRetryAuth = serverAuth != CURLAUTH_BASIC;
    }
    if (t.order.proxy.present() && session.proxy) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, t.order.proxy.user.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, t.order.proxy.password.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, proxyAuth ? proxyAuth : CURLAUTH_ANY);
        t.proxyMayRetryAuth = proxyAuth != CURLAUTH_BASIC;
    }

    if (request.flags & INTERNET_FLAG_IGNORE_CERT_CN_INVALID)
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);

    if (curl_multi_add_handle(multi_, easy) != CURLM_OK)
        fail(t, ERROR_INTERNET_INTERNAL_ERROR);
}

void Engine::headersEnded(Transfer &t)
{
    if (t.status >= 100 && t.status < 200 && t.status != 101) {
        // Interim answers (100 Continue...) are reported and not kept.
        queueEvent(t, INTERNET_STATUS_INTERMEDIATE_RESPONSE,
                   uint32Bytes(static_cast<std::uint32_t>(t.status)));
        t.head.clear();
        t.headDone = false;
        return;
    }
    if (isRedirect(t.status) && !(t.request->flags & INTERNET_FLAG_NO_AUTO_REDIRECT)) {
        if (auto location = headerValue(t.head, "Location"); location && !location->empty()) {
            t.redirectTo = std::move(location);
            return;
        }
    }
    // libcurl answers such a challenge itself by sending again with the credentials; the
    // response counts only when its body starts or the transfer ends.
    if ((t.status == 401 && t.serverMayRetryAuth) || (t.status == 407 && t.proxyMayRetryAuth))
        return;
    publish(t);
}

void Engine::publish(Transfer &t)
{
    if (t.published)
        return;
    t.published = true;
    Request &request = *t.request;
    {
        std::lock_guard lock(request.mutex);
        if (request.closed || request.generation != t.order.generation)
            return;
        request.statusCode = t.status;
        request.rawHeaders = t.head;
        request.statusLine = t.head.substr(0, t.head.find("\r\n"));
        request.host = t.host;
        if (t.status == 401)
            request.serverAuth = offeredAuthSchemes(t.head, "WWW-Authenticate");
        if (t.status == 407)
            request.proxyAuth = offeredAuthSchemes(t.head, "Proxy-Authenticate");
        request.sendState = SendState::Answered;
        request.changed.notify_all();
    }
    queueCompletion(t, 1, ERROR_SUCCESS);
}

void Engine::finished(Transfer &t, CURLcode result)
{
    if (t.redirectTo && (result == CURLE_OK || (result == CURLE_WRITE_ERROR && t.discardCut))) {
        followRedirect(t);
        return;
    }
    if (result != CURLE_OK) {
        fail(t, errorFromCurl(result));
        return;
    }
    if (!t.published) {
        if (!t.headDone) {
            fail(t, ERROR_HTTP_INVALID_SERVER_RESPONSE);
            return;
        }
        publish(t);
    }
    completeBody(t);
}

void Engine::completeBody(Transfer &t)
{
    Request &request = *t.request;
    bool completeRead = false;
    {
        std::lock_guard lock(request.mutex);
        if (!request.closed && request.generation == t.order.generation) {
            request.bodyDone = true;
            if (request.pendingRead && request.bufferedBytes() == 0) {
                *request.pendingRead->read = 0;
                request.pendingRead.reset();
                completeRead = true;
            }
            request.changed.notify_all();
        }
    }
    if (completeRead)
        queueCompletion(t, 1, ERROR_SUCCESS);
    drop(t.request.get());
}

void Engine::fail(Transfer &t, std::uint32_t error)
{
    Request &request = *t.request;
    bool report = false;
    {
        std::lock_guard lock(request.mutex);
        if (!request.closed && request.generation == t.order.generation) {
            if (request.sendState == SendState::Sending) {
                request.sendState = SendState::Failed;
                request.sendError = error;
                report = true;
            } else {
                // Bytes that arrived stay readable; the error comes after them.
                request.bodyDone = true;
                request.bodyError = error;
                if (request.pendingRead) {
                    request.pendingRead.reset();
                    report = true;
                }
            }
            request.changed.notify_all();
        }
    }
    if (report)
        queueCompletion(t, 0, error);
    drop(t.request.get());
}

void Engine::followRedirect(Transfer &t)
{
    const std::string location = *t.redirectTo;
    const int status = t.status;
    releaseCurl(t);
    if (++t.hop > maxRedirects) {
        fail(t, ERROR_HTTP_REDIRECT_FAILED);
        return;
    }
    std::string next;
    UrlParts parts;
    if (!InternetCombineUrl(t.url, location, next) || !InternetCrackUrl(next, parts) ||
        (parts.scheme != UrlScheme::Http && parts.scheme != UrlScheme::Https)) {
        fail(t, ERROR_HTTP_REDIRECT_FAILED);
        return;
    }
    // The object name is taken from the combined text as it stands: decoding it here would
    // turn an escaped '/' or '?' into a real one.
    std::string rest = next.substr(next.find("://") + 3);
    const auto objectStart = rest.find_first_of("/?#");
    std::string object = objectStart == std::string::npos ? "/" : rest.substr(objectStart);
    object = object.substr(0, object.find('#'));
    if (object.empty() || object.front() != '/')
        object.insert(0, "/");

    // As browsers do: 303 always, and 301/302 after a POST, go on as GET without the body.
    if ((status == 303 && t.method != "HEAD") ||
        ((status == 301 || status == 302) && t.method == "POST")) {
        t.method = "GET";
        t.withBody = false;
    }
    t.secure = parts.scheme == UrlScheme::Https;
    t.host = parts.hostName;
    if (t.host.size() > 2 && t.host.front() == '[')
        t.host = t.host.substr(1, t.host.size() - 2);
    t.port = parts.port;
    t.object = object;
    queueEvent(t, INTERNET_STATUS_REDIRECT, next + '\0');
    beginHop(t);
}

void Engine::releaseCurl(Transfer &t)
{
    if (t.easy) {
        for (auto &[socket, owner] : sockets_) {
            if (owner.transfer == &t)
                owner.transfer = nullptr;
        }
        curl_multi_remove_handle(multi_, t.easy);
        curl_easy_cleanup(t.easy);
        t.easy = nullptr;
    }
    curl_slist_free_all(t.headerList);
    t.headerList = nullptr;
    curl_slist_free_all(t.resolveList);
    t.resolveList = nullptr;
}

void Engine::drop(Request *key)
{
    const auto found = transfers_.find(key);
    if (found == transfers_.end())
        return;
    std::unique_ptr<Transfer> transfer = std::move(found->second);
    transfers_.erase(found);
    releaseCurl(*transfer);
}

void Engine::resumeNow(const std::shared_ptr<Request> &request)
{
    {
        std::lock_guard lock(request->mutex);
        request->resumeAsked = false;
    }
    const auto found = transfers_.find(request.get());
    if (found != transfers_.end() && found->second->easy) {
        found->second->lastActivity = std::chrono::steady_clock::now();
        curl_easy_pause(found->second->easy, CURLPAUSE_CONT);
    }
}

void Engine::socketOpened(Transfer &t, curl_socket_t socket)
{
    sockets_[socket] = SocketOwner{t.request, t.target, &t, false};
}

void Engine::requestStarting(Transfer &t)
{
    if (t.openedSocket) {
        // Parallel attempts that lost were closed before this point; the rest carries requests.
        for (auto &[socket, owner] : sockets_) {
            if (owner.transfer == &t)
                owner.confirmed = true;
        }
        return;
    }
    // A kept-alive connection: with one idle connection to the target it must be that one.
    SocketOwner *reused = nullptr;
    int candidates = 0;
    for (auto &[socket, owner] : sockets_) {
        if (owner.confirmed && !owner.transfer && owner.target == t.target) {
            reused = &owner;
            ++candidates;
        }
    }
    if (candidates == 1) {
        reused->request = t.request;
        reused->transfer = &t;
    }
}

void Engine::socketClosing(curl_socket_t socket)
{
    const auto found = sockets_.find(socket);
    if (found == sockets_.end())
        return;
    SocketOwner owner = std::move(found->second);
    sockets_.erase(found);
    if (!owner.confirmed)
        return;
    const auto request = owner.request.lock();
    if (!request || !owner.transfer)
        return;
    queueEvent(*owner.transfer, INTERNET_STATUS_CLOSING_CONNECTION, {});
    queueEvent(*owner.transfer, INTERNET_STATUS_CONNECTION_CLOSED, {});
}

} // namespace quorvel::platform::inet
