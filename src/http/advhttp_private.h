#pragma once
// Bookkeeping types shared by the component's source files.

#include "http/advhttp.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

namespace quorvel {

// One hand-over of work to the GUI thread. It outlives the component when destruction abandons
// it, so the queued call never touches a component that is gone.
struct TAdvHttp::SyncCallState {
    std::function<void()> work;
    std::exception_ptr exception;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;

    // Runs on the GUI thread, where destruction also runs, so an abandoned call never starts.
    void run()
    {
        {
            std::lock_guard lock(mutex);
            if (abandoned)
                return;
        }
        std::exception_ptr failure;
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard lock(mutex);
            exception = std::move(failure);
            done = true;
        }
        // Once the lock is let go, so the waiting thread does not wake only to wait for it.
        finished.notify_all();
    }
};

} // namespace quorvel
