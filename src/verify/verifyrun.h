#pragma once
// The verification run: every link of the catalogue (VerifyAll) or the selected one
// (BrowseOne), one request at a time, waiting for the component while the window stays live.
// The component's result events come back through RequestComplete and Error.

#include "verify/runclock.h"

#include <string>

namespace quorvel
{

class TAdvHttp;
class VerifyView;

class VerifyRun
{
public:
    VerifyRun(VerifyView &view, TAdvHttp &http);
    VerifyRun(const VerifyRun &) = delete;
    VerifyRun &operator=(const VerifyRun &) = delete;

    // Nothing starts while a check is in progress or the component is still busy: a second
    // request would share the component with the first, and a nested run would walk on after
    // the outer one.
    void VerifyAll();
    void BrowseOne();
    void PauseToolButtonClick();
    void StopToolButtonClick();

    // Handlers of the component's OnRequestComplete and OnError.
    void RequestComplete();
    void Error();

    // True while VerifyAll or BrowseOne is running or the component has a request open; commands
    // that start checks or change the catalogue wait for this to be false.
    bool isChecking() const;

    // Replaces the waits (tests); nullptr restores the real one.
    void setClock(RunClock *clock);

    // How long to wait, once the component is idle, for the request's result event to be
    // handled before moving on anyway.
    static constexpr int ResultGraceMs = 3000;

private:
    enum class Wait { Done, Stopped };

    // Hands the URL to the component and starts it; false when the URL was refused (the
    // refusal has been counted as the link's error through OnError).
    bool startRequest(const std::string &name, const std::string &url);
    // Waits while the component is busy; with pausing, honours the Pause button and a stop
    // noticed during a pause.
    Wait waitWhileBusy(bool pausing);
    // After the component went idle: until the request's last result event has been handled,
    // so CurrentName and CurrentFile still name its link when it arrives.
    void awaitResult();
    // A request left in flight by a stop: let it end and be classified before returning.
    void drainRequest();
    void refreshTotal();
    void finish(int count);
    void stopped();
    void restoreIdle();

    VerifyView &view_;
    TAdvHttp &http_;
    PumpingClock pumpingClock_;
    RunClock *clock_ = &pumpingClock_;
    bool inProgress_ = false;
    // The result event of the current request has not been handled yet.
    bool awaitingResult_ = false;
    // An error arrived while the response was being read: its completion follows.
    bool awaitingCompletion_ = false;
};

} // namespace quorvel
