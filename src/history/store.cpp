#include "history/store.h"

#include "history/isotime.h"
#include "history/schema.h"

#include <cstdlib>
#include <filesystem>

#include <sqlite3.h>

namespace quorvel::history
{

namespace
{

// Long enough for another run's whole record of results (a second or two for 100,000 links)
// and its moves; a store still locked after that is reported rather than waited on forever.
constexpr int busyTimeoutMs = 60000;

// Every result of a folder's latest runs is kept; older runs keep only their results that
// were not alive, which are what a streak of dead results, or a question about one, goes back
// to. The links' streaks never need the results.
constexpr int runsKeptWhole = 3;

std::string home()
{
    const char *value = std::getenv("HOME");
    return value ? value : "";
}

void makeParentFolder(const std::string &file)
{
    const std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (parent.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    if (error)
        throw StoreError(StoreError::Kind::Unwritable, "cannot make the folder of the history store '" + file +
                         "': " + error.message());
}

// SQLite is only let at a file that is missing or looks like its own.
const std::string &checkedBeforeOpening(const std::string &file, HistoryStore::Access access)
{
    requireSqliteFile(file);
    if (access == HistoryStore::Access::ReadWrite)
        makeParentFolder(file);
    return file;
}

const char *linkSql = R"(
INSERT INTO links(path, url, dead_runs, dead_since, last_run)
    VALUES(?1, ?2, CASE WHEN ?3 THEN 1 ELSE 0 END, CASE WHEN ?3 THEN ?4 END, ?5)
ON CONFLICT(path, url) DO UPDATE SET
    dead_runs = CASE WHEN ?3 IS NULL OR last_run = ?5 THEN dead_runs
                     WHEN ?3 THEN dead_runs + 1 ELSE 0 END,
    dead_since = CASE WHEN ?3 IS NULL OR last_run = ?5 THEN dead_since
                      WHEN ?3 THEN coalesce(dead_since, ?4) END,
    last_run = CASE WHEN ?3 IS NULL THEN last_run ELSE ?5 END
RETURNING id, dead_runs, dead_since)";

const char *resultSql =
    "INSERT OR REPLACE INTO results(run_id, link_id, verdict, reason, status, error, tries, ms) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)";

} // namespace

std::string defaultStorePath()
{
    const char *state = std::getenv("XDG_STATE_HOME");
    // A relative value is to be ignored, as the base-directory rules say.
    const std::string base = state && state[0] == '/' ? state : home() + "/.local/state";
    return base + "/quorvel/history.db";
}

std::string absolutePath(std::string_view path)
{
    std::error_code error;
    const std::filesystem::path made = std::filesystem::absolute(std::filesystem::path(path), error);
    return error ? std::string(path) : made.string();
}

std::string_view moveStateText(MoveState state)
{
    switch (state) {
    case MoveState::Pending:
        return "pending";
    case MoveState::Moved:
        return "moved";
    case MoveState::Exists:
        return "exists";
    case MoveState::Failed:
        return "failed";
    }
    return "pending";
}

HistoryStore::HistoryStore(const std::string &file, Access access)
    : db_(checkedBeforeOpening(file, access), access == Access::ReadWrite,
          access == Access::ReadOnly)
{
    sqlite3_busy_timeout(db_.handle(), busyTimeoutMs);
    // Read before anything is written: a foreign or newer file must stay as it is.
    checkedVersion(db_);
    if (access == Access::ReadOnly)
        return;
    if (db_.readOnly())
        throw StoreError(StoreError::Kind::Unwritable, "cannot write the history store '" + file + "': it is read-only");
    // WAL: readers never wait for a writer, and two runs at once take turns only to write.
    db_.exec("PRAGMA journal_mode = WAL");
    db_.exec("PRAGMA synchronous = FULL");
    db_.exec("PRAGMA foreign_keys = ON");
    upgradeSchema(db_);
}

HistoryStore::~HistoryStore() = default;

std::int64_t HistoryStore::beginRun(std::string_view program, std::string_view folder,
                                    std::string_view destination, bool dryRun)
{
    Statement insert(db_, "INSERT INTO runs(program, folder, destination, dry_run, started) "
                          "VALUES(?1, ?2, ?3, ?4, ?5)");
    insert.bind(1, program).bindBlob(2, absolutePath(folder));
    if (destination.empty())
        insert.bindNull(3);
    else
        insert.bindBlob(3, absolutePath(destination));
    insert.bind(4, std::int64_t{dryRun}).bind(5, isoNow()).run();
    return db_.lastInsertId();
}

void HistoryStore::finishRun(std::int64_t run, bool completed)
{
    Statement update(db_, "UPDATE runs SET ended = ?2, completed = ?3 WHERE id = ?1");
    update.bind(1, run).bind(2, isoNow()).bind(3, std::int64_t{completed}).run();
    pruneResults(run);
}

void HistoryStore::pruneResults(std::int64_t run)
{
    Statement prune(db_, R"(
DELETE FROM results WHERE verdict = 'alive' AND run_id IN (
    SELECT id FROM runs WHERE folder = (SELECT folder FROM runs WHERE id = ?1)
    AND id NOT IN (SELECT id FROM runs WHERE folder = (SELECT folder FROM runs WHERE id = ?1)
                   ORDER BY id DESC LIMIT ?2)))");
    prune.bind(1, run).bind(2, std::int64_t{runsKeptWhole}).run();
}

HistoryStore::Results::Results(HistoryStore &store, std::int64_t run)
    : run_(run), transaction_(store.db_), link_(store.db_, linkSql),
      result_(store.db_, resultSql)
{
    // A streak that begins now is dated by the run's start, as every result of the run is.
    Statement started(store.db_, "SELECT started FROM runs WHERE id = ?1");
    started.bind(1, run);
    if (started.step())
        started_ = started.text(0);
}

Streak HistoryStore::Results::add(const ResultRow &row)
{
    link_.bindBlob(1, row.path).bind(2, row.url);
    if (row.standing == Standing::NoVerdict)
        link_.bindNull(3);
    else
        link_.bind(3, std::int64_t{row.standing == Standing::Dead});
    link_.bind(4, started_).bind(5, run_);
    link_.step();
    const std::int64_t linkId = link_.integer(0);
    Streak streak;
    streak.deadRuns = static_cast<int>(link_.integer(1));
    streak.deadSince = link_.text(2);
    link_.reset();

    result_.bind(1, run_).bind(2, linkId).bind(3, row.verdict);
    if (row.reason.empty())
        result_.bindNull(4);
    else
        result_.bind(4, row.reason);
    if (row.status != 0)
        result_.bind(5, std::int64_t{row.status});
    if (row.error != 0)
        result_.bind(6, std::int64_t{row.error});
    result_.bind(7, std::int64_t{row.tries});
    if (row.milliseconds >= 0)
        result_.bind(8, std::int64_t{row.milliseconds});
    result_.run();
    return streak;
}

void HistoryStore::Results::commit()
{
    transaction_.commit();
}

} // namespace quorvel::history
