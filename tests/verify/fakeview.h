#pragma once
// A window stand-in for the run and the classification: it keeps everything they set, so a
// test can read the lists, texts, toolbar states and cursor afterwards or while the run waits.

#include "verify/verifyview.h"

#include <string>
#include <vector>

namespace quorvel::test
{

struct FakeLink {
    std::string name;
    std::string url;
    std::string file;
};

class FakeView : public VerifyView
{
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

} // namespace quorvel::test
