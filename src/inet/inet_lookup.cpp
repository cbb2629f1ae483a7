#include "inet/inet_lookup.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace quorvel::platform::inet
{

HostAddresses lookUpAddresses(const std::string &host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    HostAddresses result;
    result.status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result.status != 0)
        return result;
    for (addrinfo *entry = found; entry; entry = entry->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void *address = nullptr;
        if (entry->ai_family == AF_INET)
            address = &reinterpret_cast<sockaddr_in *>(entry->ai_addr)->sin_addr;
        else if (entry->ai_family == AF_INET6)
            address = &reinterpret_cast<sockaddr_in6 *>(entry->ai_addr)->sin6_addr;
        if (address && ::inet_ntop(entry->ai_family, address, text, sizeof text) &&
            std::find(result.addresses.begin(), result.addresses.end(), text) ==
                result.addresses.end())
            result.addresses.emplace_back(text);
    }
    ::freeaddrinfo(found);
    return result;
}

namespace
{

// The system's resolver cannot be interrupted, so a lookup that hangs holds its thread for the
// resolver's whole time-out. Its threads therefore belong to one pool for the program rather
// than to an engine or a checker, whose stop must not wait that long: a stop only stops
// listening. glibc's getaddrinfo_a would give the same without threads of ours, but its
// threads are invisible to ThreadSanitizer, which then crashes. Every thread is joined: one
// idle for a while ends and is joined by the next lookup's start, and at exit the idle ones
// end and are joined. The pool itself outlives the exit, so a lookup still hanging then finds
// it there; only such a thread is left to the end of the process instead of being waited for.
class LookupPool
{
public:
    void run(std::function<void()> task)
    {
        const std::lock_guard lock(mutex_);
        if (closing_)
            return; // the program is ending: nobody waits for the answer
        joinEnded();
        tasks_.push_back(std::move(task));
        if (idle_ >= tasks_.size() || threads_.size() >= mostThreads)
            work_.notify_one();
        else
            threads_.emplace_back([this] { serve(); });
    }

    void closeAtExit()
    {
        std::unique_lock lock(mutex_);
        closing_ = true;
        tasks_.clear();
        work_.notify_all();
        idleEnded_.wait(lock, [this] { return idle_ == 0; });
        joinEnded();
    }

private:
    // Lookups beyond this wait for a thread.
    static constexpr std::size_t mostThreads = 128;
    static constexpr std::chrono::seconds idleLimit{2};

    void serve()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            const bool work = work_.wait_for(
                lock, idleLimit, [this] { return closing_ || !tasks_.empty(); });
            --idle_;
            if (!work || closing_) {
                ended_.push_back(std::this_thread::get_id());
                idleEnded_.notify_all();
                return;
            }
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
        }
    }

    // With mutex_ held.
    void joinEnded()
    {
        for (const std::thread::id id : ended_) {
            const auto thread = std::find_if(threads_.begin(), threads_.end(),
                                             [&](const std::thread &t) { return t.get_id() == id; });
            thread->join();
            threads_.erase(thread);
        }
        ended_.clear();
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idleEnded_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> threads_;
    std::vector<std::thread::id> ended_; // threads that have returned, to be joined
    std::size_t idle_ = 0;
    bool closing_ = false;
};

LookupPool &pool()
{
    static LookupPool &pool = *new LookupPool;
    static struct AtExit {
        ~AtExit() { pool.closeAtExit(); }
    } atExit;
    return pool;
}

} // namespace

void lookUpBeside(std::function<void()> task)
{
    pool().run(std::move(task));
}

} // namespace quorvel::platform::inet
