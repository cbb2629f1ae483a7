#pragma once
// What the verification run and the result classification need of the main window: the
// catalogue rows, the dead-link lists, the texts, the toolbar states, the cursor, the log and
// the values shared with the event handlers. The window implements it; tests use a fake.

#include "http/stringlist.h"

#include <string>

namespace quorvel
{

enum class RunCursor {
    Default,
    Wait,        // hourglass
    AppStarting, // arrow with a small hourglass
};

class VerifyView
{
public:
    virtual ~VerifyView() = default;

    // The catalogue as the lists show it; rows of URL_List, URL_Names and Files are aligned.
    virtual int linkCount() const = 0;
    virtual std::string linkURL(int row) const = 0;
    virtual std::string linkName(int row) const = 0;
    virtual std::string linkFile(int row) const = 0;
    // The selected row of URL_List, -1 when none.
    virtual int selectedLink() const = 0;
    // Selects the row in URL_Names and URL_List and scrolls it into view; no click handler runs.
    virtual void selectLink(int row) = 0;

    // List404 and Deadfiles, kept aligned.
    virtual void addDeadLink(const std::string &name, const std::string &file) = 0;
    virtual int deadLinkCount() const = 0;
    virtual void clearDeadLinks() = 0;

    virtual void setCaption(const std::string &caption) = 0;
    virtual std::string currentStatusText() const = 0;
    virtual void showStatusText(const std::string &text) = 0;
    virtual void setDeadLinkCountText(const std::string &text) = 0;
    virtual void setCount404sText(const std::string &text) = 0;
    virtual void setOtherErrorsText(const std::string &text) = 0;
    // The memo Headers.
    virtual void setHeaders(const StringList &lines) = 0;
    virtual void clearHeaders() = 0;
    // The connection log Events; LogEvent drops the line while the window is being destroyed.
    virtual void clearEvents() = 0;
    virtual void LogEvent(const std::string &line) = 0;

    virtual void setVerifyAllEnabled(bool enabled) = 0;
    virtual void setPauseEnabled(bool enabled) = 0;
    virtual bool pauseDown() const = 0;
    virtual void setPauseDown(bool down) = 0;
    virtual void setStopEnabled(bool enabled) = 0;
    virtual void setVerifySelectedEnabled(bool enabled) = 0;
    virtual void setRunCursor(RunCursor cursor) = 0;

    // Values shared by the run and the event handlers.
    virtual bool &stopRequested() = 0;
    virtual int &notFoundCount() = 0;
    virtual int &otherErrorCount() = 0;
    virtual std::string &currentName() = 0;
    virtual std::string &currentFile() = 0;
};

} // namespace quorvel
