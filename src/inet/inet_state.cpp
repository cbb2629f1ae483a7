#include "inet/inet_state.h"

#include <utility>

namespace quorvel::platform::inet
{

Session::Session(std::string agent, std::optional<ProxySetting> proxy, bool async)
    : HandleObject(HandleKind::Session), agent(std::move(agent)), proxy(std::move(proxy)),
      async(async)
{
}

Connection::Connection(std::shared_ptr<Session> session, std::string host, std::uint16_t port)
    : HandleObject(HandleKind::Connection), session(std::move(session)), host(std::move(host)),
      port(port)
{
}

Request::Request(std::shared_ptr<Connection> connection, std::string verb, std::string objectName,
                 std::string referrer, std::vector<std::string> acceptTypes, std::uint32_t flags,
                 std::uintptr_t context)
    : HandleObject(HandleKind::Request), connection(std::move(connection)), verb(std::move(verb)),
      objectName(std::move(objectName)), referrer(std::move(referrer)),
      acceptTypes(std::move(acceptTypes)), flags(flags), context(context)
{
}

void Request::deliverSyncEvents(std::unique_lock<std::mutex> &lock)
{
    while (!syncEvents.empty() && !closed) {
        std::vector<StatusEvent> events;
        events.reserve(syncEvents.size());
        events.push_back(std::move(syncEvents.front()));
        syncEvents.pop_front();
        // Taken together, so closing the request in the first one's callback cannot drop it.
        while (!syncEvents.empty() && syncEvents.front().bound) {
            events.push_back(std::move(syncEvents.front()));
            syncEvents.pop_front();
        }
        lock.unlock();
        for (const StatusEvent &event : events)
            notify(*this, event.status, event.info.data(),
                   static_cast<std::uint32_t>(event.info.size()));
        lock.lock();
    }
    if (closed)
        syncEvents.clear();
}

void notify(Request &request, std::uint32_t status, const void *info, std::uint32_t length)
{
    if (request.context == 0)
        return;
    const StatusCallback callback = request.session().callback.load();
    if (!callback)
        return;
    callback(request.handle(), request.context, status, length > 0 ? info : nullptr, length);
}

} // namespace quorvel::platform::inet
