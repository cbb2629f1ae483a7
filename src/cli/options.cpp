#include "cli/options.h"

#include "bookmarks/browserstores.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include <getopt.h>

#ifndef QUORVEL_VERSION
#define QUORVEL_VERSION "unknown"
#endif

namespace quorvel::cli
{

namespace
{

enum LongOnly {
    PerHost = 1000,
    Timeout,
    HttpOnly,
    UserAgent,
    MoveDeadTo,
    DryRun,
    ReportRedirects,
    Deep,
    SuspectIsDead,
    Retries,
    IncludePrivate,
    Exclude,
    ExcludeFile,
    ForceMove,
    History,
    NoHistory,
    Confirm,
    Moves,
    Undo,
    Bookmarks,
    Browser,
    WriteBookmarks,
};

constexpr option longOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"jobs", required_argument, nullptr, 'j'},
    {"per-host", required_argument, nullptr, PerHost},
    {"timeout", required_argument, nullptr, Timeout},
    {"http-only", no_argument, nullptr, HttpOnly},
    {"user-agent", required_argument, nullptr, UserAgent},
    {"format", required_argument, nullptr, 'f'},
    {"output", required_argument, nullptr, 'o'},
    {"move-dead-to", required_argument, nullptr, MoveDeadTo},
    {"dry-run", no_argument, nullptr, DryRun},
    {"report-redirects", no_argument, nullptr, ReportRedirects},
    {"deep", no_argument, nullptr, Deep},
    {"suspect-is-dead", no_argument, nullptr, SuspectIsDead},
    {"retries", required_argument, nullptr, Retries},
    {"include-private", no_argument, nullptr, IncludePrivate},
    {"exclude", required_argument, nullptr, Exclude},
    {"exclude-file", required_argument, nullptr, ExcludeFile},
    {"force-move", no_argument, nullptr, ForceMove},
    {"history", required_argument, nullptr, History},
    {"no-history", no_argument, nullptr, NoHistory},
    {"confirm", required_argument, nullptr, Confirm},
    {"moves", no_argument, nullptr, Moves},
    {"undo", optional_argument, nullptr, Undo},
    {"bookmarks", required_argument, nullptr, Bookmarks},
    {"browser", required_argument, nullptr, Browser},
    {"write-bookmarks", required_argument, nullptr, WriteBookmarks},
    {nullptr, 0, nullptr, 0},
};

constexpr int mostInFlight = 1000;

bool wholeNumber(const char *text, int low, int high, int &value)
{
    errno = 0;
    char *end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool seconds(const char *text, double &value)
{
    errno = 0;
    char *end = nullptr;
    const double number = std::strtod(text, &end);
    // At least a millisecond, at most a day.
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(number) || number < 0.001 ||
        number > 86400)
        return false;
    value = number;
    return true;
}

constexpr std::pair<std::string_view, ReportFormat> formats[] = {
    {"text", ReportFormat::Text},   {"json", ReportFormat::Json},
    {"csv", ReportFormat::Csv},     {"markdown", ReportFormat::Markdown},
    {"md", ReportFormat::Markdown},
};

bool formatNamed(const std::string &name, ReportFormat &format)
{
    for (const auto &[known, value] : formats) {
        if (name == known) {
            format = value;
            return true;
        }
    }
    return false;
}

// "firefox, chromium, chrome, brave, edge, vivaldi"
std::string browserChoices()
{
    std::string names;
    for (const std::string_view name : bookmarks::browserNames())
        names.append(names.empty() ? "" : ", ").append(name);
    return names;
}

CommandLine failure(std::string message)
{
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.error = std::move(message);
    return line;
}

// --moves and --undo work on the history alone: no folder is checked.
CommandLine historyCommand(CommandLine line, bool moves, bool undo, int folders)
{
    const Options &o = line.options;
    if (moves && undo)
        return failure("--moves and --undo cannot go together");
    const std::string name = moves ? "--moves" : "--undo";
    if (o.noHistory)
        return failure(name + " reads the history; it cannot go with --no-history");
    if (folders > 0)
        return failure(name + " checks no folder; leave the folder out");
    if (o.bookmarkInput() || !o.writeBookmarks.empty())
        return failure(name + " works on the journal of moved shortcut files; it goes with no "
                              "bookmark store");
    if (o.dryRun && moves)
        return failure("--dry-run goes with --move-dead-to or --undo, not with --moves");
    if (!o.moveDeadTo.empty() || o.deep || o.confirm > 1)
        return failure(name + " goes only with --history and, for --undo, --dry-run");
    line.action = moves ? CommandLine::Action::ListMoves : CommandLine::Action::Undo;
    return line;
}

} // namespace

