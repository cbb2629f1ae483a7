// A run's results, each link's streak, and what is pruned to make room for them.

#include "history/store.h"

#include <sqlite3.h>

namespace quorvel::history
{

namespace
{

// Every result of a folder's latest runs is kept; older runs keep only their results that were
// not alive, which are what a question about a dead link goes back to.
constexpr std::int64_t runsKeptWhole = 3;

// A link's row is written once; its streak lives apart, in a row only while it is dead, so that
// a run writes its results and the few streaks that changed, not every link's row.
const char *findLinkSql = "SELECT id FROM links WHERE path = ?1 AND url = ?2";
const char *addLinkSql = "INSERT INTO links(path, url) VALUES(?1, ?2)";
const char *setStreakSql =
    "INSERT OR REPLACE INTO dead_streaks(link_id, dead_runs, dead_since) VALUES(?1, ?2, ?3)";
const char *endStreakSql = "DELETE FROM dead_streaks WHERE link_id = ?1";
const char *generationSql = "SELECT value FROM counters WHERE name = 'results_recorded'";
const char *resultSql =
    "INSERT OR REPLACE INTO results(run_id, link_id, verdict, reason, status, error, tries, ms) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)";

} // namespace

void HistoryStore::pruneBefore(std::int64_t run)
{
    Statement prune(db_, R"(
DELETE FROM results WHERE verdict = 'alive' AND run_id IN (
    SELECT id FROM runs WHERE id < ?1 AND folder = (SELECT folder FROM runs WHERE id = ?1)
    ORDER BY id DESC LIMIT -1 OFFSET ?2))");
    prune.bind(1, run).bind(2, runsKeptWhole).run();
}

LinkIndex HistoryStore::readLinks()
{
    // One read transaction, so the links, their streaks and the count agree.
    db_.exec("BEGIN");
    try {
        LinkIndex index = readLinksHere();
        db_.exec("COMMIT");
        return index;
    } catch (...) {
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

LinkIndex HistoryStore::readLinksHere()
{
    LinkIndex index;
    Statement generation(db_, generationSql);
    if (generation.step())
        index.generation = generation.integer(0);
    Statement links(db_, "SELECT id, path, url FROM links");
    while (links.step())
        index.add(links.view(1), links.view(2), links.integer(0));
    Statement streaks(db_, "SELECT link_id, dead_runs, dead_since FROM dead_streaks");
    while (streaks.step())
        index.setStreak(streaks.integer(0),
                        {static_cast<int>(streaks.integer(1)), streaks.text(2)});
    index.seal();
    return index;
}

HistoryStore::Results::Results(HistoryStore &store, std::int64_t run)
    : Results(store, run, store.readLinks())
{
}

HistoryStore::Results::Results(HistoryStore &store, std::int64_t run, LinkIndex links)
    : db_(store.db_), run_(run), links_(std::move(links)),
      noKeyChecks_(store.db_, "PRAGMA foreign_keys = OFF", "PRAGMA foreign_keys = ON"),
      transaction_(store.db_), findLink_(store.db_, findLinkSql), addLink_(store.db_, addLinkSql),
      setStreak_(store.db_, setStreakSql), endStreak_(store.db_, endStreakSql),
      result_(store.db_, resultSql)
{
    // A streak that begins now is dated by the run's start, as every result of the run is.
    started_ = store.runStarted(run);
    // Another run recorded since the links were read (two runs at once): read them again, under
    // this write lock, or its new links and streaks would be missed.
    Statement generation(store.db_, generationSql);
    if (!generation.step() || generation.integer(0) != links_.generation)
        links_ = store.readLinksHere();
}

std::int64_t HistoryStore::Results::linkId(std::string_view path, std::string_view url)
{
    std::int64_t id = links_.find(path, url);
    if (id == LinkIndex::ask) {
        findLink_.bindBlob(1, path).bind(2, url);
        id = findLink_.step() ? findLink_.integer(0) : LinkIndex::unknown;
        findLink_.reset();
    }
    if (id == LinkIndex::unknown) {
        addLink_.bindBlob(1, path).bind(2, url).run();
        id = db_.lastInsertId();
    }
    return id;
}

Streak HistoryStore::Results::add(const ResultRow &row)
{
    const std::int64_t id = linkId(row.path, row.url);
    const Streak before = links_.streak(id);
    const Streak after = nextStreak(before, row.standing, started_);
    if (after.deadRuns > before.deadRuns) {
        setStreak_.bind(1, id).bind(2, std::int64_t{after.deadRuns}).bind(3, after.deadSince);
        setStreak_.run();
    } else if (after.deadRuns == 0 && before.deadRuns > 0) {
        endStreak_.bind(1, id).run();
    }

    result_.bind(1, run_).bind(2, id).bind(3, row.verdict);
    if (!row.reason.empty())
        result_.bind(4, row.reason);
    if (row.status != 0)
        result_.bind(5, std::int64_t{row.status});
    if (row.error != 0)
        result_.bind(6, std::int64_t{row.error});
    result_.bind(7, std::int64_t{row.tries});
    if (row.milliseconds >= 0)
        result_.bind(8, std::int64_t{row.milliseconds});
    result_.run();
    return after;
}

void HistoryStore::Results::commit()
{
    db_.exec("UPDATE counters SET value = value + 1 WHERE name = 'results_recorded'");
    transaction_.commit();
}

} // namespace quorvel::history
