#include "verify/runclock.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <thread>

namespace quorvel
{

void PumpingClock::sleep(int milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        processEvents();
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(5)));
    }
}

void PumpingClock::processEvents()
{
    // processEvents, not a nested event loop: once the program has been asked to end, every
    // nested loop returns at once, and the run must still wait for its request.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace quorvel
