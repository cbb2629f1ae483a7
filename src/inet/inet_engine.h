#pragma once
// The transfers of one session: one libcurl multi handle and the commands that callers' threads
// give it. One core, driven two ways: a synchronous session's by the caller that waits for its
// request, on the caller's thread, as WinINet's synchronous mode works; an asynchronous one's by
// an event loop (LoopDriver: the caller's, or the session's own PollLoop), which works on the
// transfers and delivers the notifications on the loop's thread only. A command given where the
// transfers may be worked on at once (by a synchronous caller, or on the loop's thread outside a
// delivery) is carried out there and then, so starting a request costs no hand-over. Connections
// are kept alive within the session because every transfer of the session shares the multi
// handle's connection cache.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <curl/curl.h>

#include "inet/curlhandle.h"
#include "inet/inet_loop.h"
#include "inet/inet_state.h"

namespace quorvel::platform::inet
{

struct Transfer;

class Engine : public std::enable_shared_from_this<Engine>
{
public:
    // For a synchronous session: callers drive it (drive). Null when libcurl cannot be set up.
    static std::shared_ptr<Engine> startInline();
    // For an asynchronous session: only the loop's thread works on the transfers. Null as
    // startInline().
    static std::shared_ptr<Engine> startOnLoop(std::unique_ptr<LoopDriver> driver);
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    // Starts the transfer of a send; an older transfer of the request is dropped first.
    void send(const std::shared_ptr<Request> &request, SendOrder order);
    // Drops the request's transfer at once; nothing more is reported for it.
    void cancel(const std::shared_ptr<Request> &request);
    // The reader made room: let a paused transfer go on.
    void resume(const std::shared_ptr<Request> &request);
    // The reader has taken every body byte: what was held for that moment goes out now.
    void release(const std::shared_ptr<Request> &request);
    // Ends the transfers and the loop; no callback runs after this returns, unless it is called
    // from a callback, which then returns into a loop that ends.
    void stop();

    // Synchronous sessions: instead of waiting on request.changed, a caller runs one turn of the
    // transfers on its own thread, waiting for the network when that turn brought nothing for
    // which ready() (called with lock held) holds. Called and returns with lock held; while
    // another thread drives, it waits on request.changed for a short while instead.
    void drive(Request &request, std::unique_lock<std::mutex> &lock,
               const std::function<bool()> &ready);

    // From a notification on the loop's thread: queues call to run there once that turn's
    // notifications are all delivered; false (nothing queued) when not called from one.
    bool afterNotifications(std::function<void()> call);

    // libcurl's socket callback of a loop-driven engine.
    static int onSocket(CURL *easy, curl_socket_t socket, int what, void *engine, void *);

    // Used by libcurl's callbacks, by whoever works on the transfers.
    void queueEvent(Transfer &transfer, std::uint32_t status, std::string info);
    // Queues status and then follow-up, which is delivered whenever status was, even when the
    // request was closed while the callback handled status.
    void queueEventPair(Transfer &transfer, std::uint32_t status, std::uint32_t followUp);
    void queueCompletion(Transfer &transfer, std::uint32_t result, std::uint32_t error);
    void publish(Transfer &transfer);
    void headersEnded(Transfer &transfer);
    void socketOpened(Transfer &transfer, curl_socket_t socket);
    void requestStarting(Transfer &transfer);
    void socketClosing(curl_socket_t socket);

private:
    Engine() = default;
    // An engine with its multi handle, neither started nor driven; null when libcurl fails.
    static std::shared_ptr<Engine> create();
    using Command = std::function<void()>;

    // A notification for the callback, or a change the reader may see only once the
    // notifications queued before it have been delivered.
    struct Outgoing {
        std::shared_ptr<Request> request;
        std::uint64_t generation;
        StatusEvent event;
        std::function<void()> change; // in place of the notification when set
    };
    struct SocketOwner {
        std::weak_ptr<Request> request;
        std::string target; // "host:port" the connection goes to
        Transfer *transfer; // the transfer using it now; null when idle
        bool confirmed;     // carried a request (a losing parallel attempt never does)
    };
    struct Resolved {
        std::vector<std::string> addresses;
    };

