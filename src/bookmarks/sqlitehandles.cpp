#include "bookmarks/sqlitehandles.h"

#include <sqlite3.h>

namespace quorvel::bookmarks
{

SqliteConnection::SqliteConnection(const std::filesystem::path &file, int busyMilliseconds)
{
    const int result = sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    if (result != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(result);
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteFailure(message, result & 0xFF);
    }
    sqlite3_busy_timeout(db_, busyMilliseconds);
}

SqliteConnection::~SqliteConnection()
{
    sqlite3_close(db_);
}

SqliteStatement::SqliteStatement(const SqliteConnection &connection, const char *sql)
    : db_(connection.get())
{
    const int result = sqlite3_prepare_v2(db_, sql, -1, &statement_, nullptr);
    if (result != SQLITE_OK)
        throw SqliteFailure(sqlite3_errmsg(db_), result & 0xFF);
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(statement_);
}

bool SqliteStatement::step()
{
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW)
        return true;
    if (result == SQLITE_DONE)
        return false;
    throw SqliteFailure(sqlite3_errmsg(db_), result & 0xFF);
}

std::int64_t SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(statement_, column);
}

std::string SqliteStatement::text(int column) const
{
    const auto *bytes = sqlite3_column_text(statement_, column);
    return bytes ? std::string(reinterpret_cast<const char *>(bytes),
                               static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                 : std::string();
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

} // namespace quorvel::bookmarks
