#pragma once
// What an asynchronous session needs from an event loop that drives its transfers on the loop's
// own thread, in place of a thread of the session's: a program whose notifications all end up on
// one thread anyway (a GUI) then hands nothing over between threads.

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
};

} // namespace quorvel::platform::inet
