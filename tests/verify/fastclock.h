#pragma once
// A run clock for tests: short waits, and a hook for what the user does while the run waits.

#include "verify/runclock.h"

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <thread>

namespace quorvel::test
{

// Sleeps a twentieth of the time, so a requested link costs 50 ms instead of a second, and
// runs the test's script on every wait (the user's clicks happen while the run pumps).
class FastClock : public RunClock
{
public:
    std::function<void()> onWait;
    int sleeps = 0;
    // Off (with a settling time): events wait for the run's own processEvents calls, and the
    // component's threads get ahead of the GUI thread, so its last event is still queued when it
    // reports idle, as happens on a loaded machine.
    bool pumpWhileSleeping = true;
    int settleAfterPumpMs = 0;

    void sleep(int milliseconds) override
    {
        ++sleeps;
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds / 20);
        do {
            if (pumpWhileSleeping)
                processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < until);
        if (onWait)
            onWait();
    }
    void processEvents() override
    {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(settleAfterPumpMs));
    }
};

} // namespace quorvel::test
