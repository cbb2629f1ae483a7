// The request calls of the HTTP facility: opening, sending, querying the answer and reading the
// body.

#include "inet/inet.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "inet/inet_engine.h"
#include "inet/inet_handles.h"
#include "inet/inet_lasterror.h"
#include "inet/inet_state.h"
#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"

namespace quorvel::platform::inet
{

namespace
{

// Unread body bytes below which a paused transfer is let go on.
constexpr std::size_t resumeBelow = 64 * 1024;

template <typename T> std::shared_ptr<T> find(HINTERNET handle, HandleKind kind)
{
    return HandleRegistry::instance().find<T>(handle, kind);
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
    const std::chrono::milliseconds connectLimit(order.connectTimeoutMs ? order.connectTimeoutMs
                                                                        : defaultConnectTimeoutMs);
    order.deadline = std::chrono::steady_clock::now() + connectLimit + transferTimeLimit();
    order.generation = ++request->generation;
    request->transferLive = true;
    request->sendState = SendState::Sending;
    request->sendError = 0;
    request->statusCode = 0;
    request->rawHeaders.clear();
    request->statusLine.clear();
    request->body.clear();
    request->bodyOffset = 0;
    request->bodyDone = false;
    request->bodyError = 0;
    request->heldAtEnd.clear();
    request->heldEnd.reset();
    request->releaseAsked = false;
    request->paused = false;
    request->resumeAsked = false;
    request->pendingRead.reset();
    request->syncEvents.clear();
    lock.unlock();

    request->session().engine->send(request, std::move(order));
    if (request->async())
        return failWith(ERROR_IO_PENDING);

    lock.lock();
    Request &waiting = *request;
    const auto moved = [&waiting] {
        return waiting.closed || !waiting.syncEvents.empty() ||
               waiting.sendState != SendState::Sending;
    };
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
        request->session().engine->drive(waiting, lock, moved);
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

bool InternetAfterNotifications(HINTERNET requestHandle, std::function<void()> call)
{
    const auto request = find<Request>(requestHandle, HandleKind::Request);
    if (!request)
        return false;
    SetLastError(ERROR_SUCCESS);
    const auto &engine = request->session().engine;
    return engine && engine->afterNotifications(std::move(call));
}

bool InternetResponseComplete(HINTERNET requestHandle)
{
    const auto request = find<Request>(requestHandle, HandleKind::Request);
    if (!request)
        return false;
    std::lock_guard lock(request->mutex);
    SetLastError(ERROR_SUCCESS);
    return !request->closed && request->sendState == SendState::Answered && request->bodyDone &&
           !request->holding() && !request->pendingRead;
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
    bool release = false;
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
            if (request->holding() && !request->releaseAsked) {
                request->releaseAsked = true;
                release = true;
            }
            result = failWith(ERROR_IO_PENDING);
            break;
        }
        if (request->holding()) {
            // Every byte is taken: what waited for this moment comes now, in its order.
            for (auto &event : request->heldAtEnd)
                request->syncEvents.push_back(std::move(event));
            request->heldAtEnd.clear();
            if (request->heldEnd) {
                request->bodyDone = true;
                request->bodyError = *request->heldEnd;
                request->heldEnd.reset();
            }
            continue;
        }
        resume = wantsResume(*request);
        if (resume) {
            lock.unlock();
            request->session().engine->resume(request);
            lock.lock();
            resume = false;
        }
        Request &waiting = *request;
        request->session().engine->drive(waiting, lock, [&waiting] {
            return waiting.closed || !waiting.syncEvents.empty() || waiting.bufferedBytes() > 0 ||
                   waiting.bodyDone || waiting.holding();
        });
    }
    lock.unlock();
    if (resume)
        request->session().engine->resume(request);
    if (release)
        request->session().engine->release(request);
    return result;
}

} // namespace quorvel::platform::inet
