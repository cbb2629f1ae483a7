#pragma once
// A window stand-in for the run and the classification: it keeps what they set, and tests
// can script what happens while the run pumps events (clicks on Pause and Stop, for instance).

#include "verify/runclock.h"
#include "verify/verifyview.h"

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::test {

struct FakeLink {
    std::string name;
    std::string url;
    std::string file;
};

class FakeView : public VerifyView {
public:
    std::vector<FakeLink> links;
    int selected = -1;
    std::vector<int> selections;
    std::vector<std::string> deadNames;
    std::vector<std::string> deadFiles;
    std::string caption = "Quorvel";
    std::vector<std::string> captions;
    std::string status;
    std::string deadLinkCountText = "Bad link count =  0";
    std::string count404sText = "404 count = 0";
    std::string otherErrorsText = "Other errors = 0";
    StringList headers;
    std::vector<std::string> events;
    bool destroying = false;
    bool verifyAllEnabled = true;
    bool pauseEnabled = false;
    bool pauseIsDown = false;
    bool stopEnabled = false;
    bool verifySelectedEnabled = true;
    RunCursor cursor = RunCursor::Default;
    bool stop = false;
    int notFound = 0;
    int otherErrors = 0;
    std::string name;
    std::string file;

    int linkCount() const override { return static_cast<int>(links.size()); }
    std::string linkURL(int row) const override { return links.at(row).url; }
    std::string linkName(int row) const override { return links.at(row).name; }
    std::string linkFile(int row) const override { return links.at(row).file; }
    int selectedLink() const override { return selected; }
    void selectLink(int row) override
    {
        selected = row;
        selections.push_back(row);
    }
    void addDeadLink(const std::string &deadName, const std::string &deadFile) override
    {
        deadNames.push_back(deadName);
        deadFiles.push_back(deadFile);
    }
    int deadLinkCount() const override { return static_cast<int>(deadNames.size()); }
    void clearDeadLinks() override
    {
        deadNames.clear();
        deadFiles.clear();
    }
    void setCaption(const std::string &text) override
    {
        caption = text;
        captions.push_back(text);
    }
    std::string currentStatusText() const override { return status; }
    void showStatusText(const std::string &text) override { status = text; }
    void setDeadLinkCountText(const std::string &text) override { deadLinkCountText = text; }
    void setCount404sText(const std::string &text) override { count404sText = text; }
    void setOtherErrorsText(const std::string &text) override { otherErrorsText = text; }
    void setHeaders(const StringList &lines) override { headers = lines; }
    void clearHeaders() override { headers.clear(); }
    void clearEvents() override { events.clear(); }
    void LogEvent(const std::string &line) override
    {
        if (!destroying)
            events.push_back(line);
    }
    void setVerifyAllEnabled(bool enabled) override { verifyAllEnabled = enabled; }
    void setPauseEnabled(bool enabled) override { pauseEnabled = enabled; }
    bool pauseDown() const override { return pauseIsDown; }
    void setPauseDown(bool down) override { pauseIsDown = down; }
    void setStopEnabled(bool enabled) override { stopEnabled = enabled; }
    void setVerifySelectedEnabled(bool enabled) override { verifySelectedEnabled = enabled; }
    void setRunCursor(RunCursor shape) override { cursor = shape; }
    bool &stopRequested() override { return stop; }
    int &notFoundCount() override { return notFound; }
    int &otherErrorCount() override { return otherErrors; }
    std::string &currentName() override { return name; }
    std::string &currentFile() override { return file; }
};

// Sleeps a twentieth of the time, so a requested link costs 50 ms instead of a second, and
// runs the test's script on every wait (the user's clicks happen while the run pumps).
class FastClock : public RunClock {
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
