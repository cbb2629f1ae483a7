#pragma once
// What an asynchronous session needs from the event loop that drives its transfers on the loop's
// own thread: the caller's (a GUI's, whose notifications then come on its own thread) or the
// session's own (PollLoop).

#include <chrono>
#include <functional>
#include <optional>

namespace quorvel::platform::inet
{

class LoopDriver
{
public:
    virtual ~LoopDriver() = default;

    // Called once, first: what the loop calls on its thread whenever a watched socket is ready,
    // the timer has run out, or after wake(). It may call watch and setTimer.
    virtual void start(std::function<void()> turn) = 0;
    // Any thread.
    virtual bool onLoopThread() const = 0;
    // Any thread: a turn follows soon. Several wakes may share one turn.
    virtual void wake() = 0;
    // Any thread: watch socket for reading and for writing; neither: no longer needed (a
    // connection kept for later, or one about to be closed).
    virtual void watch(int socket, bool read, bool write) = 0;
    // Any thread: socket is about to be closed; it must not be watched any longer.
    virtual void closing(int socket) = 0;
    // The loop's thread: a turn after at most wait; none: no timer.
    virtual void setTimer(std::optional<std::chrono::milliseconds> wait) = 0;
    // Any thread, once: the session is closing; no turn starts after this.
    virtual void stop() {}
};

} // namespace quorvel::platform::inet
