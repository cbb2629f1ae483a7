#include "cli/historyrun.h"

#include "history/isotime.h"

namespace quorvel::cli
{

namespace
{

history::Standing standingOf(const CheckResult &r, bool suspectIsDead)
{
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
    const std::string file =
        options.historyFile.empty() ? history::defaultStorePath() : options.historyFile;
    try {
        store_ = std::make_unique<history::HistoryStore>(file,
                                                         history::HistoryStore::Access::ReadWrite);
        run_ = store_->beginRun("quorvel-check", folder, moveTarget, options.dryRun);
        started_ = history::isoNow();
        links_ = std::async(std::launch::async, [file, run = run_] {
            history::HistoryStore store(file, history::HistoryStore::Access::ReadWrite);
            store.pruneBefore(run);
            return store.readLinks();
        });
        journal_ = std::make_unique<history::StoreJournal>(*store_, run_);
        return true;
    } catch (const history::StoreError &error) {
        return lose(error, err);
    }
}

bool CheckHistory::record(Report &report, bool suspectIsDead, std::ostream &err)
{
    if (!store_) {
        for (ReportEntry &entry : report.entries) {
            CheckResult &r = entry.result;
            if (standingOf(r, suspectIsDead) == history::Standing::Dead) {
                r.deadRuns = 1;
                r.deadSince = started_;
            }
        }
        return true;
    }
    try {
        history::HistoryStore::Results results(*store_, run_, links_.get());
        std::string absolute;
        for (ReportEntry &entry : report.entries) {
            CheckResult &r = entry.result;
            history::ResultRow row;
            // Every shortcut's path begins with the folder; only that part is replaced.
            if (folder_ != absoluteFolder_ && entry.file.compare(0, folder_.size(), folder_) == 0) {
                absolute.assign(absoluteFolder_).append(entry.file, folder_.size());
                row.path = absolute;
            } else {
                row.path = entry.file;
            }
            row.url = entry.url;
            row.verdict = kindName(r.kind);
            row.reason = r.reason;
            row.status = r.status;
            row.error = r.error;
            row.tries = 1;
            row.milliseconds = r.milliseconds;
            row.standing = standingOf(r, suspectIsDead);
            history::Streak streak = results.add(row);
            if (row.standing == history::Standing::Dead) {
                r.deadRuns = streak.deadRuns;
                r.deadSince = std::move(streak.deadSince);
            }
        }
        results.commit();
        return true;
    } catch (const history::StoreError &error) {
        // Counted afresh, so the report still says what this run found.
        journal_.reset();
        store_.reset();
        const bool goOn = lose(error, err);
        record(report, suspectIsDead, err);
        return goOn;
    }
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
