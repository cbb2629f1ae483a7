#include "history/store.h"

#include "history/isotime.h"
#include "history/schema.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sqlite3.h>

namespace quorvel::history
{

namespace
{

// Long enough for another run's whole record of results (a second or two for 100,000 links)
// and its moves; a store still locked after that is reported rather than waited on forever.
constexpr int busyTimeoutMs = 60000;

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
        throw StoreError(StoreError::Kind::Unwritable,
                         "cannot make the folder of the history store '" + file +
                             "': " + error.message());
}

// SQLite is only let at a file that is missing or looks like its own.
const std::string &checkedBeforeOpening(const std::string &file, HistoryStore::Access access)
{
    if (access == HistoryStore::Access::Another)
        return file;
    requireSqliteFile(file);
    if (access == HistoryStore::Access::ReadWrite)
        makeParentFolder(file);
    return file;
}

// Switching a new store to WAL needs it alone for a moment, and SQLite answers "locked" at
// once, without its busy time-out, to a second run that opened the new file at the same time:
// wait for that run as the time-out would.
void switchToWal(Database &db)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs);
    while (sqlite3_exec(db.handle(), "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr) !=
           SQLITE_OK) {
        if ((sqlite3_errcode(db.handle()) & 0xff) != SQLITE_BUSY ||
            std::chrono::steady_clock::now() > giveUp)
            db.fail("write the history store");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

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
    const std::filesystem::path made =
        std::filesystem::absolute(std::filesystem::path(path), error);
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
        throw StoreError(StoreError::Kind::Unwritable,
                         "cannot write the history store '" + file + "': it is read-only");
    // WAL: readers never wait for a writer, and two runs at once take turns only to write.
    switchToWal(db_);
    // In WAL a commit that the system loses in a power cut is lost whole, never half written;
    // a crash of the program itself loses nothing.
    db_.exec("PRAGMA synchronous = NORMAL");
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

std::string HistoryStore::runStarted(std::int64_t run)
{
    Statement started(db_, "SELECT started FROM runs WHERE id = ?1");
    started.bind(1, run);
    return started.step() ? started.text(0) : std::string();
}

void HistoryStore::finishRun(std::int64_t run, bool completed)
{
    Statement update(db_, "UPDATE runs SET ended = ?2, completed = ?3 WHERE id = ?1");
    update.bind(1, run).bind(2, isoNow()).bind(3, std::int64_t{completed}).run();
}

} // namespace quorvel::history
