#include "cli/checkrun.h"

#include "catalogue/shortcutreader.h"
#include "cli/classify.h"
#include "cli/deepstage.h"
#include "cli/stopsignals.h"
#include "deep/verdict.h"
#include "platform/codepage.h"
#include "verify/deadlinkmover.h"

#include <chrono>
#include <filesystem>
#include <optional>

namespace quorvel::cli
{

namespace
{

constexpr char separator = std::filesystem::path::preferred_separator;

// Links waiting for their directory's probe hold their page's text; past this many, no new
// link starts until probes answer, which keeps memory bounded when a site is slow to answer
// its probe.
constexpr std::size_t mostWaitingPages = 256;

} // namespace

std::string relativePath(const std::string &file, const std::string &folder)
{
    // The scan always puts a separator after the folder, even after the root's own.
    const std::string prefix = folder + separator;
    if (file.size() > prefix.size() && file.compare(0, prefix.size(), prefix) == 0)
        return file.substr(prefix.size());
    return file;
}

std::string normalizedFolder(std::string folder)
{
    while (folder.size() > 1 && folder.back() == separator)
        folder.pop_back();
    return folder;
}

namespace
{

// A path for a report: as the window shows names, with its own bytes beside it when they are
// not UTF-8, so a script can still name the file.
void shownPath(const std::string &path, platform::CodePageDecoder &ansi, std::string &shown,
               std::string &bytes)
{
    shown = displayPathOf(path, ansi);
    bytes = platform::isUtf8(path) ? std::string() : path;
}

// The report's entry of a shortcut. jobHost, when given, receives the host key of a link to
// check whose request could be prepared and is not refused (empty otherwise), so the checker
// need not prepare it again to queue it.
ReportEntry entryOf(std::string name, std::string file, std::string url, const std::string &folder,
                    bool httpOnly, const LinkFilter &filter, platform::CodePageDecoder &ansi,
                    std::string *jobHost = nullptr)
{
    ReportEntry entry;
    entry.name = std::move(name);
    entry.file = std::move(file);
    shownPath(relativePath(entry.file, folder), ansi, entry.path, entry.pathBytes);
    entry.url = std::move(url);
    if (const auto why = skipReason(entry.url, httpOnly)) {
        entry.result.kind = ResultKind::Skipped;
        entry.result.reason = *why;
        return entry;
    }
    std::uint32_t error = 0;
    const std::optional<RequestTarget> target = prepareRequest(entry.url, error);
    if (const auto filtered = filterReason(entry.url, target, filter)) {
        entry.result.kind = ResultKind::Skipped;
        entry.result.reason = *filtered;
    } else if (jobHost && target && refusedHost(target->host) == 0) {
        *jobHost = hostKey(*target);
    }
    return entry;
}

// Links whose last try met no network, and when it ended: once the run shows that the network
// was lost, those that ended after its last answer are no verdict.
class SilentEnds
{
public:
    void note(std::size_t id, const LinkOutcome &outcome, const CheckResult &result)
    {
        if (result.kind == ResultKind::Dead && result.reason == reason::error &&
            !networkAnswered(outcome.end))
            ends_.emplace_back(id, outcome.endedAt);
    }
    void apply(Report &report, const NetworkGuard::Verdict &network) const
    {
        report.networkDown = network.down;
        report.hostsTried = network.hostsTried;
        if (!network.lostAfter)
            return;
        for (const auto &[id, ended] : ends_) {
            CheckResult &r = report.entries[id].result;
            if (ended <= *network.lostAfter || r.kind != ResultKind::Dead)
                continue;
            r.kind = ResultKind::Alive;
            r.reason.clear();
            r.unverified = true;
            r.networkLost = true;
        }
    }

private:
    std::vector<std::pair<std::size_t, std::chrono::steady_clock::time_point>> ends_;
};

} // namespace

Report checkFolder(const std::string &folder, bool httpOnly, const CheckSettings &settings,
                   const ProgressHandler &progress, const deep::ParkingPhrases *deepPhrases)
{
    if (deepPhrases) {
        // The deeper checks plan their probes from the whole list of links.
        Catalogue catalogue;
        SearchURL(folder, catalogue);
        return checkCatalogue(std::move(catalogue), folder, httpOnly, settings, progress,
                              deepPhrases);
    }

    Catalogue catalogue;
    listShortcuts(folder, catalogue);
    const auto started = std::chrono::steady_clock::now();
    platform::CodePageDecoder ansi(platform::GetACP());
    Report report;
    report.folder = displayPathOf(folder, ansi);
    // Sized once: the links point at their entries' URLs.
    report.entries.resize(catalogue.size());
    std::size_t taken = 0; // entries handed to the checker, in catalogue order
    std::size_t links = 0; // of them, links to check
    bool allTaken = false;
    std::vector<std::string> hosts(catalogue.size()); // of the links prepared by the reader
    const auto take = [&](std::size_t upTo, std::vector<LinkJob> &jobs) {
        for (; taken < upTo; ++taken) {
            const ReportEntry &entry = report.entries[taken];
            if (entry.result.kind == ResultKind::Unchecked) {
                jobs.push_back(LinkJob{taken, entry.url, std::move(hosts[taken])});
                ++links;
            }
        }
    };

    std::size_t done = 0;
    std::size_t dead = 0;
    SilentEnds silent;
    LinkChecker checker(settings);
    // The links are checked as their shortcuts are read, by one thread: the checker's own
    // loop needs a core of its own more than the reading needs a second. The progress shows
    // once every shortcut is read, when the number of links is known.
    // Each entry is made on the reading thread as soon as its shortcut is read, so the checker's
    // loop only hands its link over.
    ShortcutReader reader(
        catalogue, 0, 1, [&checker] { checker.wake(); },
        [&](std::size_t i, platform::CodePageDecoder &readerAnsi) {
            report.entries[i] = entryOf(std::move(catalogue.URL_Names[i]),
                                        std::move(catalogue.Files[i]),
                                        std::move(catalogue.URL_List[i]), folder, httpOnly,
                                        settings.filter, readerAnsi, &hosts[i]);
        });
    report.complete = checker.run(
        [&](std::size_t id, LinkOutcome outcome) {
            CheckResult result = classifyOutcome(outcome);
            silent.note(id, outcome, result);
            ++done;
            if (result.kind == ResultKind::Dead)
                ++dead;
            report.entries[id].result = std::move(result);
            if (progress && allTaken)
                progress(done, links, dead, 0);
        },
        [&](std::vector<LinkJob> &jobs) {
            take(reader.readyUpTo(), jobs);
            if (taken < report.entries.size())
                return true;
            allTaken = true;
            if (progress)
                progress(done, links, dead, 0);
            return false;
        });
    // A stop may come before every shortcut was read: the rest are listed unchecked.
    reader.finish();
    silent.apply(report, checker.network());
    report.elapsedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return report;
}

Report checkCatalogue(Catalogue catalogue, const std::string &folder, bool httpOnly,
                      const CheckSettings &settings, const ProgressHandler &progress,
                      const deep::ParkingPhrases *deepPhrases)
{
    const auto started = std::chrono::steady_clock::now();
    platform::CodePageDecoder ansi(platform::GetACP());
    Report report;
    report.folder = displayPathOf(folder, ansi);
    report.deep = deepPhrases != nullptr;
    report.entries.reserve(catalogue.size());
    std::vector<LinkJob> jobs;
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        report.entries.push_back(
            entryOf(std::move(catalogue.URL_Names[i]), std::move(catalogue.Files[i]),
                    std::move(catalogue.URL_List[i]), folder, httpOnly, settings.filter, ansi));
    // The entries no longer move, so the jobs can point at their URLs.
    for (std::size_t i = 0; i < report.entries.size(); ++i) {
        if (report.entries[i].result.kind == ResultKind::Unchecked)
            jobs.push_back(LinkJob{i, report.entries[i].url});
    }

    std::size_t done = 0;
    std::size_t dead = 0;
    std::size_t suspect = 0;
    if (progress)
        progress(0, jobs.size(), 0, 0);
    const auto settle = [&](std::size_t id, CheckResult result) {
        ++done;
        if (result.kind == ResultKind::Dead)
            ++dead;
        else if (result.kind == ResultKind::Suspect)
            ++suspect;
        report.entries[id].result = std::move(result);
        if (progress)
            progress(done, jobs.size(), dead, suspect);
    };

    CheckSettings runSettings = settings;
    if (deepPhrases)
        runSettings.keepBody = deep::maxBodyBytes;
    LinkChecker checker(runSettings);
    SilentEnds silent;
    std::optional<DeepStage> finder;
    if (deepPhrases) {
        finder.emplace(
            *deepPhrases, report.entries.size(),
            [&checker](std::size_t id, std::string url) { checker.add(id, std::move(url)); },
            settle);
        for (const LinkJob &job : jobs)
            finder->expect(std::string(job.url));
    }
    report.complete = checker.run(jobs, [&](std::size_t id, LinkOutcome outcome) {
        if (!finder) {
            CheckResult result = classifyOutcome(outcome);
            silent.note(id, outcome, result);
            settle(id, std::move(result));
            return;
        }
        if (finder->isProbe(id)) {
            finder->probeAnswered(id, std::move(outcome));
        } else {
            CheckResult result = classifyOutcome(outcome);
            silent.note(id, outcome, result);
            finder->linkAnswered(id, std::move(outcome), std::move(result));
        }
        checker.holdNewLinks(finder->waiting() >= mostWaitingPages);
    });
    if (finder)
        report.probes = finder->probesSent();
    silent.apply(report, checker.network());
    report.elapsedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return report;
}

bool moveDeadShortcuts(Report &report, const std::string &folder, const std::string &target,
                       bool dryRun, bool suspectIsDead, const std::function<bool()> &stopAsked,
                       MoveJournal *journal)
{
    platform::CodePageDecoder ansi(platform::GetACP());
    report.moveTarget = displayPathOf(target, ansi);
    report.dryRun = dryRun;
    bool stopped = false;
    bool journalRefused = false;
    for (ReportEntry &entry : report.entries) {
        CheckResult &r = entry.result;
        if (r.kind != ResultKind::Dead && r.kind != ResultKind::Suspect)
            continue;
        const std::string &source = entry.file;
        const std::string destination = destinationPathFor(source, folder, target);
        shownPath(destination, ansi, r.moveTo, r.moveToBytes);
        if (r.kind == ResultKind::Suspect && !suspectIsDead) {
            r.move = MoveState::SuspectStays;
            continue;
        }
        if (r.deadRuns < report.confirm) {
            r.move = MoveState::Unconfirmed;
            continue;
        }
        if (stopped || (stopAsked && stopAsked())) {
            stopped = true;
            r.move = MoveState::NotTried;
            continue;
        }
        if (dryRun) {
            std::error_code error;
            r.move = std::filesystem::symlink_status(destination, error).type() ==
                             std::filesystem::file_type::not_found
                         ? MoveState::WouldMove
                         : MoveState::DestinationExists;
            continue;
        }
        MoveOutcome outcome;
        {
            // Ctrl+C waits until this file is where it belongs, in one place or the other.
            const StopSignalsHeld held;
            outcome = moveDeadFile(source, folder, target, journal);
        }
        switch (outcome) {
        case MoveOutcome::Moved:
            r.move = MoveState::Moved;
            break;
        case MoveOutcome::DestinationExists:
            r.move = MoveState::DestinationExists;
            break;
        case MoveOutcome::Failed:
            r.move = MoveState::Failed;
            break;
        case MoveOutcome::NotJournaled:
            r.move = MoveState::NotTried;
            stopped = true;
            journalRefused = true;
            break;
        }
    }
    return !journalRefused;
}

int exitStatusOf(const Report &report, bool forceMove)
{
    if (!report.complete)
        return 130;
    if (report.networkDown && !forceMove)
        return 3;
    const Tally t = report.tally();
    return t.dead() > 0 || t.suspect > 0 ? 1 : 0;
}

} // namespace quorvel::cli
