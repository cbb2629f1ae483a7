// Driving the session's transfers: starting and stopping, the commands callers give, who works
// on the transfers (the loop's thread, or a synchronous caller) and a synchronous caller's wait
// for the network.

#include "inet/inet_engine.h"

#include <algorithm>
#include <thread>

#include "inet/curlmulti.h"
#include "inet/inet_timeouts.h"
#include "inet/inet_transfer.h"

namespace quorvel::platform::inet
{

namespace
{

// The loop wakes at least this often to check resolver deadlines.
constexpr std::chrono::milliseconds longestWait{250};

} // namespace

std::shared_ptr<Engine> Engine::create()
{
    std::shared_ptr<Engine> engine(new Engine);
    engine->multi_ = makeCurlMulti();
    if (!engine->multi_)
        return nullptr;
    engine->alive_ = true;
    return engine;
}

std::shared_ptr<Engine> Engine::startInline()
{
    std::shared_ptr<Engine> engine = create();
    if (!engine)
        return nullptr;
    engine->inline_ = true;
    return engine;
}

std::shared_ptr<Engine> Engine::startOnLoop(std::unique_ptr<LoopDriver> driver)
{
    std::shared_ptr<Engine> engine = driver ? create() : nullptr;
    if (!engine)
        return nullptr;
    curl_multi_setopt(engine->multi_.get(), CURLMOPT_SOCKETFUNCTION, &Engine::onSocket);
    curl_multi_setopt(engine->multi_.get(), CURLMOPT_SOCKETDATA, engine.get());
    engine->driver_ = std::move(driver);
    // The loop holds no engine: a turn keeps it alive only while it runs.
    std::weak_ptr<Engine> weak = engine;
    engine->driver_->start([weak] {
        if (auto self = weak.lock())
            self->loopTurn();
    });
    return engine;
}

int Engine::onSocket(CURL *, curl_socket_t socket, int what, void *engine, void *)
{
    auto *self = static_cast<Engine *>(engine);
    const bool read = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool write = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (self->driver_)
        self->driver_->watch(static_cast<int>(socket), read, write);
    return 0;
}

Engine::~Engine()
{
    // An inline engine that was never stopped (its session handle leaked) still frees libcurl.
    shutDown();
}

void Engine::post(Command command)
{
    bool workHere = false;
    {
        std::lock_guard lock(commandMutex_);
        if (!alive_)
            return;
        commands_.push_back(std::move(command));
        if (polling_)
            curl_multi_wakeup(multi_.get());
        // delivering_ belongs to the loop's thread: asked only there.
        const bool loopIdle = driver_ && driver_->onLoopThread() && !delivering_;
        workHere = (inline_ || loopIdle) && workingOn_ != std::this_thread::get_id() && !stopAsked_;
    }
    if (!workHere) {
        // The loop carries it out on its thread at its next turn.
        if (driver_)
            driver_->wake();
        return;
    }
    // Nobody waits for the network: the work is done here and now, and whoever waits is told.
    // A loop-driven engine's work is done only on the loop's thread, where libcurl's socket
    // callback may change what the loop watches.
    // When someone works on the transfers meanwhile, it runs this command or tells the waiter.
    std::unique_lock work(workMutex_, std::try_to_lock);
    if (!work)
        return;
    workLocked();
    work.unlock();
    wakeSyncReaders();
    nudge();
}

void Engine::nudge()
{
    {
        std::lock_guard lock(commandMutex_);
        nudged_ = true;
        if (polling_)
            curl_multi_wakeup(multi_.get());
    }
    if (driver_)
        driver_->wake();
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
    {
        std::lock_guard lock(commandMutex_);
        if (!alive_ || stopAsked_)
            return;
        stopAsked_ = true;
        // A caller waiting for the network is woken and lets go of the transfers.
        if (polling_)
            curl_multi_wakeup(multi_.get());
    }
    // The loop ends first, so nothing works on the transfers while they are dropped.
    if (driver_)
        driver_->stop();
    shutDown();
}

void Engine::loopTurn()
{
    if (stopAsked_)
        return;
    if (delivering_) {
        // A callback runs a loop of its own (a dialog): the network is served, and what it
        // brings is handed out once the notification before it has been.
        std::lock_guard work(workMutex_);
        workLocked();
    } else {
        turn();
    }
    std::optional<std::chrono::milliseconds> wait;
    {
        std::lock_guard work(workMutex_);
        if (multi_ && !transfers_.empty())
            wait = nextWait();
    }
    driver_->setTimer(wait);
}

void Engine::turn()
{
    {
        std::lock_guard work(workMutex_);
        workLocked();
    }
    if (driver_) {
        delivering_ = true;
        flushOutbox();
        delivering_ = false;
        // What the notifications left for afterwards (a response stage) runs now, while no
        // notification is under way, so its commands are carried out at once.
        while (!afterDelivery_.empty()) {
            std::vector<std::function<void()>> calls;
            calls.swap(afterDelivery_);
            for (auto &call : calls)
                call();
        }
    } else {
        flushOutbox();
    }
    wakeSyncReaders();
}

void Engine::workLocked()
{
    if (!multi_)
        return;
    std::vector<Command> commands;
    {
        std::lock_guard lock(commandMutex_);
        commands.swap(commands_);
        workingOn_ = std::this_thread::get_id();
    }
    for (auto &command : commands)
        command();
    commands.clear();
    perform();
    std::lock_guard lock(commandMutex_);
    workingOn_ = std::thread::id();
    // The list goes back with its room, so that a turn allocates nothing.
    if (commands_.empty())
        commands_.swap(commands);
}

void Engine::poll()
{
    std::lock_guard work(workMutex_);
    {
        std::lock_guard lock(commandMutex_);
        // A command or news since the turn began is seen to first; from here on they wake
        // the poll.
        if (!commands_.empty() || nudged_ || stopAsked_ || !multi_) {
            nudged_ = false;
            return;
        }
        polling_ = true;
    }
    curl_multi_poll(multi_.get(), nullptr, 0, static_cast<int>(nextWait().count()), nullptr);
    std::lock_guard lock(commandMutex_);
    polling_ = false;
    nudged_ = false;
}

void Engine::shutDown()
{
    std::lock_guard work(workMutex_);
    if (!multi_)
        return;
    syncWake_.clear();
    while (!transfers_.empty())
        drop(transfers_.begin()->first);
    {
        std::lock_guard lock(commandMutex_);
        alive_ = false;
        commands_.clear();
    }
    idleEasy_.clear();
    multi_.reset();
    // Closing the connections may have queued notifications that nobody is to hear.
    outbox_.clear();
}

void Engine::drive(Request &request, std::unique_lock<std::mutex> &lock,
                   const std::function<bool()> &ready)
{
    lock.unlock();
    std::unique_lock drive(driveMutex_, std::try_to_lock);
    if (!drive || stopAsked_) {
        // Another caller drives and wakes this one when its request moves; the bound covers
        // the moment that caller lets go before this one's request is done.
        if (drive)
            drive.unlock();
        lock.lock();
        if (!ready())
            request.changed.wait_for(lock, std::chrono::milliseconds(10));
        return;
    }
    turn();
    lock.lock();
    const bool moved = ready();
    lock.unlock();
    if (!moved && !stopAsked_) {
        poll();
        turn();
    }
    drive.unlock();
    lock.lock();
}

std::chrono::milliseconds Engine::nextWait() const
{
    long curlWait = -1;
    if (multi_)
        curl_multi_timeout(multi_.get(), &curlWait);
    auto wait =
        curlWait < 0 ? longestWait : std::min(longestWait, std::chrono::milliseconds(curlWait));
    return std::max(wait, std::chrono::milliseconds(0));
}

void Engine::perform()
{
    int running = 0;
    if (driver_) {
        // The one call that both does every transfer's work and tells the socket callback
        // what to watch; curl_multi_perform leaves the callback uninformed.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        curl_multi_socket_all(multi_.get(), &running);
#pragma GCC diagnostic pop
    } else {
        curl_multi_perform(multi_.get(), &running);
    }

    takeFinished<Transfer>(
        multi_.get(), [this](Transfer &transfer, CURLcode result) { finished(transfer, result); });

    // Time limits libcurl does not keep the way the facility needs: name resolution, and
    // silence of a connected server (a transfer paused for its reader is not silent).
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::pair<Transfer *, std::uint32_t>> late;
    for (auto &[key, transfer] : transfers_) {
        if (now >= transfer->order.deadline) {
            late.emplace_back(transfer.get(), ERROR_INTERNET_TIMEOUT);
        } else if (transfer->resolving && now >= transfer->resolveDeadline) {
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

bool Engine::afterNotifications(std::function<void()> call)
{
    // delivering_ belongs to the loop's thread: asked only there.
    if (!driver_ || !call || !driver_->onLoopThread() || !delivering_)
        return false;
    afterDelivery_.push_back(std::move(call));
    return true;
}

bool Engine::stopping()
{
    return stopAsked_;
}

} // namespace quorvel::platform::inet
