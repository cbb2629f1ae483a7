#include "cli/checkcommand.h"

#include "bookmarks/bookmarkerror.h"
#include "bookmarks/bookmarkfile.h"
#include "catalogue/catalogue.h"
#include "cli/bookmarkrun.h"
#include "cli/checkrun.h"
#include "cli/historycommands.h"
#include "cli/historyrun.h"
#include "cli/options.h"
#include "cli/progressbar.h"
#include "cli/reportfile.h"
#include "cli/stopsignals.h"
#include "deep/parking.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::cli
{

namespace
{

constexpr int usageStatus = 2;

int complain(std::ostream &err, const std::string &message)
{
    err << "quorvel-check: " << message << '\n';
    return usageStatus;
}

// The folder the window would scan: the registry's Favorites value (the registry layer gives
// ~/Favorites when the user's hive has none).
std::optional<std::string> windowFolder(std::ostream &err)
{
    try {
        std::string folder = GetFavoritesFolder();
        if (folder.empty()) {
            complain(err, "no favorites folder is set in the registry; name a folder to check");
            return std::nullopt;
        }
        return folder;
    } catch (const std::exception &error) {
        complain(err, std::string("cannot read the favorites folder from the registry: ") +
                          error.what());
        return std::nullopt;
    }
}

// The top folder must be readable; folders below it that are not are skipped, as the window
// skips them.
bool readableFolder(const std::string &folder, std::ostream &err)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) {
        complain(err, "cannot read folder '" + folder + "': " + std::strerror(errno));
        return false;
    }
    ::closedir(dir);
    return true;
}

bool usableMoveTarget(const std::string &target, std::ostream &err)
{
    struct stat info {
    };
    if (::stat(target.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        complain(err, "--move-dead-to: '" + target + "' is not a folder");
        return false;
    }
    return true;
}

// Every request in flight and every kept-alive connection holds a descriptor; the usual soft
// limit of 1,024 would fail requests (as dead links) long before --jobs reaches its maximum.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted =
        limit.rlim_max == RLIM_INFINITY ? 65536 : std::min<rlim_t>(limit.rlim_max, 65536);
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted)
        return;
    limit.rlim_cur = wanted;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

// The parking phrases installed with the program (an edited list is used at once), else the
// compiled-in list. A list file with mistakes is used all the same, and the mistakes named.
deep::ParkingPhrases parkingPhrases(std::ostream &err)
{
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return deep::ParkingPhrases::builtIn();
    std::string note;
    deep::ParkingPhrases phrases = deep::ParkingPhrases::forProgram(program.parent_path(), note);
    if (!note.empty())
        err << "quorvel-check: " << note << '\n';
    return phrases;
}

CheckSettings settingsFrom(const Options &options, int stopFd)
{
    CheckSettings settings;
    settings.jobs = options.jobs;
    settings.perHost = options.perHost;
    settings.timeout =
        std::chrono::milliseconds(static_cast<long long>(options.timeoutSeconds * 1000.0 + 0.5));
    settings.userAgent = options.userAgent;
    settings.stopFd = stopFd;
    settings.retries = options.retries;
    settings.filter = options.filter;
    // Hidden, for tests, which cannot wait seconds for every retry: the first retry's wait and
    // the cap on Retry-After, in milliseconds.
    const auto fromEnvironment = [](const char *name, std::chrono::milliseconds &value) {
        if (const char *text = std::getenv(name)) {
            char *end = nullptr;
            const long long ms = std::strtoll(text, &end, 10);
            if (end != text && *end == '\0' && ms >= 0)
                value = std::chrono::milliseconds(ms);
        }
    };
    fromEnvironment("QUORVEL_CHECK_RETRY_WAIT_MS", settings.retryWait);
    fromEnvironment("QUORVEL_CHECK_RETRY_AFTER_CAP_MS", settings.retryAfterCap);
    return settings;
}

} // namespace

