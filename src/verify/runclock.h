#pragma once
// The run's waits. The real clock sleeps the full time while it keeps handling events; tests
// put in a shorter one so that a link does not cost a whole second.

namespace quorvel
{

class RunClock
{
public:
    virtual ~RunClock() = default;
    // Returns after about milliseconds; events may be handled meanwhile.
    virtual void sleep(int milliseconds) = 0;
    // Handles every pending event of the GUI thread.
    virtual void processEvents() = 0;
};

// Sleeps the full time, handling events every few milliseconds so that the window stays live
// and the component's events (which block its threads until handled) get through at once.
class PumpingClock : public RunClock
{
public:
    void sleep(int milliseconds) override;
    void processEvents() override;
};

} // namespace quorvel
