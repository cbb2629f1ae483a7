#include "verify/verifyrun.h"

#include "http/advhttp.h"
#include "inet/inet.h"
#include "verify/linkcheck.h"
#include "verify/resultclassifier.h"
#include "verify/verifyview.h"

#include <chrono>
#include <exception>
#include <string>

namespace quorvel
{

namespace
{

constexpr int BusyPollMs = 1000;
constexpr int PausePollMs = 500;
constexpr int ResultPollMs = 10;

// Marks a check as in progress for the life of the scope, also when it ends by an exception.
class InProgress
{
public:
    explicit InProgress(bool &flag) : flag_(flag) { flag_ = true; }
    ~InProgress() { flag_ = false; }
    InProgress(const InProgress &) = delete;
    InProgress &operator=(const InProgress &) = delete;

private:
    bool &flag_;
};

} // namespace

VerifyRun::VerifyRun(VerifyView &view, TAdvHttp &http) : view_(view), http_(http) {}

void VerifyRun::setClock(RunClock *clock)
{
    clock_ = clock ? clock : &pumpingClock_;
}

bool VerifyRun::isChecking() const
{
    return inProgress_ || http_.Busy();
}

void VerifyRun::VerifyAll()
{
    if (isChecking())
        return;
    InProgress guard(inProgress_);

    view_.stopRequested() = false;
    view_.setVerifySelectedEnabled(false);
    view_.setStopEnabled(true);
    view_.setPauseEnabled(true);
    view_.setPauseDown(false);
    view_.setVerifyAllEnabled(false);

    view_.otherErrorCount() = 0;
    view_.setOtherErrorsText("Other errors = 0");
    view_.setCount404sText("404 count = 0");
    view_.setDeadLinkCountText("Bad link count =  0");
    view_.notFoundCount() = 0;
    view_.clearDeadLinks();

    view_.setRunCursor(RunCursor::Wait);
    try {
        const int count = view_.linkCount();
        for (int i = 0; i < count; ++i) {
            // Moves are refused during a run; should the lists shrink anyway, stop reading.
            if (i >= view_.linkCount())
                break;
            view_.selectLink(i);
            refreshTotal();
            if (view_.stopRequested()) {
                stopped();
                return;
            }
            view_.setCaption("Quorvel - Checking " + std::to_string(i + 1) + " of " +
                             std::to_string(count));
            const std::string url = view_.linkURL(i);
            const std::string name = view_.linkName(i);
            view_.currentFile() = view_.linkFile(i);
            view_.currentName() = name;
            if (!isHttpLink(url))
                continue;
            if (!startRequest(name, url))
                continue;
            if (waitWhileBusy(true) == Wait::Stopped) {
                stopped();
                drainRequest();
                return;
            }
            awaitResult();
        }
        finish(count);
    } catch (...) {
        restoreIdle();
        throw;
    }
}

void VerifyRun::BrowseOne()
{
    if (isChecking())
        return;
    InProgress guard(inProgress_);

    const int row = view_.selectedLink();
    if (row >= 0 && row < view_.linkCount()) {
        view_.setRunCursor(RunCursor::Wait);
        const std::string url = view_.linkURL(row);
        const std::string name = view_.linkName(row);
        view_.currentFile() = view_.linkFile(row);
        view_.currentName() = name;
        try {
            if (isHttpLink(url) && startRequest(name, url)) {
                waitWhileBusy(false);
                awaitResult();
            }
        } catch (...) {
            view_.setRunCursor(RunCursor::Default);
            throw;
        }
    }
    view_.setRunCursor(RunCursor::Default);
    refreshTotal();
}

void VerifyRun::PauseToolButtonClick()
{
    view_.stopRequested() = false;
    view_.setRunCursor(RunCursor::AppStarting);
    view_.setVerifyAllEnabled(true);
}

void VerifyRun::StopToolButtonClick()
{
    view_.stopRequested() = true;
    view_.setVerifySelectedEnabled(true);
    view_.setRunCursor(RunCursor::Default);
}

void VerifyRun::RequestComplete()
{
    classifyResponse(view_, http_.ResponseHeaders());
    awaitingResult_ = false;
    awaitingCompletion_ = false;
}

void VerifyRun::Error()
{
    // An error while the response is being read is followed by that response's completion
    // (unless the request was given up); both must be handled for the same link.
    using Stage = TAdvHttp::TResponseStage;
    const Stage stage = http_.Stage();
    const bool whileReading = stage == Stage::Status || stage == Stage::Authentication ||
                              stage == Stage::Headers || stage == Stage::Body;
    const bool givenUp = http_.LastError() == platform::inet::ERROR_INTERNET_OPERATION_CANCELLED;
    classifyError(view_, http_);
    awaitingResult_ = false;
    if (whileReading && !givenUp)
        awaitingCompletion_ = true;
}

bool VerifyRun::startRequest(const std::string &name, const std::string &url)
{
    // The texts first, so that an error of the URL itself shows against its own link.
    view_.showStatusText(name + ":" + url);
    view_.clearHeaders();
    view_.clearEvents();
    awaitingResult_ = true;
    awaitingCompletion_ = false;
    // The component keeps a URL's user name and password until another URL brings its own:
    // credentials written into one favorite must not be offered to the next link's server.
    http_.setUserName(std::string());
    http_.setPassword(std::string());
    try {
        http_.setURL(url);
    } catch (const std::exception &) {
        // The component has already reported it through OnError, which counted the link.
        awaitingResult_ = false;
        return false;
    }
    http_.Execute(false);
    return true;
}

VerifyRun::Wait VerifyRun::waitWhileBusy(bool pausing)
{
    while (http_.Busy()) {
        clock_->sleep(BusyPollMs);
        clock_->processEvents();
        if (!pausing || !view_.pauseDown())
            continue;
        view_.showStatusText("Paused");
        while (view_.pauseDown()) {
            clock_->processEvents();
            clock_->sleep(PausePollMs);
            if (view_.stopRequested())
                return Wait::Stopped;
        }
    }
    return Wait::Done;
}

void VerifyRun::awaitResult()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ResultGraceMs);
    while ((awaitingResult_ || awaitingCompletion_ || http_.Busy()) && Clock::now() < deadline) {
        clock_->processEvents();
        clock_->sleep(ResultPollMs);
    }
    awaitingResult_ = false;
    awaitingCompletion_ = false;
}

void VerifyRun::drainRequest()
{
    waitWhileBusy(false);
    awaitResult();
}

void VerifyRun::refreshTotal()
{
    view_.setDeadLinkCountText("Total bad link count = " + std::to_string(view_.deadLinkCount()));
}

void VerifyRun::finish(int count)
{
    view_.setCaption("Quorvel");
    if (count > 0)
        refreshTotal();
    view_.showStatusText("Finished " + std::to_string(count) + " links");
    restoreIdle();
}

void VerifyRun::stopped()
{
    view_.showStatusText("Stopped");
    view_.setVerifyAllEnabled(true);
    view_.setPauseEnabled(false);
    view_.setPauseDown(false);
    view_.setStopEnabled(false);
}

void VerifyRun::restoreIdle()
{
    view_.setRunCursor(RunCursor::Default);
    view_.setVerifyAllEnabled(true);
    view_.setPauseEnabled(false);
    view_.setPauseDown(false);
    view_.setStopEnabled(false);
    view_.setVerifySelectedEnabled(true);
}

} // namespace quorvel
