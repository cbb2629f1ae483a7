// One hop of a transfer: the name looked up beside the loop, then the libcurl handle set up for
// the hop's target with the request's method, headers, credentials and limits.

#include "inet/inet_engine.h"

#include <algorithm>
#include <cctype>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include "inet/idna.h"
#include "inet/inet_lookup.h"
#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"
#include "inet/inet_transfer.h"

namespace quorvel::platform::inet
{

namespace
{

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
    return lookUpAddresses(host).addresses;
}
} // namespace

void Engine::beginHop(Transfer &t)
{
    t.resetResponse();
    // A name beyond ASCII goes out in its IDNA form, as browsers send it; one that has none
    // stays as it is and is not resolved.
    if (std::optional<std::string> ascii = hostToAscii(t.host))
        t.host = std::move(*ascii);
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
    t.literalTarget = isAddressLiteral(name);
    if (t.literalTarget) {
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
    t.easy = takeEasy();
    if (!t.easy) {
        fail(t, ERROR_INTERNET_INTERNAL_ERROR);
        return;
    }
    CURL *easy = t.easy.get();
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

    // The name was looked up here (for the notifications); libcurl takes the same answer. An
    // address literal needs no lookup, and libcurl reads it from the URL itself.
    if (!t.literalTarget) {
        std::string entry;
        for (const auto &address : addresses) {
            entry += entry.empty() ? "" : ",";
            entry += address.find(':') != std::string::npos ? "[" + address + "]" : address;
        }
        appendTo(t.resolveList, (t.target + ":" + entry).c_str());
        curl_easy_setopt(easy, CURLOPT_RESOLVE, t.resolveList.get());
    }

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
        appendTo(t.headerList, line.c_str());
        const std::string name = lower(line.substr(0, line.find(':')));
        hasContentType = hasContentType || name == "content-type";
        hasPragma = hasPragma || name == "pragma";
    }
    std::string accept;
    for (const auto &type : request.acceptTypes)
        accept += (accept.empty() ? "" : ", ") + type;
    // libcurl's own defaults ("Accept: */*", a form content type, "Expect") are not ours.
    appendTo(t.headerList, ("Accept:" + accept).c_str());
    appendTo(t.headerList, "Expect:");
    if (t.withBody && !hasContentType)
        appendTo(t.headerList, "Content-Type:");
    if ((request.flags & INTERNET_FLAG_PRAGMA_NOCACHE) && !hasPragma)
        appendTo(t.headerList, "Pragma: no-cache");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, t.headerList.get());

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

    if (curl_multi_add_handle(multi_.get(), easy) != CURLM_OK)
        fail(t, ERROR_INTERNET_INTERNAL_ERROR);
}

} // namespace quorvel::platform::inet
