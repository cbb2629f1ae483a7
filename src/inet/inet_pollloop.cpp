#include "inet/inet_pollloop.h"

#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace quorvel::platform::inet
{

namespace
{

// Loop threads stopped from within their own turn (a callback that closes its session): they end
// as soon as that turn returns, and are joined by the next loop that starts or stops, or at exit.
class Finishing
{
public:
    static Finishing &instance()
    {
        static Finishing finishing;
        return finishing;
    }
    ~Finishing() { joinAll(true); }

    void add(std::thread thread, std::shared_ptr<bool> ended)
    {
        std::lock_guard lock(mutex_);
        threads_.push_back({std::move(thread), std::move(ended)});
    }

    // The ones that have ended, or (at exit) all but this thread.
    void joinAll(bool all = false)
    {
        std::vector<std::thread> done;
        {
            std::lock_guard lock(mutex_);
            std::erase_if(threads_, [&](Entry &entry) {
                const bool take =
                    entry.thread.get_id() != std::this_thread::get_id() && (all || *entry.ended);
                if (take)
                    done.push_back(std::move(entry.thread));
                return take;
            });
        }
        for (auto &thread : done)
            thread.join();
    }

    std::mutex mutex_; // also guards every Entry::ended

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<bool> ended;
    };
    std::vector<Entry> threads_;
};

} // namespace

struct PollLoop::State {
    std::mutex mutex;
    std::unordered_map<int, short> sockets;
    bool stopping = false;
    int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::function<void()> turn;
    std::thread thread;
    std::thread::id id;
    std::shared_ptr<bool> ended = std::make_shared<bool>(false);
    // The loop's thread only.
    std::optional<std::chrono::steady_clock::time_point> deadline;

    ~State()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    void run()
    {
        std::vector<pollfd> fds;
        for (;;) {
            fds.clear();
            fds.push_back({wakeFd, POLLIN, 0});
            {
                std::lock_guard lock(mutex);
                if (stopping)
                    break;
                for (const auto &[socket, events] : sockets)
                    fds.push_back({socket, events, 0});
            }
            int timeout = -1;
            if (deadline) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                    *deadline - std::chrono::steady_clock::now());
                timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
            }
            ::poll(fds.data(), fds.size(), timeout);
            std::uint64_t drained = 0;
            while (::read(wakeFd, &drained, sizeof drained) > 0) {
            }
            {
                std::lock_guard lock(mutex);
                if (stopping)
                    break;
            }
            deadline.reset();
            turn();
        }
        std::lock_guard lock(Finishing::instance().mutex_);
        *ended = true;
    }

    void wake() const
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd, &one, sizeof one);
    }
};

PollLoop::PollLoop() : state_(std::make_shared<State>()) {}

PollLoop::~PollLoop()
{
    stop();
}

void PollLoop::start(std::function<void()> turn)
{
    Finishing::instance().joinAll();
    state_->turn = std::move(turn);
    // The thread looks at its id only once it has taken the lock, so after it is set.
    std::lock_guard lock(state_->mutex);
    state_->thread = std::thread([state = state_] { state->run(); });
    state_->id = state_->thread.get_id();
    ::pthread_setname_np(state_->thread.native_handle(), "inet loop");
}

bool PollLoop::onLoopThread() const
{
    return std::this_thread::get_id() == state_->id;
}

void PollLoop::wake()
{
    state_->wake();
}

void PollLoop::watch(int socket, bool read, bool write)
{
    {
        std::lock_guard lock(state_->mutex);
        const short events = static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0));
        // A connection kept for later is not watched: a server that closes it would otherwise
        // wake the loop for ever. libcurl finds it closed when it would use it again.
        if (events == 0)
            state_->sockets.erase(socket);
        else
            state_->sockets[socket] = events;
    }
    if (!onLoopThread())
        state_->wake();
}

void PollLoop::closing(int socket)
{
    std::lock_guard lock(state_->mutex);
    state_->sockets.erase(socket);
}

void PollLoop::setTimer(std::optional<std::chrono::milliseconds> wait)
{
    if (wait)
        state_->deadline = std::chrono::steady_clock::now() + *wait;
    else
        state_->deadline.reset();
}

void PollLoop::stop()
{
    bool joinNow = false;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->thread.joinable())
            return;
        state_->stopping = true;
        joinNow = !onLoopThread();
    }
    state_->wake();
    if (joinNow)
        state_->thread.join();
    else
        Finishing::instance().add(std::move(state_->thread), state_->ended);
    Finishing::instance().joinAll();
}

} // namespace quorvel::platform::inet
