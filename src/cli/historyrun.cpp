#include "cli/historyrun.h"

#include "history/isotime.h"

namespace quorvel::cli
{

namespace
{

// A result that proves nothing (the network was down, or every answer asked to come back later)
// neither extends a link's streak nor ends it.
history::Standing standingOf(const CheckResult &r, bool suspectIsDead, bool networkDown)
{
    if (r.unverified || (networkDown && r.kind == ResultKind::Dead))
        return history::Standing::NoVerdict;
    switch (r.kind) {
    case ResultKind::Dead:
        return history::Standing::Dead;
    case ResultKind::Suspect:
        return suspectIsDead ? history::Standing::Dead : history::Standing::Alive;
    case ResultKind::Alive:
        return history::Standing::Alive;
    case ResultKind::Skipped:
    case ResultKind::Unchecked:
        break;
    }
    return history::Standing::NoVerdict;
}

} // namespace

CheckHistory::CheckHistory() = default;
CheckHistory::~CheckHistory() = default;

bool CheckHistory::open(const Options &options, const std::string &folder,
                        const std::string &moveTarget, std::ostream &err)
{
    started_ = history::isoNow();
    if (options.noHistory)
        return true;
    moving_ = !moveTarget.empty();
    folder_ = folder;
    absoluteFolder_ = history::absolutePath(folder);
    file_ = options.historyFile.empty() ? history::defaultStorePath() : options.historyFile;
    const std::string &file = file_;
    try {
        store_ =
            std::make_unique<history::HistoryStore>(file, history::HistoryStore::Access::ReadWrite);
        run_ = store_->beginRun("quorvel-check", folder, moveTarget, options.dryRun);
        started_ = history::isoNow();
        links_ = std::async(std::launch::async, [file, run = run_] {
            history::HistoryStore store(file, history::HistoryStore::Access::Another);
            store.pruneBefore(run);
            return store.readLinks();
        });
        journal_ = std::make_unique<history::StoreJournal>(*store_, run_);
        return true;
    } catch (const history::StoreError &error) {
        return lose(error, err);
    }
}

void CheckHistory::countThisRunAlone(Report &report, bool suspectIsDead, bool networkDown) const
{
    for (ReportEntry &entry : report.entries) {
        CheckResult &r = entry.result;
        if (standingOf(r, suspectIsDead, networkDown) == history::Standing::Dead) {
            r.deadRuns = 1;
            r.deadSince = started_;
        }
    }
}

bool CheckHistory::record(Report &report, bool suspectIsDead, bool networkDown, std::ostream &err)
{
    if (!store_) {
        countThisRunAlone(report, suspectIsDead, networkDown);
        return true;
    }
    history::LinkIndex links;
    std::string started;
    try {
        links = links_.get();
        started = store_->runStarted(run_);
    } catch (const history::StoreError &error) {
        countThisRunAlone(report, suspectIsDead, networkDown);
        return lose(error, err);
    }
    // The streaks come from what was read; the writer counts them again against the store,
    // which differs only when another run recorded the same links meanwhile.
    for (ReportEntry &entry : report.entries) {
        CheckResult &r = entry.result;
        const history::Standing standing = standingOf(r, suspectIsDead, networkDown);
        if (standing != history::Standing::Dead)
            continue;
        history::Streak streak =
            history::nextStreak(links.streak(storedPath(entry.file), entry.url), standing, started);
        r.deadRuns = streak.deadRuns;
        r.deadSince = std::move(streak.deadSince);
    }
    writer_ = std::async(std::launch::async, [this, &report, suspectIsDead, networkDown,
                                              links = std::move(links)]() mutable {
        writeResults(report, suspectIsDead, networkDown, std::move(links));
    });
    return true;
}

void CheckHistory::writeResults(const Report &report, bool suspectIsDead, bool networkDown,
                                history::LinkIndex links) const
{
    history::HistoryStore store(file_, history::HistoryStore::Access::Another);
    history::HistoryStore::Results results(store, run_, std::move(links));
    std::string path;
    for (const ReportEntry &entry : report.entries) {
        const CheckResult &r = entry.result;
        path = storedPath(entry.file);
        history::ResultRow row;
        row.path = path;
        row.url = entry.url;
        row.verdict = kindName(r.kind);
        row.reason = r.reason;
        row.status = r.status;
        row.error = r.error;
        row.tries = r.tries;
        row.milliseconds = r.milliseconds;
        row.standing = standingOf(r, suspectIsDead, networkDown);
        results.add(row);
    }
    results.commit();
}

std::string CheckHistory::storedPath(const std::string &file) const
{
    // Every shortcut's path begins with the folder; only that part is replaced.
    if (folder_ != absoluteFolder_ && file.compare(0, folder_.size(), folder_) == 0)
        return absoluteFolder_ + file.substr(folder_.size());
    return file;
}

MoveJournal *CheckHistory::journal()
{
    return journal_.get();
}

std::string CheckHistory::journalError() const
{
    return journal_ ? journal_->error() : std::string();
}

bool CheckHistory::finish(bool completed, std::ostream &err)
{
    if (writer_.valid()) {
        try {
            writer_.get();
        } catch (const history::StoreError &error) {
            // The files that moved are journaled all the same; only this run's results are lost.
            err << "quorvel-check: " << error.what() << "; this check's results are not kept\n";
            journal_.reset();
            store_.reset();
            return !moving_;
        }
    }
    if (!store_)
        return true;
    try {
        store_->finishRun(run_, completed);
        return true;
    } catch (const history::StoreError &error) {
        err << "quorvel-check: " << error.what() << '\n';
        return false;
    }
}

bool CheckHistory::lose(const history::StoreError &error, std::ostream &err)
{
    journal_.reset();
    store_.reset();
    if (moving_ || error.kind() == history::StoreError::Kind::Unreadable) {
        err << "quorvel-check: " << error.what() << '\n';
        return false;
    }
    err << "quorvel-check: " << error.what() << "; checking without history\n";
    return true;
}

} // namespace quorvel::cli
