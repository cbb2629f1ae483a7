#include "cli/checkrun.h"

#include "cli/classify.h"
#include "cli/stopsignals.h"
#include "cli/suspectfinder.h"
#include "deep/verdict.h"
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

Report checkCatalogue(Catalogue catalogue, const std::string &folder, bool httpOnly,
                      const CheckSettings &settings, const ProgressHandler &progress,
                      const deep::ParkingPhrases *deepPhrases)
{
    const auto started = std::chrono::steady_clock::now();
    Report report;
    report.folder = folder;
    report.deep = deepPhrases != nullptr;
    report.entries.reserve(catalogue.size());
    std::vector<LinkJob> jobs;
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        ReportEntry entry;
        entry.name = std::move(catalogue.URL_Names[i]);
        entry.file = std::move(catalogue.Files[i]);
        entry.path = relativePath(entry.file, folder);
        entry.url = std::move(catalogue.URL_List[i]);
        if (const auto why = skipReason(entry.url, httpOnly)) {
            entry.result.kind = ResultKind::Skipped;
            entry.result.reason = *why;
        }
        report.entries.push_back(std::move(entry));
    }
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
    std::optional<SuspectFinder> finder;
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
            settle(id, classifyOutcome(outcome));
            return;
        }
        if (finder->isProbe(id)) {
            finder->probeAnswered(id, std::move(outcome));
        } else {
            CheckResult result = classifyOutcome(outcome);
            finder->linkAnswered(id, std::move(outcome), std::move(result));
        }
        checker.holdNewLinks(finder->waiting() >= mostWaitingPages);
    });
    if (finder)
        report.probes = finder->probesSent();
    report.elapsedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return report;
}

void moveDeadShortcuts(Report &report, const std::string &folder, const std::string &target,
                       bool dryRun, bool suspectIsDead, const std::function<bool()> &stopAsked)
{
    report.moveTarget = target;
    report.dryRun = dryRun;
    bool stopped = false;
    for (ReportEntry &entry : report.entries) {
        CheckResult &r = entry.result;
        if (r.kind != ResultKind::Dead && r.kind != ResultKind::Suspect)
            continue;
        const std::string &source = entry.file;
        r.moveTo = destinationPathFor(source, folder, target);
        if (r.kind == ResultKind::Suspect && !suspectIsDead) {
            r.move = MoveState::SuspectStays;
            continue;
        }
        if (stopped || (stopAsked && stopAsked())) {
            stopped = true;
            r.move = MoveState::NotTried;
            continue;
        }
        if (dryRun) {
            std::error_code error;
            r.move = std::filesystem::symlink_status(r.moveTo, error).type() ==
                             std::filesystem::file_type::not_found
                         ? MoveState::WouldMove
                         : MoveState::DestinationExists;
            continue;
        }
        MoveOutcome outcome;
        {
            // Ctrl+C waits until this file is where it belongs, in one place or the other.
            const StopSignalsHeld held;
            outcome = moveDeadFile(source, folder, target);
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
        }
    }
}

int exitStatusOf(const Report &report)
{
    if (!report.complete)
        return 130;
    const Tally t = report.tally();
    return t.dead() > 0 || t.suspect > 0 ? 1 : 0;
}

} // namespace quorvel::cli
