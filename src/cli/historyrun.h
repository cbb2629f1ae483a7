#pragma once
// What one check keeps in the history store: the run, each shortcut's result, and the journal
// of its moves; and what the report takes back from it, each link's dead_runs and dead_since.

#include "cli/options.h"
#include "cli/report.h"
#include "history/storejournal.h"

#include <cstdint>
#include <future>
#include <memory>
#include <ostream>
#include <string>

namespace quorvel::cli
{

class CheckHistory
{
public:
    CheckHistory();
    ~CheckHistory();
    CheckHistory(const CheckHistory &) = delete;
    CheckHistory &operator=(const CheckHistory &) = delete;

    // Opens the store the options name and begins the run; with --no-history, nothing. False,
    // with the reason written to err, when the check must not go on: a store that cannot be
    // read, or one that cannot be written while files are to move. A check that moves nothing
    // goes on without history when its store cannot be written, and says so.
    bool open(const Options &options, const std::string &folder, const std::string &moveTarget,
              std::ostream &err);

    // Sets each entry's deadRuns and deadSince (without history, a dead link counts this run
    // alone) and begins writing every result to the store, on a thread of its own, so that the
    // moves and the report need not wait for it. Until finish, the writer reads the entries'
    // paths, URLs and verdicts: only their moves may change meanwhile. False, with the reason
    // written, when the store failed and nothing may move. With networkDown, failures prove
    // nothing and leave the streaks as they were.
    bool record(Report &report, bool suspectIsDead, bool networkDown, std::ostream &err);

    // The journal for the moves; nullptr without history.
    MoveJournal *journal();
    // Why the journal refused a move; "" when it did not.
    std::string journalError() const;

    // Waits for the results to be written and ends the run. False, with the reason written,
    // when the store failed while files were to move. Must come before the report goes.
    bool finish(bool completed, std::ostream &err);

private:
    bool lose(const history::StoreError &error, std::ostream &err);
    std::string storedPath(const std::string &file) const;
    void countThisRunAlone(Report &report, bool suspectIsDead, bool networkDown) const;
    void writeResults(const Report &report, bool suspectIsDead, bool networkDown,
                      history::LinkIndex links) const;

    std::unique_ptr<history::HistoryStore> store_;
    std::unique_ptr<history::StoreJournal> journal_;
    // Pruning and reading the known links, on a connection of its own while the check runs.
    std::future<history::LinkIndex> links_;
    std::future<void> writer_;
    std::string file_;
    std::int64_t run_ = 0;
    std::string folder_;         // as given: the start of every shortcut's path
    std::string absoluteFolder_; // what the store keeps in its place
    std::string started_;
    bool moving_ = false;
};

} // namespace quorvel::cli
