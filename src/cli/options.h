#pragma once
// quorvel-check's command line: GNU-style long options (and a few short ones).

#include "cli/linkfilter.h"
#include "cli/report.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli
{

struct Options {
    std::string folder; // "" when none was given: the window's favorites folder is used
    // A browser's bookmark store instead of a folder: a file named with --bookmarks, or the
    // default profile's store of the browser named with --browser.
    std::string bookmarks;
    std::string browser;
    std::string writeBookmarks; // --write-bookmarks: the cleaned copy of the store
    int jobs = 128;
    int perHost = 2;
    double timeoutSeconds = 30;
    bool httpOnly = false;
    std::string userAgent = "Merrowin WinInet Component";
    ReportFormat format = ReportFormat::Text;
    std::string output; // "" for standard output
    std::string moveDeadTo;
    bool dryRun = false;
    bool reportRedirects = false;
    bool deep = false;          // look again at 2xx answers for dead pages that hide behind them
    bool suspectIsDead = false; // --move-dead-to moves suspects too
    int retries = 2;
    bool forceMove = false; // move by the verdicts even when the network looked unreachable
    LinkFilter filter;      // --include-private, --exclude, --exclude-file

    // The history store: "" for the default one.
    std::string historyFile;
    bool noHistory = false;
    int confirm = 1; // --move-dead-to moves a link dead in at least this many runs in a row

    bool bookmarkInput() const { return !bookmarks.empty() || !browser.empty(); }
};

struct CommandLine {
    enum class Action { Check, Help, Version, Error, ListMoves, Undo, ListBrowsers };
    Action action = Action::Check;
    Options options;
    std::string error; // for Action::Error: what was wrong, without the program's name
    long long undoRun = 0; // for Action::Undo: the run to undo; 0 for the latest not undone
};

CommandLine parseCommandLine(int argc, char *const argv[]);

// One option as the parser knows it: its long name, its short letter ('\0' when none), and
// whether it takes a value.
struct OptionEntry {
    std::string name;
    char letter = '\0';
    bool takesValue = false;
};

// Every option the parser takes, in the order of its table.
std::vector<OptionEntry> optionTable();

// The names --format takes.
std::vector<std::string_view> formatNames();

std::string helpText();
std::string versionText();

} // namespace quorvel::cli