int runCheckCommand(int argc, char *argv[], std::ostream &out, std::ostream &err)
{
    const CommandLine line = parseCommandLine(argc, argv);
    switch (line.action) {
    case CommandLine::Action::Help:
        out << helpText();
        return out ? 0 : usageStatus;
    case CommandLine::Action::Version:
        out << versionText();
        return out ? 0 : usageStatus;
    case CommandLine::Action::Error:
        complain(err, line.error);
        err << "Try 'quorvel-check --help' for more information.\n";
        return usageStatus;
    case CommandLine::Action::ListMoves:
        return listMoves(line.options, out, err);
    case CommandLine::Action::Undo:
        return undoMoves(line.options, line.undoRun, out, err);
    case CommandLine::Action::ListBrowsers: {
        const int status = listBrowserStores(homeFolder(), out);
        out.flush();
        return out ? status : usageStatus;
    }
    case CommandLine::Action::Check:
        break;
    }
    const Options &options = line.options;

    // A bookmark store stands where the folder would: its file names the run in the history,
    // and each bookmark's path below it names the link.
    std::string folder = options.folder;
    std::optional<bookmarks::BookmarkTree> store;
    const bool fromStore = options.bookmarkInput();
    if (fromStore) {
        const auto file = bookmarkStoreOf(options.bookmarks, options.browser, homeFolder(), err);
        if (!file)
            return usageStatus;
        try {
            store = bookmarks::readBookmarkFile(*file);
        } catch (const bookmarks::BookmarkError &error) {
            return complain(err, error.what());
        } catch (const std::exception &error) {
            return complain(err, file->string() + ": cannot be read: " + error.what());
        }
        folder = file->string();
        if (!options.writeBookmarks.empty() &&
            !usableCleanedCopy(options.writeBookmarks, *file, err))
            return usageStatus;
    } else {
        if (folder.empty()) {
            const auto fromRegistry = windowFolder(err);
            if (!fromRegistry)
                return usageStatus;
            folder = *fromRegistry;
        }
        folder = normalizedFolder(folder);
        if (!readableFolder(folder, err))
            return usageStatus;
    }
    const std::string moveTarget = normalizedFolder(options.moveDeadTo);
    if (!moveTarget.empty() && !usableMoveTarget(moveTarget, err))
        return usageStatus;

    ReportFile reportFile;
    if (!options.output.empty()) {
        std::string error;
        if (!reportFile.open(options.output, error))
            return complain(err, error);
    }

    // Before the check: a store that cannot take the moves is found before any time is spent.
    CheckHistory checkHistory;
    if (!checkHistory.open(options, folder, moveTarget, err))
        return usageStatus;

    std::optional<deep::ParkingPhrases> phrases;
    if (options.deep)
        phrases = parkingPhrases(err);

    raiseDescriptorLimit();
    const StopSignals stop;
    std::optional<ProgressBar> bar;
    const ProgressHandler progress = [&](std::size_t done, std::size_t total, std::size_t dead,
                                         std::size_t suspect) {
        if (!bar)
            bar.emplace(STDERR_FILENO, total, options.deep);
        bar->update(done, dead, suspect);
    };
    const CheckSettings settings = settingsFrom(options, stop.fd());
    const deep::ParkingPhrases *deepPhrases = phrases ? &*phrases : nullptr;
    Report report;
    if (store) {
        std::vector<bookmarks::BookmarkEntry> entries = bookmarks::flatten(*store);
        const bookmarks::StoreKind kind = store->kind;
        // The tree is kept only for the cleaned copy.
        if (options.writeBookmarks.empty())
            store.reset();
        report = checkBookmarks(std::move(entries), kind, folder, options.httpOnly, settings,
                                progress, deepPhrases);
    } else {
        report = checkFolder(folder, options.httpOnly, settings, progress, deepPhrases);
    }
    if (bar)
        bar->finish();
    if (stop.raised())
        report.complete = false;
    report.listRedirects = options.reportRedirects;
    report.confirm = options.confirm;
    // Failures without a network prove nothing: then nothing is moved unless asked anyway, and
    // they count for no link's streak.
    const bool guarded = report.networkDown && !options.forceMove;
    const bool recorded = checkHistory.record(report, options.suspectIsDead, guarded, err);

    // Nothing is moved after an interrupted check: the user asked to stop. Nor without the
    // history that journals each move.
    bool journaled = true;
    if (!moveTarget.empty() && report.complete && !guarded && recorded)
        journaled = moveDeadShortcuts(report, folder, moveTarget, options.dryRun,
                                      options.suspectIsDead, [&stop] { return stop.raised(); },
                                      checkHistory.journal());
    if (!journaled)
        complain(err,
                 checkHistory.journalError() + "; the files not yet moved stay where they are");
    // The cleaned copy follows the rules of the moves: only from a complete check on a usable
    // network, with the verdicts recorded.
    bool copied = true;
    if (fromStore && !options.writeBookmarks.empty()) {
        if (!report.complete)
            report.cleanedNotWritten = "the check was stopped";
        else if (guarded)
            report.cleanedNotWritten = "the network looked unreachable";
        else if (!recorded)
            report.cleanedNotWritten = "the history could not be kept";
        else
            copied = writeCleanedCopy(report, options.writeBookmarks, *store,
                                      sortIntoDeadLinks(report, options.suspectIsDead), err);
    }
    // Ctrl+C during the moves leaves the rest in place; the report then says it was stopped.
    if (stop.raised())
        report.complete = false;

    // The report in the chosen format goes to the file when one is named, and the text report
    // to standard output; without a file, standard output takes the chosen format. It is
    // written while the history's results are still being stored, on a thread of their own.
    bool reported = true;
    if (!options.output.empty()) {
        writeReport(reportFile.stream(), report, options.format);
        std::string error;
        if (!reportFile.commit(error)) {
            complain(err, error);
            reported = false;
        }
        writeText(out, report);
    } else {
        writeReport(out, report, options.format);
    }
    out.flush();
    if (!out) {
        complain(err, "cannot write the report to standard output");
        reported = false;
    }
    const bool finished = checkHistory.finish(report.complete, err);
    const int status = recorded && journaled && copied && finished && reported
                           ? exitStatusOf(report, options.forceMove)
                           : usageStatus;
    // Said last, so that it is what the user sees below the report.
    if (report.networkDown && report.complete)
        err << "The network looks unreachable: no host answered (" << report.hostsTried
            << " hosts tried)."
            << (!guarded                                  ? ""
                : !fromStore                              ? " Nothing was moved."
                : !options.writeBookmarks.empty()          ? " No cleaned copy was written."
                                                           : "")
            << '\n';
    return status;
}

} // namespace quorvel::cli
