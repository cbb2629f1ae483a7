// One hop of a transfer as the engine drives it: the name looked up beside the loop, the libcurl
// handle set up for the hop's target with the request's method, headers, credentials and limits,
// and its end (answer, redirect or failure) as the shared hop policy judges it.

#include "inet/inet_engine.h"

#include <algorithm>

#include "inet/hop.h"
#include "inet/inet_lookup.h"
#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"
#include "inet/inet_transfer.h"

namespace quorvel::platform::inet
{

void Engine::beginHop(Transfer &t)
{
    t.resetResponse();
    t.followRedirects = !(t.request->flags & INTERNET_FLAG_NO_AUTO_REDIRECT);
    t.url = formHop(t);
    if (!plausibleHost(t.host)) {
        fail(t, ERROR_INTERNET_NAME_NOT_RESOLVED);
        return;
    }

    const auto &proxy = t.request->session().proxy;
    const std::string name = proxy ? proxy->host : t.host;
    const std::uint16_t namePort = proxy ? proxy->port : t.port;
    t.target = lowerHost(name) + ":" + std::to_string(namePort);
    queueEvent(t, INTERNET_STATUS_RESOLVING_NAME, name + '\0');

    const std::uint64_t serial = ++lastSerial_;
    t.serial = serial;
    if (isReservedInvalid(name)) {
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
    // A late answer finds its hop (or its engine) gone.
    std::weak_ptr<Engine> weak = weak_from_this();
    lookUpBeside([weak, name, serial] {
        Resolved result{lookUpAddresses(name).addresses};
        if (auto engine = weak.lock()) {
            Engine *self = engine.get();
            self->post([self, serial, result = std::move(result)]() mutable {
                self->resolved(serial, std::move(result));
            });
        }
    });
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
    const std::uint32_t connectLimit =
        t.order.connectTimeoutMs ? t.order.connectTimeoutMs : defaultConnectTimeoutMs;
    setUpHop(easy, &t, t.url, static_cast<long>(connectLimit));
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    installCallbacks(t);

    // The name was looked up here (for the notifications); libcurl takes the same answer. An
    // address literal needs no lookup, and libcurl reads it from the URL itself.
    if (!t.literalTarget) {
        const auto &proxy = session.proxy;
        appendTo(t.resolveList, resolveEntry(proxy ? proxy->host : t.host,
                                             proxy ? proxy->port : t.port, addresses)
                                    .c_str());
        curl_easy_setopt(easy, CURLOPT_RESOLVE, t.resolveList.get());
    }

    // A preconfigured session goes direct (setUpHop). Through a proxy the agent also goes with
    // the tunnel's CONNECT, which only libcurl's own option reaches.
    if (session.proxy && !session.agent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, session.agent.c_str());
    if (session.proxy) {
        const std::string proxyUrl = "http://" + urlHost(lowerHost(session.proxy->host)) + ":" +
                                     std::to_string(session.proxy->port);
        curl_easy_setopt(easy, CURLOPT_PROXY, proxyUrl.c_str());
    }

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

    // A User-Agent of the request's own headers takes the place of the session's.
    const bool ownAgent =
        std::any_of(t.order.headers.begin(), t.order.headers.end(), [](const std::string &line) {
            return lowerHost(line.substr(0, line.find(':'))) == "user-agent";
        });
    if (!session.agent.empty() && !ownAgent)
        appendTo(t.headerList, agentHeader(session.agent).c_str());
    bool hasContentType = false;
    bool hasPragma = false;
    for (const auto &line : t.order.headers) {
        appendTo(t.headerList, line.c_str());
        const std::string name = lowerHost(line.substr(0, line.find(':')));
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

void Engine::finished(Transfer &t, CURLcode result)
{
    const HopAnswer::Outcome end = t.outcome(result);
    if (end.kind == HopAnswer::Outcome::Kind::Failed) {
        fail(t, end.error);
        return;
    }
    if (end.kind == HopAnswer::Outcome::Kind::Redirect) {
        followRedirect(t);
        return;
    }
    publish(t);
    completeBody(t);
}

void Engine::followRedirect(Transfer &t)
{
    const std::string location = *t.redirectTo;
    const int status = t.status;
    releaseCurl(t);
    std::string next;
    if (const std::uint32_t error = redirectHop(t, t.hop, t.url, location, next)) {
        fail(t, error);
        return;
    }
    // As browsers do: 303 always, and 301/302 after a POST, go on as GET without the body.
    if ((status == 303 && t.method != "HEAD") ||
        ((status == 301 || status == 302) && t.method == "POST")) {
        t.method = "GET";
        t.withBody = false;
    }
    queueEvent(t, INTERNET_STATUS_REDIRECT, next + '\0');
    beginHop(t);
}

} // namespace quorvel::platform::inet