CommandLine parseCommandLine(int argc, char *const argv[])
{
    CommandLine line;
    Options &o = line.options;
    // getopt_long permutes argv; it works on a copy so the caller's stays as it was.
    std::vector<char *> args(argv, argv + argc);
    args.push_back(nullptr);
    optind = 0; // starts getopt afresh, also when called more than once
    opterr = 0; // errors are worded here
    bool helpAsked = false;
    bool versionAsked = false;
    bool movesAsked = false;
    bool undoAsked = false;
    for (;;) {
        int index = -1;
        const int c = getopt_long(argc, args.data(), ":hVj:f:o:", longOptions, &index);
        if (c == -1)
            break;
        const std::string value = optarg ? optarg : "";
        switch (c) {
        case 'h':
            helpAsked = true;
            break;
        case 'V':
            versionAsked = true;
            break;
        case 'j':
            if (!wholeNumber(optarg, 1, mostInFlight, o.jobs))
                return failure("--jobs takes a whole number from 1 to " +
                               std::to_string(mostInFlight) + ", not '" + value + "'");
            break;
        case PerHost:
            if (!wholeNumber(optarg, 1, mostInFlight, o.perHost))
                return failure("--per-host takes a whole number from 1 to " +
                               std::to_string(mostInFlight) + ", not '" + value + "'");
            break;
        case Timeout:
            if (!seconds(optarg, o.timeoutSeconds))
                return failure("--timeout takes a number of seconds above 0 and up to 86400, "
                               "not '" +
                               value + "'");
            break;
        case HttpOnly:
            o.httpOnly = true;
            break;
        case UserAgent:
            // It goes on a header line, where a line break would start another header.
            if (value.find_first_of("\r\n") != std::string::npos)
                return failure("--user-agent must not contain a line break");
            o.userAgent = value;
            break;
        case 'f':
            if (!formatNamed(value, o.format))
                return failure("--format takes text, json, csv or markdown, not '" + value + "'");
            break;
        case 'o':
            if (value.empty())
                return failure("--output needs a file name");
            o.output = value;
            break;
        case MoveDeadTo:
            if (value.empty())
                return failure("--move-dead-to needs a folder");
            o.moveDeadTo = value;
            break;
        case DryRun:
            o.dryRun = true;
            break;
        case ReportRedirects:
            o.reportRedirects = true;
            break;
        case Deep:
            o.deep = true;
            break;
        case SuspectIsDead:
            o.suspectIsDead = true;
            break;
        case Retries:
            if (!wholeNumber(optarg, 0, 10, o.retries))
                return failure("--retries takes a whole number from 0 to 10, not '" + value + "'");
            break;
        case IncludePrivate:
            o.filter.includePrivate = true;
            break;
        case Exclude:
        case ExcludeFile: {
            std::string error;
            if (!(c == Exclude ? addExclude(o.filter, value, error)
                               : addExcludeFile(o.filter, value, error)))
                return failure(error);
            break;
        }
        case ForceMove:
            o.forceMove = true;
            break;
        case History:
            if (value.empty())
                return failure("--history needs a file name");
            o.historyFile = value;
            break;
        case NoHistory:
            o.noHistory = true;
            break;
        case Confirm:
            if (!wholeNumber(optarg, 1, 1000, o.confirm))
                return failure("--confirm takes a whole number of runs from 1 to 1000, not '" +
                               value + "'");
            break;
        case Moves:
            movesAsked = true;
            break;
        case Undo: {
            undoAsked = true;
            int run = 0;
            if (optarg && !wholeNumber(optarg, 1, 2147483647, run))
                return failure("--undo=ID takes the number of a run that moved files (see "
                               "--moves), not '" +
                               value + "'");
            line.undoRun = run;
            break;
        }
        case Bookmarks:
            if (value.empty())
                return failure("--bookmarks needs a file name");
            o.bookmarks = value;
            break;
        case Browser:
            if (value != "list" && !bookmarks::browserNamed(value))
                return failure("--browser takes " + browserChoices() + " or list, not '" + value +
                               "'");
            o.browser = value;
            break;
        case WriteBookmarks:
            if (value.empty())
                return failure("--write-bookmarks needs a file name");
            o.writeBookmarks = value;
            break;
        case ':':
            return failure("option '" + std::string(args[optind - 1]) + "' needs a value");
        default: {
            const std::string given = optind > 0 && optind <= argc ? args[optind - 1] : "";
            if (optopt != 0 && given.rfind("--", 0) != 0)
                return failure("unknown option '-" + std::string(1, static_cast<char>(optopt)) +
                               "'");
            return failure("unknown or ambiguous option '" + given + "'");
        }
        }
    }
    if (helpAsked) {
        line.action = CommandLine::Action::Help;
        return line;
    }
    if (versionAsked) {
        line.action = CommandLine::Action::Version;
        return line;
    }
    if (o.noHistory && !o.historyFile.empty())
        return failure("--history and --no-history cannot go together");
    if (movesAsked || undoAsked)
        return historyCommand(line, movesAsked, undoAsked, argc - optind);
    if (!o.bookmarks.empty() && !o.browser.empty())
        return failure("--bookmarks and --browser cannot go together: name one store");
    if (o.browser == "list") {
        if (argc - optind > 0 || !o.writeBookmarks.empty())
            return failure("--browser list only lists the stores it finds; give it alone");
        line.action = CommandLine::Action::ListBrowsers;
        return line;
    }
    if (o.bookmarkInput()) {
        if (argc - optind > 0)
            return failure("a bookmark store is checked instead of a folder; leave the folder "
                           "out");
        // The browser's own files are never changed, and a store has no shortcut files to move.
        if (!o.moveDeadTo.empty())
            return failure("--move-dead-to moves shortcut files; a bookmark store is never "
                           "changed. Use --write-bookmarks FILE.html for a cleaned copy with the "
                           "dead links in a folder of their own");
    } else if (!o.writeBookmarks.empty()) {
        return failure("--write-bookmarks writes a cleaned copy of a bookmark store; give "
                       "--bookmarks FILE or --browser NAME");
    }
    if (argc - optind > 1)
        return failure("only one folder can be checked at a time");
    if (optind < argc) {
        o.folder = args[optind];
        if (o.folder.empty())
            return failure("the folder name is empty");
    }
    const bool sorting = !o.moveDeadTo.empty() || !o.writeBookmarks.empty();
    if (o.confirm > 1 && !sorting)
        return failure("--confirm decides what --move-dead-to moves (or --write-bookmarks puts "
                       "in \"Dead links\"); give both");
    if (o.confirm > 1 && o.noHistory)
        return failure("--confirm counts the runs kept in the history; it cannot go with "
                       "--no-history");
    if (o.dryRun && !o.writeBookmarks.empty())
        return failure("--write-bookmarks writes a copy and changes nothing; it needs no "
                       "--dry-run");
    if (o.dryRun && o.moveDeadTo.empty())
        return failure("--dry-run shows what --move-dead-to would move; give both");
    if (o.suspectIsDead && !o.deep)
        return failure("--suspect-is-dead needs --deep, which finds the suspects");
    if (o.suspectIsDead && !sorting)
        return failure("--suspect-is-dead decides what --move-dead-to moves (or "
                       "--write-bookmarks puts in \"Dead links\"); give both");
    return line;
}

