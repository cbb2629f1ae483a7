#pragma once
// The objects behind session, connection and request handles. What the loop's thread and the
// callers' threads share is guarded by the object's mutex; the mutex is never held while the
// status callback runs, so a callback may call any facility function.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "inet/inet.h"
#include "inet/inet_handles.h"

namespace quorvel::platform::inet
{

class Engine;
class Connection;
class Request;

struct Credentials {
    std::string user;
    std::string password;
    bool present() const { return !user.empty(); }
};

struct ProxySetting {
    std::string host;
    std::uint16_t port = 80;
};

// One notification with its information block.
struct StatusEvent {
    std::uint32_t status = 0;
    std::string info;
    // Delivered whenever the notification before it was, even if the request was closed while
    // the callback handled that one (a connection's closed after its closing).
    bool bound = false;
};

class Session : public HandleObject
{
public:
    Session(std::string agent, std::optional<ProxySetting> proxy, bool async);

    const std::string agent;
    const std::optional<ProxySetting> proxy;
    const bool async;
    std::atomic<StatusCallback> callback{nullptr};
    std::atomic<std::uint32_t> connectTimeoutMs{0}; // 0: the built-in default
    std::shared_ptr<Engine> engine;

    std::mutex mutex;
    std::vector<std::weak_ptr<Connection>> connections;
};

class Connection : public HandleObject
{
public:
    Connection(std::shared_ptr<Session> session, std::string host, std::uint16_t port);

    const std::shared_ptr<Session> session;
    const std::string host;
    const std::uint16_t port; // 0: the scheme's default

    std::mutex mutex;
    std::uint32_t connectTimeoutMs = 0;
    Credentials server;
    Credentials proxy;
    std::vector<std::weak_ptr<Request>> requests;
};

struct PendingRead {
    void *buffer = nullptr;
    std::uint32_t toRead = 0;
    std::uint32_t *read = nullptr;
};

enum class SendState { Idle, Sending, Answered, Failed };

// What one HttpSendRequest asks for, fixed when it is called.
struct SendOrder {
    std::uint64_t generation = 0;
    std::vector<std::string> headers;
    std::string body;
    Credentials server;
    Credentials proxy;
    std::uint32_t connectTimeoutMs = 0;
    // Past this the send ends whatever the server does (transferTimeLimit).
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

class Request : public HandleObject
{
public:
    Request(std::shared_ptr<Connection> connection, std::string verb, std::string objectName,
            std::string referrer, std::vector<std::string> acceptTypes, std::uint32_t flags,
            std::uintptr_t context);

    bool async() const { return connection->session->async; }
    Session &session() const { return *connection->session; }

    const std::shared_ptr<Connection> connection;
    const std::string verb;
    const std::string objectName;
    const std::string referrer;
    const std::vector<std::string> acceptTypes;
    const std::uint32_t flags;
    const std::uintptr_t context;

    // Everything below is guarded by mutex; changed is signalled when any of it changes.
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    std::uint64_t generation = 0; // one per send; work of an older send is dropped
    SendState sendState = SendState::Idle;
    std::uint32_t sendError = 0;
    // The engine holds a transfer for the request, so closing it must tell the engine.
    bool transferLive = false;
    std::uint32_t connectTimeoutMs = 0;

    // The final response of the last send.
    int statusCode = 0;
    std::string rawHeaders;
    std::string statusLine;
    std::string host;    // the host that answered, after redirects
    long serverAuth = 0; // the authentication schemes offered by the last challenge
    long proxyAuth = 0;

    // Body bytes that arrived and were not yet read.
    std::string body;
    std::size_t bodyOffset = 0;
    bool bodyDone = false;
    std::uint32_t bodyError = 0;
    bool paused = false; // the transfer waits for the reader to make room
    bool resumeAsked = false;
    std::optional<PendingRead> pendingRead;

    // Notifications that came while body bytes were still unread (the connection closed once
    // the body had arrived), and the end of the body behind them (0 or its error). The reader
    // meets them after taking those bytes, as if it had read them from the connection itself.
    std::vector<StatusEvent> heldAtEnd;
    std::optional<std::uint32_t> heldEnd;
    bool releaseAsked = false;
    bool holding() const { return !heldAtEnd.empty() || heldEnd.has_value(); }

    Credentials dialogServer; // answers of the credential prompt, used by later sends
    Credentials dialogProxy;

    // Notifications of a synchronous session wait here for the caller's thread.
    std::deque<StatusEvent> syncEvents;

    std::size_t bufferedBytes() const { return body.size() - bodyOffset; }
    // Hands the waiting notifications of a synchronous session to the callback, dropping the
    // lock around each call. Returns with the lock held.
    void deliverSyncEvents(std::unique_lock<std::mutex> &lock);
};

// A long-lived session opens a connection per request; closed ones must not pile up.
template <typename T> void pruneExpired(std::vector<std::weak_ptr<T>> &children)
{
    std::erase_if(children, [](const std::weak_ptr<T> &child) { return child.expired(); });
}

// Calls the session's callback for request, when it has one and a non-zero context. No lock
// may be held by the caller.
void notify(Request &request, std::uint32_t status, const void *info, std::uint32_t length);

} // namespace quorvel::platform::inet