    void post(Command command);
    // Tells whoever waits for the transfers (the loop, or a caller driving) that there is work
    // or news for it.
    void nudge();
    // The loop's turn, on the loop's thread.
    void loopTurn();
    // One turn of the loop: commands, libcurl's work, the notifications it gave.
    void turn();
    // Commands and libcurl's work; with workMutex_ held.
    void workLocked();
    // A synchronous caller's wait for the network or a command, at most until the next time
    // limit.
    void poll();
    void shutDown();
    void perform();
    void flushOutbox();
    void applyChangesBehind(std::vector<Outgoing> &outgoing, std::size_t completion);
    void wakeSyncReaders();
    bool stopping();
    void queue(const std::shared_ptr<Request> &request, std::uint64_t generation,
               StatusEvent event);
    void queueCompletion(const std::shared_ptr<Request> &request, std::uint64_t generation,
                         std::uint32_t result, std::uint32_t error);
    // Runs change in the order of the notifications: at once for a synchronous session (whose
    // reader takes the notifications first), after those already queued for an asynchronous one.
    void applyInOrder(Transfer &transfer, std::function<void()> change);
    std::chrono::milliseconds nextWait() const;

    void startSend(const std::shared_ptr<Request> &request, SendOrder order);
    void beginHop(Transfer &transfer);
    void resolved(std::uint64_t serial, Resolved result);
    void startCurl(Transfer &transfer, const std::vector<std::string> &addresses);
    void finished(Transfer &transfer, CURLcode result);
    void followRedirect(Transfer &transfer);
    void fail(Transfer &transfer, std::uint32_t error);
    void completeBody(Transfer &transfer);
    // Makes the end of the body (error 0: complete) readable, unless notifications are held
    // for the reader, in which case it waits behind them.
    void endBody(const std::shared_ptr<Request> &request, std::uint64_t generation,
                 std::uint32_t error);
    void releaseNow(const std::shared_ptr<Request> &request);
    void releaseCurl(Transfer &transfer);
    // Easy handles are kept for the next transfer: setting one up anew costs more than the
    // whole request on a fast server. Reset when put back, so nothing of one request (its
    // credentials above all) is left in a kept handle.
    CurlEasy takeEasy();
    void keepEasy(CurlEasy easy);
    void drop(Request *key);
    void resumeNow(const std::shared_ptr<Request> &request);

    bool inline_ = false;                // driven by callers (a synchronous session)
    std::unique_ptr<LoopDriver> driver_; // driven by an event loop (an asynchronous session)
    // The loop's thread is handing out notifications: a command it gives meanwhile (from a
    // callback) waits for the next turn. Read and written on the loop's thread only.
    bool delivering_ = false;
    std::vector<std::function<void()>> afterDelivery_; // the loop's thread only
    CurlMulti multi_;

    std::mutex commandMutex_;
    std::vector<Command> commands_;
    bool alive_ = false;   // multi_ may be woken
    bool polling_ = false; // a caller waits in curl_multi_poll, so a command must wake it
    // The thread working on the transfers now: a command it posts meanwhile waits for the next
    // turn instead of taking the transfers a second time.
    std::thread::id workingOn_;
    bool nudged_ = false; // news came since the last wait began
    std::atomic<bool> stopAsked_{false};
    // Held by the caller that drives an inline engine (waits for the network).
    std::mutex driveMutex_;
    // Held by whoever works on the transfers: the loop, or a synchronous caller (workLocked).
    // Guards multi_ and everything below.
    std::mutex workMutex_;

    std::unordered_map<Request *, std::unique_ptr<Transfer>> transfers_;
    std::unordered_map<curl_socket_t, SocketOwner> sockets_;
    // Notifications for the loop to deliver, in order; the loop's thread only.
    std::vector<Outgoing> outbox_;
    // Synchronous requests with notifications queued in this turn of the loop: their reader is
    // woken once at its end rather than once per notification.
    std::vector<std::shared_ptr<Request>> syncWake_;
    std::uint64_t lastSerial_ = 0;
    std::vector<CurlEasy> idleEasy_;
};

} // namespace quorvel::platform::inet