std::vector<OptionEntry> optionTable()
{
    std::vector<OptionEntry> table;
    for (const option &o : longOptions) {
        if (!o.name)
            break;
        const bool hasShort = o.val > 0 && o.val < 128 && std::isalnum(o.val);
        table.push_back(OptionEntry{o.name, hasShort ? static_cast<char>(o.val) : '\0',
                                    o.has_arg == required_argument});
    }
    return table;
}

std::vector<std::string_view> formatNames()
{
    std::vector<std::string_view> names;
    for (const auto &format : formats)
        names.push_back(format.first);
    return names;
}

std::string helpText()
{
    return R"(Usage: quorvel-check [OPTION]... [FOLDER]
  or:  quorvel-check [OPTION]... --bookmarks=FILE | --browser=BROWSER
Check the links of the Internet shortcut files (.url) in FOLDER and its sub-folders,
many at once, and list the dead ones: a 404 answer or a request that fails.
Without FOLDER, the favorites folder that Quorvel uses is checked (the registry's
"Favorites" value, else ~/Favorites). A browser's bookmarks are checked the same
way, each bookmark by its title and folder path.

Bookmarks:
      --bookmarks=FILE     check the bookmarks of FILE instead of a folder
                             (a bookmarks HTML file, a Chromium-family
                             Bookmarks file or Firefox's places.sqlite; its
                             kind is found from what it holds). Firefox's
                             database is read from a private copy, also while
                             Firefox runs.
      --browser=BROWSER    check the bookmarks of a browser's default profile
                             (firefox, chromium, chrome, brave, edge or
                             vivaldi), found under your home folder; the file
                             read is named on standard error. "list" shows the
                             stores found and exits
      --write-bookmarks=FILE  write a cleaned copy of the bookmarks as a
                             bookmarks HTML file that browsers import: every
                             bookmark in its folder, but the dead ones in a top
                             folder "Dead links" that rebuilds their folders.
                             The browser's own files are never written.

Checking:
  -j, --jobs=N             at most N requests in flight at once (default 128;
                             most of them only wait for a server)
      --per-host=M         at most M requests at once to one host (default 2;
                             a host that answers 429 or 503 gets fewer)
      --timeout=SECONDS    time limit of each request, redirects included
                             (default 30); connecting may take at most 10 s
      --http-only          check only http: links, as the window does; https:
                             links are then skipped
      --user-agent=TEXT    the User-Agent header (default "Merrowin WinInet
                             Component", as the window sends)
      --retries=N          try a failure that may pass later up to N more
                             times (default 2): a reset, a connection closed
                             early, a silent server, a resolver that did not
                             answer, a TLS handshake cut short, 429 or 503 (its
                             Retry-After honoured, at most 60 s). A connect
                             time-out or refused connection is tried once more;
                             "no such host" is final at once.
      --include-private    also check intranet and home addresses (single-label
                             names but localhost, .local, .lan, .internal,
                             .home.arpa, private and link-local addresses),
                             which are otherwise skipped as private
      --exclude=REGEX      skip links whose URL matches REGEX (ECMAScript
                             syntax, searched anywhere in the URL); repeatable
      --exclude-file=FILE  skip links matching a pattern of FILE, one a line;
                             blank lines and lines starting with # are left out

Reports:
  -f, --format=FORMAT      text (default), json, csv or markdown
  -o, --output=FILE        write the report to FILE; the text report still goes
                             to standard output. Replaced only once complete.
      --report-redirects   also list links that were moved permanently (301 or
                             308 answers) with the URL they lead to now

Deeper checks:
      --deep               look again at every link that ends in a 2xx answer,
                             and report it as suspect when it is a dead page
                             all the same: the site's "not found" page served
                             with 200 ("soft 404"), an old address sent to the
                             home page ("moved to the home page"), or a domain
                             parking or for-sale page ("parked"). It costs at
                             most one extra request per host and directory (an
                             address that cannot exist), which obeys --jobs and
                             --per-host like every other request.

Moving:
      --move-dead-to=DIR   move the shortcut files of dead links into DIR,
                             rebuilding their sub-folders there; a file already
                             in DIR is never overwritten
      --suspect-is-dead    with --deep, move the suspects too (or put them in
                             "Dead links"); without it they stay where they are
      --dry-run            only show what --move-dead-to would move, suspects
                             included (or, with --undo, what it would put back)
      --force-move         move by the verdicts even when the network looked
                             unreachable (for a folder of only dead hosts)
      --confirm=N          move only links dead in at least N checks in a row,
                             this one included (default 1), and put only those in
                             "Dead links"; the others are reported as not yet
                             confirmed

History:
      --history=FILE       keep the history of checks and the journal of moves
                             in FILE (default $XDG_STATE_HOME/quorvel/history.db,
                             or ~/.local/state/quorvel/history.db)
      --no-history         read and write no history; every link then counts as
                             dead for the first time
      --moves              list the runs that moved files (of quorvel-check and of
                             the window), newest first, and exit
      --undo[=ID]          put back the files of run ID, or of the latest run not
                             yet undone: each to its old path, never over a file

  -h, --help               show this help and exit
  -V, --version            show the version and exit

Links whose URL starts with http: or https: are requested with GET; the answer's
body is read and thrown away (with --deep, the first 256 KiB of a 2xx answer are
looked at first). Shortcuts without a URL and other schemes (javascript:,
place:, file:, ...) are listed as skipped, never as dead. 410 Gone is dead too
(the window counts only 404).
A link whose every answer was 429 or 503 is alive but listed as unverified.
Once a name is known not to exist, a host has not taken a connection on three
tries, or answered nothing until the time limit on two, its other links take
that verdict without waiting (host verdict).
A certificate for another name is accepted, as the
window accepts it; an expired or untrusted certificate fails the request.
An answer whose body is still arriving when the time limit strikes is judged by
its headers. A progress bar is shown on standard error when it is a terminal.
Ctrl+C stops the check: requests are cancelled, nothing is moved, and the report
of what was checked is written.

Network guard: when no host answered at all (at least 3 tried), or at least 90%
of at least 10 hosts tried gave no answer (no resolver answer, no connection),
the network looks unreachable: nothing is moved, standard error says so, and
the exit status is 3. A resolver's "no such host" and a refused connection are
answers. When the network stops answering during a run, links that failed
after that are unverified, never dead.

Every check is recorded in the history (unless --no-history): each link's
result, and how many checks in a row it has been dead (dead_runs, dead_since in
the JSON and CSV reports). Each move is journaled before the file moves.

Exit status:
  0  no link is dead (or suspect); --undo: every file went back; --browser
     list: a store was found
  1  at least one link is dead or, with --deep, suspect; --undo: some file
     stays; --browser list: no store was found
  2  bad usage, a folder or bookmarks file that cannot be read, a report or
     cleaned copy that cannot be written, or a history store that cannot be
     read or written
  3  the network looked unreachable; nothing was moved (see --force-move)
  130  stopped with Ctrl+C (or SIGTERM)
)";
}

std::string versionText()
{
    return "quorvel-check " QUORVEL_VERSION "\n";
}

} // namespace quorvel::cli
