#include "history/schema.h"

#include "history/store.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

#include <sys/stat.h>

namespace quorvel::history
{

namespace
{

// Step i brings version i to version i + 1.
constexpr const char *upgrades[] = {
    R"(
CREATE TABLE runs(
    id INTEGER PRIMARY KEY,
    program TEXT NOT NULL,          -- quorvel-check or quorvel (the window)
    folder BLOB NOT NULL,           -- the folder checked, or the window's favorites folder
    destination BLOB,               -- where dead links were moved; NULL when none were to be
    dry_run INTEGER NOT NULL DEFAULT 0,
    started TEXT NOT NULL,          -- ISO 8601, UTC
    ended TEXT,
    completed INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE links(
    id INTEGER PRIMARY KEY,
    path BLOB NOT NULL,             -- the shortcut file's full path, exact bytes
    url TEXT NOT NULL,
    UNIQUE(path, url)
);
-- Only the links dead in their latest recorded run: a small table, so that a run rewrites
-- little more than its own results.
CREATE TABLE dead_streaks(
    link_id INTEGER PRIMARY KEY REFERENCES links(id),
    dead_runs INTEGER NOT NULL,     -- recorded runs in a row, ending with the latest
    dead_since TEXT NOT NULL        -- the start of the first of them
);
CREATE TABLE results(
    run_id INTEGER NOT NULL REFERENCES runs(id),
    link_id INTEGER NOT NULL REFERENCES links(id),
    verdict TEXT NOT NULL,
    reason TEXT,
    status INTEGER,
    error INTEGER,
    tries INTEGER,
    ms INTEGER,
    PRIMARY KEY(run_id, link_id)
) WITHOUT ROWID;
CREATE TABLE moves(
    id INTEGER PRIMARY KEY,
    run_id INTEGER NOT NULL REFERENCES runs(id),
    source BLOB NOT NULL,
    destination BLOB NOT NULL,
    state TEXT NOT NULL,            -- pending (written before the move), moved, exists, failed
    moved_at TEXT,
    undone_at TEXT
);
CREATE INDEX moves_by_run ON moves(run_id);
-- How many runs have recorded their results: a run that read the links before another recorded
-- reads them again.
CREATE TABLE counters(name TEXT PRIMARY KEY, value INTEGER NOT NULL);
INSERT INTO counters VALUES('results_recorded', 0);
CREATE VIEW dead_links AS
    SELECT CAST(l.path AS TEXT) AS path, l.url, d.dead_runs, d.dead_since
    FROM dead_streaks d JOIN links l ON l.id = d.link_id;
CREATE VIEW checks AS
    SELECT r.run_id, CAST(l.path AS TEXT) AS path, l.url, r.verdict, r.reason, r.status,
           r.error, r.tries, r.ms
    FROM results r JOIN links l ON l.id = r.link_id;
)",
};
static_assert(std::size(upgrades) == schemaVersion, "one upgrade step per version");

std::string quoted(const Database &db)
{
    return "'" + db.file() + "'";
}

} // namespace

void requireSqliteFile(const std::string &file)
{
    struct stat info {
    };
    if (::stat(file.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return;
        throw StoreError(StoreError::Kind::Unreadable,
                         "cannot read the history store '" + file + "': " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode))
        throw StoreError(StoreError::Kind::Unreadable,
                         "the history store '" + file + "' is not a file");
    if (info.st_size == 0)
        return;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw StoreError(StoreError::Kind::Unreadable,
                         "cannot read the history store '" + file + "': " + std::strerror(errno));
    static constexpr std::string_view magic{"SQLite format 3\0", 16};
    char head[16] = {};
    in.read(head, sizeof head);
    if (in.gcount() != sizeof head || std::string_view(head, sizeof head) != magic)
        throw StoreError(
            StoreError::Kind::Unreadable,
            "'" + file +
                "' is not a Quorvel history store (not an SQLite database); it was left "
                "as it is");
}

int checkedVersion(Database &db)
{
    Statement version(db, "PRAGMA user_version");
    version.step();
    const int found = static_cast<int>(version.integer(0));
    if (found > schemaVersion)
        throw StoreError(StoreError::Kind::Unreadable,
                         quoted(db) + " was written by a newer Quorvel (history store version " +
                             std::to_string(found) + "; this one knows up to version " +
                             std::to_string(schemaVersion) + "); it was left as it is");
    if (found == 0) {
        Statement tables(db, "SELECT count(*) FROM sqlite_schema");
        tables.step();
        if (tables.integer(0) != 0)
            throw StoreError(StoreError::Kind::Unreadable,
                             quoted(db) +
                                 " is an SQLite database of some other program, not a Quorvel "
                                 "history store; it was left as it is");
    }
    return found;
}

void upgradeSchema(Database &db)
{
    // Most opens find the store current and write nothing.
    if (checkedVersion(db) == schemaVersion)
        return;
    Transaction transaction(db);
    // Read again under the write lock: another run may have made the tables meanwhile.
    for (int version = checkedVersion(db); version < schemaVersion; ++version)
        db.exec(upgrades[static_cast<std::size_t>(version)]);
    db.exec(("PRAGMA user_version = " + std::to_string(schemaVersion)).c_str());
    transaction.commit();
}

} // namespace quorvel::history
