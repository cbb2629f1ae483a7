#include "bookmarks/placesfile.h"

#include <sqlite3.h>

#include <stdexcept>

namespace quorvel::test
{
namespace
{

constexpr const char *schema = R"sql(
CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR,
    rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL,
    typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL,
    last_visit_date INTEGER, guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL,
    url_hash INTEGER DEFAULT 0 NOT NULL);
CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL,
    parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER,
    folder_type TEXT, dateAdded INTEGER, lastModified INTEGER, guid TEXT,
    syncStatus INTEGER NOT NULL DEFAULT 0, syncChangeCounter INTEGER NOT NULL DEFAULT 1);
CREATE UNIQUE INDEX moz_places_url_uniqueindex ON moz_places (url);
CREATE INDEX moz_bookmarks_itemindex ON moz_bookmarks (fk, type);
CREATE INDEX moz_bookmarks_parentindex ON moz_bookmarks (parent, position);
INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES
    (1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'),
    (3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', 'tags________'),
    (5, 2, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, 1, 4, 'mobile', 'mobile______');
)sql";

} // namespace

PlacesFile::PlacesFile(const std::filesystem::path &file, Journal journal)
{
    if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK)
        throw std::runtime_error("cannot make " + file.string());
    exec(journal == Journal::Wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE");
    exec(schema);
}

PlacesFile::~PlacesFile()
{
    sqlite3_close(db_);
}

void PlacesFile::exec(const std::string &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "?";
        sqlite3_free(message);
        throw std::runtime_error(text + " in: " + sql);
    }
}

std::int64_t PlacesFile::insert(int type, std::int64_t fk, std::int64_t parent,
                                const std::string *title, std::int64_t dateAdded)
{
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db_,
                       "INSERT INTO moz_bookmarks (type, fk, parent, position, title, dateAdded, "
                       "lastModified, guid) VALUES (?1, ?2, ?3, (SELECT count(*) FROM "
                       "moz_bookmarks WHERE parent = ?3), ?4, ?5, ?5, ?6)",
                       -1, &statement, nullptr);
    sqlite3_bind_int(statement, 1, type);
    if (fk > 0)
        sqlite3_bind_int64(statement, 2, fk);
    sqlite3_bind_int64(statement, 3, parent);
    if (title)
        sqlite3_bind_text(statement, 4, title->c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 5, dateAdded);
    const std::string guid = "item" + std::to_string(++nextGuid_);
    sqlite3_bind_text(statement, 6, guid.c_str(), -1, SQLITE_TRANSIENT);
    const int result = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (result != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(db_));
    return sqlite3_last_insert_rowid(db_);
}

std::int64_t PlacesFile::folder(std::int64_t parent, const std::string &title,
                                std::int64_t dateAdded)
{
    return insert(2, 0, parent, &title, dateAdded);
}

std::int64_t PlacesFile::link(std::int64_t parent, const std::string &title, const std::string &url,
                              std::int64_t dateAdded)
{
    // Firefox keeps one moz_places row per URL, shared by every bookmark of it.
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db_,
                       "INSERT INTO moz_places (url) SELECT ?1 WHERE NOT EXISTS "
                       "(SELECT 1 FROM moz_places WHERE url = ?1)",
                       -1, &statement, nullptr);
    sqlite3_bind_text(statement, 1, url.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    statement = nullptr;
    sqlite3_prepare_v2(db_, "SELECT id FROM moz_places WHERE url = ?1", -1, &statement, nullptr);
    sqlite3_bind_text(statement, 1, url.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(statement);
    const std::int64_t place = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return insert(1, place, parent, title.empty() ? nullptr : &title, dateAdded);
}

std::int64_t PlacesFile::separator(std::int64_t parent)
{
    return insert(3, 0, parent, nullptr, 0);
}

} // namespace quorvel::test
