#include "inet/inet.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include <curl/curl.h>

#include "inet/inet_engine.h"
#include "inet/inet_handles.h"
#include "inet/inet_lasterror.h"
#include "inet/inet_state.h"
#include "inet/inet_text.h"

namespace quorvel::platform::inet
{

namespace
{

// Unread body bytes below which a paused transfer is let go on.
constexpr std::size_t resumeBelow = 64 * 1024;

bool curlReady()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

struct PromptSlot {
    std::mutex mutex;
    CredentialPrompt prompt;
};

PromptSlot &promptSlot()
{
    static PromptSlot *slot = new PromptSlot;
    return *slot;
}

template <typename T> std::shared_ptr<T> find(HINTERNET handle, HandleKind kind)
{
    return HandleRegistry::instance().find<T>(handle, kind);
}

bool hasControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// "host:port", "http=host:port" or "http://host:port"; the first entry of a list counts.
std::optional<ProxySetting> parseProxy(std::string text)
{
    text = text.substr(0, text.find_first_of(" ;"));
    if (const auto equals = text.find('='); equals != std::string::npos)
        text = text.substr(equals + 1);
    if (const auto scheme = text.find("://"); scheme != std::string::npos)
        text = text.substr(scheme + 3);
    text = text.substr(0, text.find('/'));
    ProxySetting proxy;
    std::string port;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        proxy.host = text.substr(1, close - 1);
        if (close + 1 < text.size() && text[close + 1] == ':')
            port = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        proxy.host = text.substr(0, colon);
        if (colon != std::string::npos)
            port = text.substr(colon + 1);
    }
    if (!port.empty()) {
        if (port.size() > 5 || !std::all_of(port.begin(), port.end(), ::isdigit) ||
            std::stoul(port) == 0 || std::stoul(port) > 65535)
            return std::nullopt;
        proxy.port = static_cast<std::uint16_t>(std::stoul(port));
    }
    if (!plausibleHost(proxy.host))
        return std::nullopt;
    return proxy;
}

// A long-lived session opens a connection per request; closed ones must not pile up.
template <typename T> void pruneExpired(std::vector<std::weak_ptr<T>> &children)
{
    std::erase_if(children, [](const std::weak_ptr<T> &child) { return child.expired(); });
}

std::string optionText(const void *buffer, std::uint32_t length)
{
    std::string text(static_cast<const char *>(buffer), length);
    return text.substr(0, text.find('\0'));
}

void closeRequest(Request &request, const std::shared_ptr<Request> &self)
{
    {
        std::lock_guard lock(request.mutex);
        request.closed = true;
        request.pendingRead.reset();
        request.syncEvents.clear();
        request.changed.notify_all();
    }
    if (request.session().engine)
        request.session().engine->cancel(self);
}

void closeConnection(Connection &connection)
{
    std::vector<std::weak_ptr<Request>> requests;
    {
        std::lock_guard lock(connection.mutex);
        requests.swap(connection.requests);
    }
    for (const auto &weak : requests) {
        if (auto request = weak.lock();
            request && HandleRegistry::instance().remove(request->handle()))
            closeRequest(*request, request);
    }
}

void closeSession(Session &session)
{
    std::vector<std::weak_ptr<Connection>> connections;
    {
        std::lock_guard lock(session.mutex);
        connections.swap(session.connections);
    }
    for (const auto &weak : connections) {
        if (auto connection = weak.lock();
            connection && HandleRegistry::instance().remove(connection->handle()))
            closeConnection(*connection);
    }
    if (session.engine)
        session.engine->stop();
}

// Asks the transfer to go on when the reader has made room. Called with the lock held.
bool wantsResume(Request &request)
{
    if (!request.paused || request.resumeAsked || request.bufferedBytes() >= resumeBelow)
        return false;
    request.resumeAsked = true;
    return true;
}

std::uint32_t takeBody(Request &request, void *buffer, std::uint32_t toRead)
{
    const auto count =
        static_cast<std::uint32_t>(std::min<std::size_t>(toRead, request.bufferedBytes()));
    std::memcpy(buffer, request.body.data() + request.bodyOffset, count);
    request.bodyOffset += count;
    if (request.bodyOffset == request.body.size()) {
        request.body.clear();
        request.bodyOffset = 0;
    } else if (request.bodyOffset > request.body.size() / 2) {
        request.body.erase(0, request.bodyOffset);
        request.bodyOffset = 0;
    }
    return count;
}

bool answerText(const std::string &text, void *buffer, std::uint32_t *bufferLength)
{
    const auto needed = static_cast<std::uint32_t>(text.size() + 1);
    if (!buffer || *bufferLength < needed) {
        *bufferLength = needed;
        return failWith(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, text.c_str(), needed);
    *bufferLength = needed - 1;
    SetLastError(ERROR_SUCCESS);
    return true;
}

} // namespace

HINTERNET InternetOpen(const std::string &agent, std::uint32_t accessType, const std::string &proxy,
                       std::uint32_t flags)
{
    if (!curlReady()) {
        failWith(ERROR_INTERNET_INTERNAL_ERROR);
        return nullptr;
    }
    std::optional<ProxySetting> proxySetting;
    if (accessType == INTERNET_OPEN_TYPE_PROXY) {
        proxySetting = parseProxy(proxy);
        if (!proxySetting) {
            failWith(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
    } else if (accessType != INTERNET_OPEN_TYPE_PRECONFIG &&
               accessType != INTERNET_OPEN_TYPE_DIRECT) {
        failWith(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (hasControl(agent)) {
        failWith(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto session =
        std::make_shared<Session>(agent, proxySetting, (flags & INTERNET_FLAG_ASYNC) != 0);
    session->engine = Engine::start();
    if (!session->engine) {
        failWith(ERROR_INTERNET_OUT_OF_HANDLES);
        return nullptr;
    }
    HINTERNET handle = HandleRegistry::instance().add(session);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

StatusCallback InternetSetStatusCallback(HINTERNET handle, StatusCallback callback)
{
    const auto object = HandleRegistry::instance().find(handle);
    if (!object)
        return nullptr;
    Session *session = nullptr;
    switch (object->kind()) {
    case HandleKind::Session:
        session = static_cast<Session *>(object.get());
        break;
    case HandleKind::Connection:
        session = static_cast<Connection *>(object.get())->session.get();
        break;
    case HandleKind::Request:
        session = &static_cast<Request *>(object.get())->session();
        break;
    }
    SetLastError(ERROR_SUCCESS);
    return session->callback.exchange(callback);
}

HINTERNET InternetConnect(HINTERNET sessionHandle, const std::string &host, std::uint16_t port,
                          const char *userName, const char *password, std::uint32_t service,
                          std::uint32_t, std::uintptr_t)
{
    const auto session = find<Session>(sessionHandle, HandleKind::Session);
    if (!session)
        return nullptr;
    if (service != INTERNET_SERVICE_HTTP || host.empty()) {
        failWith(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto connection = std::make_shared<Connection>(session, host, port);
    if (userName)
        connection->server.user = userName;
    if (password)
        connection->server.password = password;
    HINTERNET handle = HandleRegistry::instance().add(connection);
    {
        std::lock_guard lock(session->mutex);
        pruneExpired(session->connections);
        session->connections.push_back(connection);
    }
    // A session closed meanwhile would not know this child; close it like the rest.
    if (!HandleRegistry::instance().find(sessionHandle)) {
        HandleRegistry::instance().remove(handle);
        failWith(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

bool InternetSetOption(HINTERNET handle, std::uint32_t option, const void *buffer,
                       std::uint32_t length)
{
    const auto object = HandleRegistry::instance().find(handle);
    if (!object)
        return false;
    if (!buffer && length > 0)
        return failWith(ERROR_INVALID_PARAMETER);

    if (option == INTERNET_OPTION_CONNECT_TIMEOUT) {
        if (!buffer || length < sizeof(std::uint32_t))
            return failWith(ERROR_INSUFFICIENT_BUFFER);
        std::uint32_t value = 0;
        std::memcpy(&value, buffer, sizeof value);
        switch (object->kind()) {
        case HandleKind::Session:
            static_cast<Session *>(object.get())->connectTimeoutMs = value;
            break;
        case HandleKind::Connection: {
            auto &connection = static_cast<Connection &>(*object);
            std::lock_guard lock(connection.mutex);
            connection.connectTimeoutMs = value;
            break;
        }
        case HandleKind::Request: {
            auto &request = static_cast<Request &>(*object);
            std::lock_guard lock(request.mutex);
            request.connectTimeoutMs = value;
            break;
        }
        }
        SetLastError(ERROR_SUCCESS);
        return true;
    }

    const bool credential =
        option == INTERNET_OPTION_USERNAME || option == INTERNET_OPTION_PASSWORD ||
        option == INTERNET_OPTION_PROXY_USERNAME || option == INTERNET_OPTION_PROXY_PASSWORD;
    if (!credential)
        return failWith(ERROR_INTERNET_INVALID_OPTION);
    if (object->kind() == HandleKind::Session)
        return failWith(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);

    const std::string text = buffer ? optionText(buffer, length) : std::string();
    auto assign = [&](Credentials &server, Credentials &proxy) {
        switch (option) {
        case INTERNET_OPTION_USERNAME:
            server.user = text;
            break;
        case INTERNET_OPTION_PASSWORD:
            server.password = text;
            break;
        case INTERNET_OPTION_PROXY_USERNAME:
            proxy.user = text;
            break;
        default:
            proxy.password = text;
            break;
        }
    };
    if (object->kind() == HandleKind::Connection) {
        auto &connection = static_cast<Connection &>(*object);
        std::lock_guard lock(connection.mutex);
        assign(connection.server, connection.proxy);
    } else {
        auto &request = static_cast<Request &>(*object);
        std::lock_guard lock(request.mutex);
        assign(request.dialogServer, request.dialogProxy);
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

HINTERNET HttpOpenRequest(HINTERNET connectionHandle, const std::string &verb,
                          const std::string &objectName, const char *, const char *referrer,
                          const char *const *acceptTypes, std::uint32_t flags,
                          std::uintptr_t context)
{
    const auto connection = find<Connection>(connectionHandle, HandleKind::Connection);
    if (!connection)
        return nullptr;
    const std::string method = verb.empty() ? "GET" : verb;
    const bool tokenOnly = std::all_of(method.begin(), method.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    });
    std::vector<std::string> accept;
    for (auto entry = acceptTypes; entry && *entry && **entry; ++entry)
        accept.emplace_back(*entry);
    const bool badText =
        !tokenOnly || (referrer && hasControl(referrer)) ||
        std::any_of(accept.begin(), accept.end(), [](const auto &t) { return hasControl(t); });
    if (badText) {
        failWith(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string object = objectName.empty() ? "/" : objectName;
    if (object.front() != '/')
        object.insert(0, "/");

    auto request = std::make_shared<Request>(connection, method, object, referrer ? referrer : "",
                                             std::move(accept), flags, context);
    {
        std::lock_guard lock(request->mutex);
        request->host = connection->host;
    }
    HINTERNET handle = HandleRegistry::instance().add(request);
    {
        std::lock_guard lock(connection->mutex);
        pruneExpired(connection->requests);
        connection->requests.push_back(request);
    }
    if (!HandleRegistry::instance().find(connectionHandle)) {
        HandleRegistry::instance().remove(handle);
        failWith(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

bool HttpSendRequest(HINTERNET requestHandle, const char *headers, std::uint32_t headersLength,
                     const void *optional, std::uint32_t optionalLength)
{
    const auto request = find<Request>(requestHandle, HandleKind::Request);
    if (!request)
        return false;
    if (!optional && optionalLength > 0)
        return failWith(ERROR_INVALID_PARAMETER);

    SendOrder order;
    if (headers) {
        const std::size_t length =
            headersLength == 0xFFFFFFFFu ? std::strlen(headers) : headersLength;
        if (!splitHeaderBlock(std::string_view(headers, length), order.headers))
            return failWith(ERROR_INVALID_PARAMETER);
    }
    if (optional)
        order.body.assign(static_cast<const char *>(optional), optionalLength);

    Connection &connection = *request->connection;
    {
        // Credentials are read again at every send, so a resend uses what was set meanwhile.
        std::lock_guard lock(connection.mutex);
        order.server = connection.server;
        order.proxy = connection.proxy;
        order.connectTimeoutMs = connection.connectTimeoutMs;
    }
    if (order.connectTimeoutMs == 0)
        order.connectTimeoutMs = connection.session->connectTimeoutMs.load();

    std::unique_lock lock(request->mutex);
    if (request->closed)
        return failWith(ERROR_INTERNET_OPERATION_CANCELLED);
    if (request->dialogServer.present())
        order.server = request->dialogServer;
    if (request->dialogProxy.present())
        order.proxy = request->dialogProxy;
    if (request->connectTimeoutMs != 0)
        order.connectTimeoutMs = request->connectTimeoutMs;
    order.generation = ++request->generation;
    request->sendState = SendState::Sending;
    request->sendError = 0;
    request->statusCode = 0;
    request->rawHeaders.clear();
    request->statusLine.clear();
    request->body.clear();
    request->bodyOffset = 0;
    request->bodyDone = false;
    request->bodyError = 0;
    request->paused = false;
    request->resumeAsked = false;
    request->pendingRead.reset();
    request->syncEvents.clear();
    lock.unlock();

    request->session().engine->send(request, std::move(order));
    if (request->async())
        return failWith(ERROR_IO_PENDING);

    lock.lock();
    for (;;) {
        request->deliverSyncEvents(lock);
        if (request->closed)
            return failWith(ERROR_INTERNET_OPERATION_CANCELLED);
        if (!request->syncEvents.empty())
            continue;
        if (request->sendState == SendState::Failed)
            return failWith(request->sendError);
        if (request->sendState == SendState::Answered)
            break;
        request->changed.wait(lock);
    }
    setLastResponseInfo(static_cast<std::uint32_t>(request->statusCode), request->statusLine);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool HttpQueryInfo(HINTERNET requestHandle, std::uint32_t infoLevel, void *buffer,
                   std::uint32_t *bufferLength, std::uint32_t *)
{
    const auto request = find<Request>(requestHandle, HandleKind::Request);
    if (!request)
        return false;
    if (!bufferLength)
        return failWith(ERROR_INVALID_PARAMETER);

    int status = 0;
    std::string raw;
    std::string statusLine;
    {
        std::unique_lock lock(request->mutex);
        if (!request->async())
            request->deliverSyncEvents(lock);
        if (request->sendState != SendState::Answered)
            return failWith(ERROR_HTTP_HEADER_NOT_FOUND);
        status = request->statusCode;
        raw = request->rawHeaders;
        statusLine = request->statusLine;
    }
    setLastResponseInfo(static_cast<std::uint32_t>(status), statusLine);

    const bool number = (infoLevel & HTTP_QUERY_FLAG_NUMBER) != 0;
    switch (infoLevel & ~HTTP_QUERY_FLAG_NUMBER) {
    case HTTP_QUERY_STATUS_CODE:
        if (!number)
            return answerText(std::to_string(status), buffer, bufferLength);
        if (!buffer || *bufferLength < sizeof(std::uint32_t)) {
            *bufferLength = sizeof(std::uint32_t);
            return failWith(ERROR_INSUFFICIENT_BUFFER);
        } else {
            const auto value = static_cast<std::uint32_t>(status);
            std::memcpy(buffer, &value, sizeof value);
            *bufferLength = sizeof value;
            SetLastError(ERROR_SUCCESS);
            return true;
        }
    case HTTP_QUERY_RAW_HEADERS_CRLF:
        if (number)
            return failWith(ERROR_INVALID_PARAMETER);
        return answerText(raw, buffer, bufferLength);
    default:
        return failWith(ERROR_INVALID_PARAMETER);
    }
}

bool InternetReadFile(HINTERNET requestHandle, void *buffer, std::uint32_t toRead,
                      std::uint32_t *read)
{
    const auto request = find<Request>(requestHandle, HandleKind::Request);
    if (!request)
        return false;
    if (!read || (!buffer && toRead > 0))
        return failWith(ERROR_INVALID_PARAMETER);

    std::unique_lock lock(request->mutex);
    if (request->sendState != SendState::Answered || request->pendingRead)
        return failWith(ERROR_INTERNET_INCORRECT_STATE);
    bool resume = false;
    bool result = false;
    for (;;) {
        if (!request->async())
            request->deliverSyncEvents(lock);
        if (request->closed) {
            result = failWith(ERROR_INTERNET_OPERATION_CANCELLED);
            break;
        }
        if (request->bufferedBytes() > 0 || toRead == 0) {
            *read = takeBody(*request, buffer, toRead);
            resume = wantsResume(*request);
            SetLastError(ERROR_SUCCESS);
            result = true;
            break;
        }
        if (request->bodyDone) {
            if (request->bodyError != 0) {
                result = failWith(request->bodyError);
                break;
            }
            *read = 0;
            SetLastError(ERROR_SUCCESS);
            result = true;
            break;
        }
        if (request->async()) {
            request->pendingRead = PendingRead{buffer, toRead, read};
            resume = wantsResume(*request);
            result = failWith(ERROR_IO_PENDING);
            break;
        }
        resume = wantsResume(*request);
        if (resume) {
            lock.unlock();
            request->session().engine->resume(request);
            lock.lock();
            resume = false;
        }
        request->changed.wait(lock);
    }
    lock.unlock();
    if (resume)
        request->session().engine->resume(request);
    return result;
}

bool InternetCloseHandle(HINTERNET handle)
{
    const auto object = HandleRegistry::instance().remove(handle);
    if (!object)
        return failWith(ERROR_INVALID_HANDLE);
    switch (object->kind()) {
    case HandleKind::Request: {
        auto request = std::static_pointer_cast<Request>(object);
        closeRequest(*request, request);
        break;
    }
    case HandleKind::Connection:
        closeConnection(static_cast<Connection &>(*object));
        break;
    case HandleKind::Session:
        closeSession(static_cast<Session &>(*object));
        break;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::uint32_t InternetErrorDlg(void *, HINTERNET requestHandle, std::uint32_t, std::uint32_t,
                               void **)
{
    const auto request = find<Request>(requestHandle, HandleKind::Request);
    if (!request)
        return GetLastError();
    int status = 0;
    std::string host;
    {
        std::lock_guard lock(request->mutex);
        if (request->sendState == SendState::Answered)
            status = request->statusCode;
        host = request->host;
    }
    if (status != 401 && status != 407)
        return ERROR_SUCCESS;
    const bool proxy = status == 407;

    CredentialPrompt prompt;
    {
        std::lock_guard lock(promptSlot().mutex);
        prompt = promptSlot().prompt;
    }
    std::string user;
    std::string password;
    if (!prompt || !prompt(host, proxy, user, password))
        return ERROR_CANCELLED;

    std::lock_guard lock(request->mutex);
    if (request->closed)
        return ERROR_CANCELLED;
    Credentials &slot = proxy ? request->dialogProxy : request->dialogServer;
    slot.user = user;
    slot.password = password;
    return ERROR_INTERNET_FORCE_RETRY;
}

void setCredentialPrompt(CredentialPrompt prompt)
{
    std::lock_guard lock(promptSlot().mutex);
    promptSlot().prompt = std::move(prompt);
}

} // namespace quorvel::platform::inet
