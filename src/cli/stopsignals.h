#pragma once
// Ctrl+C (SIGINT) and SIGTERM while checking: the first one asks the run to stop and makes a
// descriptor readable that the request loop waits on; the handlers then go back to the
// default, so a second Ctrl+C ends the program at once. SIGPIPE is ignored, so a closed pipe
// on standard output is an error to report, not a silent death.

#include <csignal>

namespace quorvel::cli
{

class StopSignals
{
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // Readable once a stop was asked for; -1 when the descriptor could not be made.
    int fd() const;
    bool raised() const;
};

// Holds SIGINT and SIGTERM back while it lives, so that what runs meanwhile (a file move) is
// never cut short; a signal that came is delivered when it ends.
class StopSignalsHeld
{
public:
    StopSignalsHeld();
    ~StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld &) = delete;
    StopSignalsHeld &operator=(const StopSignalsHeld &) = delete;

private:
    sigset_t previous_;
};

} // namespace quorvel::cli
