#pragma once
// The event loop of an asynchronous session opened without one of the caller's (InternetOpen
// with INTERNET_FLAG_ASYNC): a thread of the session's own that waits in poll(2) for the
// sockets libcurl names, the session's timer and wake-ups, and runs the session's turns. It is
// joined when the session closes, after the callback it may be running has returned; a callback
// must therefore not wait for a thread that closes its session.

#include <memory>

#include "inet/inet_loop.h"

namespace quorvel::platform::inet
{

class PollLoop final : public LoopDriver
{
public:
    PollLoop();
    ~PollLoop() override;
    PollLoop(const PollLoop &) = delete;
    PollLoop &operator=(const PollLoop &) = delete;

    void start(std::function<void()> turn) override;
    bool onLoopThread() const override;
    void wake() override;
    void watch(int socket, bool read, bool write) override;
    void closing(int socket) override;
    void setTimer(std::optional<std::chrono::milliseconds> wait) override;
    void stop() override;

private:
    struct State;
    // Shared with the thread, which may finish a turn after the loop has been stopped.
    std::shared_ptr<State> state_;
};

} // namespace quorvel::platform::inet
