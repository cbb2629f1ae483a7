#pragma once
// Bookkeeping types shared by the component's source files.

#include "http/advhttp.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include <QMetaObject>
#include <QObject>

namespace quorvel
{

// A stretch of the component's own code on this thread that calls handlers directly (a status
// notification, a response stage on the GUI thread). A handler may destroy the component; its
// destruction marks the frames below it, and the code unwinds with ComponentGone instead of
// touching the component again.
struct TAdvHttp::Frame {
    Frame(TAdvHttp *owner, bool countsAsCallback) : component(owner), counted(countsAsCallback)
    {
        outer = innermost;
        innermost = this;
    }
    ~Frame() { innermost = outer; }
    Frame(const Frame &) = delete;
    Frame &operator=(const Frame &) = delete;

    const TAdvHttp *component;
    bool counted; // a status callback, counted in m_callbacksInFlight
    bool gone = false;
    Frame *outer = nullptr;
    static inline thread_local Frame *innermost = nullptr;
};

// The one slot through which a component's handlers are carried over to the GUI thread, one at a
// time. It outlives the component when destruction abandons it, so a queued hand-over never
// touches a component that is gone.
//
// Waking a sleeping thread costs more than a short handler, so when the next event is known to
// follow at once (the blocks of a body that has arrived, the response stage after the response),
// neither side goes to sleep at first: the firing thread spins a little for its handler to
// finish, and the GUI thread, its handler done, spins a little for the next hand-over and runs it
// without a trip through its event loop. Both give up after a bound and sleep as usual.
struct TAdvHttp::HandOver {
    // listening: whether the GUI thread looks for a hand-over without being posted one.
    enum Listening : int { NotListening, Listening, CallWaiting };

    std::mutex mutex;
    std::condition_variable finished;
    // What to run: a handler with its sender, or other work. Held here, not by the firing
    // thread, and moved out by the GUI thread before it runs: a handler that destroys its
    // component lets the firing thread go while the handler still runs.
    TNotifyEvent handler;
    TAdvHttp *sender = nullptr;
    std::function<void()> work;
    bool pending = false; // something to run that nobody has taken yet
    bool atOnce = false;  // the event after this one follows at once
    std::exception_ptr exception;
    std::atomic<bool> done{false};
    // The work was posted to the GUI thread's event loop; whoever runs first on the GUI thread
    // takes it, so a listening GUI thread does not wait for an offer that will not come.
    std::atomic<bool> posted{false};
    // Set by destruction on the GUI thread: nothing starts any more and the waiter is let go.
    std::atomic<bool> abandoned{false};
    std::atomic<int> listening{NotListening};

    // Posts slot's hand-over (or, with expecting, its expect()) to target's thread. The queued
    // call itself carries nothing: the slot goes through a queue of our own, under our own
    // lock, so what orders the two threads is visible to the thread checker instead of hidden
    // in Qt's event queue.
    static void post(QObject *target, std::shared_ptr<HandOver> slot, bool expecting = false)
    {
        {
            std::lock_guard lock(postedMutex);
            posted_.push_back({std::move(slot), expecting});
        }
        QMetaObject::invokeMethod(target, [] { runPosted(); }, Qt::QueuedConnection);
    }

    // One slot per queued call, in order: taking every waiting slot at once would also take an
    // expect() posted for a response still on its way, and spin for it in vain. The entries of
    // abandoned slots are passed over; they are the only ones whose calls can be dropped (with
    // the notifier, once the last component is gone), so no live slot is ever left behind.
    static void runPosted()
    {
        Posted next;
        {
            std::lock_guard lock(postedMutex);
            while (!posted_.empty() && posted_.front().slot->abandoned)
                posted_.pop_front();
            if (posted_.empty())
                return;
            next = std::move(posted_.front());
            posted_.pop_front();
        }
        if (next.expecting)
            next.slot->expect();
        else
            next.slot->run();
    }

    // Runs on the GUI thread for a posted hand-over.
    void run()
    {
        while (runOne() && !abandoned && listen()) {
        }
    }

    // Runs on the GUI thread when an event is about to be handed over (the response stage has
    // begun): it waits awake for it, so its wake-up overlaps the firing thread's instead of
    // following it.
    void expect()
    {
        if (!abandoned && listen())
            run();
    }

    // Runs the waiting work; true when the next event follows at once.
    bool runOne()
    {
        TNotifyEvent callHandler;
        TAdvHttp *callSender = nullptr;
        std::function<void()> callWork;
        bool next = false;
        {
            std::lock_guard lock(mutex);
            if (abandoned || !pending)
                return false;
            callHandler = std::move(handler);
            callSender = sender;
            callWork = std::move(work);
            pending = false;
            posted = false;
            next = atOnce;
        }
        std::exception_ptr failure;
        try {
            if (callHandler)
                callHandler(callSender);
            else
                callWork();
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard lock(mutex);
            exception = std::move(failure);
            done = true;
        }
        // Once the lock is let go, so a waiter that sleeps does not wake only to wait for it.
        finished.notify_all();
        return next;
    }

    // Looks for the next hand-over for a short while; true when one came and is to be run.
    bool listen()
    {
        listening.store(Listening);
        if (spinUntil(listenLimit,
                      [this] { return listening.load() == CallWaiting || posted.load(); })) {
            listening.store(NotListening);
            return true;
        }
        int expected = Listening;
        if (listening.compare_exchange_strong(expected, NotListening))
            return false;
        // One came as the time ran out.
        listening.store(NotListening);
        return true;
    }

    // Hands work over to a GUI thread that listens; false when it does not.
    bool offer()
    {
        int expected = Listening;
        return listening.compare_exchange_strong(expected, CallWaiting);
    }

    // Bounds of the spinning: about a wake-up and a short handler.
    static constexpr std::chrono::microseconds listenLimit{40};
    static constexpr std::chrono::microseconds waitLimit{60};

    struct Posted {
        std::shared_ptr<HandOver> slot;
        bool expecting = false;
    };
    static inline std::mutex postedMutex;
    static inline std::deque<Posted> posted_;

    template <typename Ready> static bool spinUntil(std::chrono::microseconds limit, Ready ready)
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        for (unsigned i = 1;; ++i) {
            if (ready())
                return true;
            if (i % 64 == 0 && std::chrono::steady_clock::now() >= until)
                return false;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
    }
};

} // namespace quorvel
