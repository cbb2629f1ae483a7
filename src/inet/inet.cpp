// The session, connection and handle calls of the HTTP facility, and its credential prompt.

#include "inet/inet.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include <curl/curl.h>

#include "inet/inet_engine.h"
#include "inet/inet_handles.h"
#include "inet/inet_lasterror.h"
#include "inet/inet_pollloop.h"
#include "inet/inet_state.h"
#include "inet/inet_text.h"

namespace quorvel::platform::inet
{

namespace
{

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

std::string optionText(const void *buffer, std::uint32_t length)
{
    std::string text(static_cast<const char *>(buffer), length);
    return text.substr(0, text.find('\0'));
}

void closeRequest(Request &request, const std::shared_ptr<Request> &self)
{
    bool transferLive = false;
    {
        std::lock_guard lock(request.mutex);
        request.closed = true;
        request.pendingRead.reset();
        request.syncEvents.clear();
        request.changed.notify_all();
        transferLive = request.transferLive;
    }
    // A finished transfer is gone already; waking the engine for it would cost a turn for nothing.
    if (transferLive && request.session().engine)
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

} // namespace

namespace
{

HINTERNET openSession(const std::string &agent, std::uint32_t accessType, const std::string &proxy,
                      bool async, std::unique_ptr<LoopDriver> driver)
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
    auto session = std::make_shared<Session>(agent, proxySetting, async);
    // An asynchronous session without a loop of the caller's gets one of its own.
    if (async && !driver)
        driver = std::make_unique<PollLoop>();
    session->engine = async ? Engine::startOnLoop(std::move(driver)) : Engine::startInline();
    if (!session->engine) {
        failWith(ERROR_INTERNET_OUT_OF_HANDLES);
        return nullptr;
    }
    HINTERNET handle = HandleRegistry::instance().add(session);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

} // namespace

HINTERNET InternetOpen(const std::string &agent, std::uint32_t accessType, const std::string &proxy,
                       std::uint32_t flags)
{
    return openSession(agent, accessType, proxy, (flags & INTERNET_FLAG_ASYNC) != 0, nullptr);
}

HINTERNET InternetOpenOnLoop(const std::string &agent, std::uint32_t accessType,
                             const std::string &proxy, std::unique_ptr<LoopDriver> driver)
{
    if (!driver) {
        failWith(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return openSession(agent, accessType, proxy, true, std::move(driver));
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