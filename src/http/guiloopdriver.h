#pragma once
// Drives a session's transfers from the Qt event loop of the thread that creates it: libcurl's
// sockets are watched with socket notifiers and its time limits with a timer, so a component
// gets its notifications, and runs its stages and handlers, on its own thread. That thread must
// have a Qt event loop (a QThread, the GUI thread, or one that made a QEventLoop).

#include "inet/inet_loop.h"

namespace quorvel
{

class GuiLoopDriver final : public platform::inet::LoopDriver
{
public:
    GuiLoopDriver();
    // Its Qt objects go with the loop's thread, later when destroyed elsewhere.
    ~GuiLoopDriver() override;
    GuiLoopDriver(const GuiLoopDriver &) = delete;
    GuiLoopDriver &operator=(const GuiLoopDriver &) = delete;

    void start(std::function<void()> turn) override;
    bool onLoopThread() const override;
    void wake() override;
    void watch(int socket, bool read, bool write) override;
    void closing(int socket) override;
    void setTimer(std::optional<std::chrono::milliseconds> wait) override;

private:
    class Core;
    // Lives on the loop's thread; freed only by this driver's destruction.
    Core *core_ = nullptr;
};

} // namespace quorvel
