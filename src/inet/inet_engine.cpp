// What becomes of a transfer once libcurl has answered: the notifications in order, the
// published response, the body, a failure, a redirect, the connections it used.

#include "inet/inet_engine.h"

#include <algorithm>
#include <cstring>

#include "inet/inet_errors.h"
#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"
#include "inet/inet_transfer.h"

namespace quorvel::platform::inet
{

void Engine::flushOutbox()
{
    // Callbacks may queue more (by calling the facility), so take the list first.
    for (;;) {
        std::vector<Outgoing> outgoing;
        {
            std::lock_guard work(workMutex_);
            outgoing.swap(outbox_);
        }
        if (outgoing.empty())
            return;
        bool delivered = false; // the notification before this one
        for (std::size_t i = 0; i < outgoing.size(); ++i) {
            Outgoing &item = outgoing[i];
            // Once the session is closed its callback hears nothing more.
            if (stopping())
                return;
            if (item.change) {
                // Changes queue notifications of their own, in the outbox the work guards.
                std::lock_guard work(workMutex_);
                item.change();
                delivered = false;
                continue;
            }
            if (item.event.status == INTERNET_STATUS_REQUEST_COMPLETE)
                applyChangesBehind(outgoing, i);
            if (!(item.event.bound && delivered)) {
                std::lock_guard lock(item.request->mutex);
                if (item.request->closed || item.request->generation != item.generation) {
                    delivered = false;
                    continue;
                }
            }
            notify(*item.request, item.event.status, item.event.info.data(),
                   static_cast<std::uint32_t>(item.event.info.size()));
            delivered = true;
        }
    }
}

void Engine::applyChangesBehind(std::vector<Outgoing> &outgoing, std::size_t completion)
{
    // A completion wakes a reader; the changes right behind it (the end of a body that arrived
    // whole) are made first, so that reader finds them instead of waiting once more for them.
    // Notifications queued before a change still come first: the scan ends at the next one.
    const auto &request = outgoing[completion].request;
    for (std::size_t i = completion + 1;
         i < outgoing.size() && outgoing[i].change && outgoing[i].request == request; ++i) {
        std::function<void()> change;
        change.swap(outgoing[i].change);
        outgoing[i].change = [] {};
        std::lock_guard work(workMutex_);
        change();
    }
}

void Engine::wakeSyncReaders()
{
    std::vector<std::shared_ptr<Request>> woken;
    {
        std::lock_guard work(workMutex_);
        woken.swap(syncWake_);
    }
    for (const auto &request : woken) {
        std::lock_guard lock(request->mutex);
        request->changed.notify_all();
    }
}

void Engine::queue(const std::shared_ptr<Request> &request, std::uint64_t generation,
                   StatusEvent event)
{
    if (request->async()) {
        outbox_.push_back({request, generation, std::move(event), {}});
        return;
    }
    // The caller's thread waits in the facility and hands these to the callback in order.
    std::lock_guard lock(request->mutex);
    if (request->closed || request->generation != generation)
        return;
    request->syncEvents.push_back(std::move(event));
    if (std::find(syncWake_.begin(), syncWake_.end(), request) == syncWake_.end())
        syncWake_.push_back(request);
}

void Engine::queueEvent(Transfer &transfer, std::uint32_t status, std::string info)
{
    queue(transfer.request, transfer.order.generation, {status, std::move(info)});
}

void Engine::queueEventPair(Transfer &transfer, std::uint32_t status, std::uint32_t followUp)
{
    queue(transfer.request, transfer.order.generation, {status, {}});
    queue(transfer.request, transfer.order.generation, {followUp, {}, true});
}

void Engine::queueCompletion(const std::shared_ptr<Request> &request, std::uint64_t generation,
                             std::uint32_t result, std::uint32_t error)
{
    if (!request->async())
        return;
    InternetAsyncResult completion{result, error};
    queue(request, generation,
          {INTERNET_STATUS_REQUEST_COMPLETE,
           std::string(reinterpret_cast<const char *>(&completion), sizeof completion)});
}

void Engine::queueCompletion(Transfer &transfer, std::uint32_t result, std::uint32_t error)
{
    queueCompletion(transfer.request, transfer.order.generation, result, error);
}

void Engine::applyInOrder(Transfer &transfer, std::function<void()> change)
{
    if (transfer.request->async()) {
        outbox_.push_back({transfer.request, transfer.order.generation, {}, std::move(change)});
    } else {
        change();
    }
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

void Engine::headersEnded(Transfer &t)
{
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

void Engine::completeBody(Transfer &t)
{
    // The end of the body becomes readable only after the notifications before it (a closing
    // connection), so the reader cannot end the request while they are still on their way.
    applyInOrder(t, [this, request = t.request, generation = t.order.generation] {
        endBody(request, generation, ERROR_SUCCESS);
    });
    drop(t.request.get());
}

void Engine::endBody(const std::shared_ptr<Request> &request, std::uint64_t generation,
                     std::uint32_t error)
{
    bool complete = false;
    {
        std::lock_guard lock(request->mutex);
        if (request->closed || request->generation != generation)
            return;
        if (!request->heldAtEnd.empty()) {
            request->heldEnd = error;
            return;
        }
        // Bytes that arrived stay readable; an error comes after them.
        request->bodyDone = true;
        request->bodyError = error;
        if (request->pendingRead && (error != ERROR_SUCCESS || request->bufferedBytes() == 0)) {
            if (error == ERROR_SUCCESS)
                *request->pendingRead->read = 0;
            request->pendingRead.reset();
            complete = true;
        }
        request->changed.notify_all();
    }
    if (complete)
        queueCompletion(request, generation, error == ERROR_SUCCESS ? 1 : 0, error);
}

void Engine::release(const std::shared_ptr<Request> &request)
{
    post([this, request] { releaseNow(request); });
}

void Engine::releaseNow(const std::shared_ptr<Request> &request)
{
    std::vector<StatusEvent> events;
    std::optional<std::uint32_t> end;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(request->mutex);
        request->releaseAsked = false;
        if (request->closed)
            return;
        events.swap(request->heldAtEnd);
        end = request->heldEnd;
        request->heldEnd.reset();
        generation = request->generation;
    }
    for (auto &event : events)
        queue(request, generation, std::move(event));
    if (end) {
        outbox_.push_back({request, generation, {}, [this, request, generation, error = *end] {
                               endBody(request, generation, error);
                           }});
    }
}

void Engine::fail(Transfer &t, std::uint32_t error)
{
    Request &request = *t.request;
    bool gone = false;
    bool sending = false;
    {
        std::lock_guard lock(request.mutex);
        gone = request.closed || request.generation != t.order.generation;
        sending = !gone && request.sendState == SendState::Sending;
        if (sending) {
            request.sendState = SendState::Failed;
            request.sendError = error;
            request.changed.notify_all();
        }
    }
    if (gone) {
        drop(t.request.get());
        return;
    }
    if (sending) {
        queueCompletion(t, 0, error);
        drop(t.request.get());
        return;
    }
    applyInOrder(t, [this, request = t.request, generation = t.order.generation, error] {
        endBody(request, generation, error);
    });
    drop(t.request.get());
}

void Engine::releaseCurl(Transfer &t)
{
    if (t.easy) {
        for (auto &[socket, owner] : sockets_) {
            if (owner.transfer == &t)
                owner.transfer = nullptr;
        }
        curl_multi_remove_handle(multi_.get(), t.easy.get());
        keepEasy(std::move(t.easy));
    }
    t.headerList.reset();
    t.resolveList.reset();
}

CurlEasy Engine::takeEasy()
{
    if (idleEasy_.empty())
        return makeCurlEasy();
    CurlEasy easy = std::move(idleEasy_.back());
    idleEasy_.pop_back();
    return easy;
}

void Engine::keepEasy(CurlEasy easy)
{
    // One request at a time is the usual load; a few spare handles cover redirects and the
    // odd parallel request without keeping many.
    constexpr std::size_t keptAtMost = 4;
    if (idleEasy_.size() >= keptAtMost || !multi_)
        return;
    curl_easy_reset(easy.get());
    idleEasy_.push_back(std::move(easy));
}

void Engine::drop(Request *key)
{
    const auto found = transfers_.find(key);
    if (found == transfers_.end())
        return;
    std::unique_ptr<Transfer> transfer = std::move(found->second);
    transfers_.erase(found);
    {
        std::lock_guard lock(key->mutex);
        if (key->generation == transfer->order.generation)
            key->transferLive = false;
    }
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
        curl_easy_pause(found->second->easy.get(), CURLPAUSE_CONT);
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
    if (driver_)
        driver_->closing(static_cast<int>(socket));
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
    {
        // The server closed after sending what the reader has not taken yet: the reader learns
        // of the close once it has, so the log shows the blocks first, as they were sent.
        Request &held = *request;
        std::lock_guard lock(held.mutex);
        if (held.closed || held.generation != owner.transfer->order.generation)
            return;
        if (held.sendState == SendState::Answered && held.bufferedBytes() > 0) {
            held.heldAtEnd.push_back({INTERNET_STATUS_CLOSING_CONNECTION, {}});
            held.heldAtEnd.push_back({INTERNET_STATUS_CONNECTION_CLOSED, {}, true});
            return;
        }
    }
    queueEventPair(*owner.transfer, INTERNET_STATUS_CLOSING_CONNECTION,
                   INTERNET_STATUS_CONNECTION_CLOSED);
}

} // namespace quorvel::platform::inet
