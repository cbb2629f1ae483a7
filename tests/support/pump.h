#pragma once
// Running the GUI thread's events from a test that waits for work done elsewhere.

#include <chrono>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>

namespace quorvel::test
{

// Pumps the GUI thread's events until done() holds; false when the bound passes first.
template <typename Done> bool pumpUntil(Done done, int limitMs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Pumps the GUI thread's events for a while, for anything that would still come.
inline void pumpFor(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace quorvel::test
