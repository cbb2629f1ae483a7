#pragma once
// Owners of one SQLite connection and one prepared statement each: closed or finalized exactly
// once, never copied. Failures throw SqliteFailure with SQLite's own message.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace quorvel::bookmarks
{

class SqliteFailure : public std::runtime_error
{
public:
    SqliteFailure(const std::string &message, int code) : std::runtime_error(message), code(code) {}
    int code; // SQLite's primary result code
};

class SqliteConnection
{
public:
    // Opens file read-only, waiting at most busyMilliseconds for another connection's lock.
    SqliteConnection(const std::filesystem::path &file, int busyMilliseconds);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    sqlite3 *get() const { return db_; }

private:
    sqlite3 *db_ = nullptr;
};

class SqliteStatement
{
public:
    SqliteStatement(const SqliteConnection &connection, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Advances to the next row; false when there is none.
    bool step();
    std::int64_t integer(int column) const;
    std::string text(int column) const; // "" for NULL
    bool isNull(int column) const;

private:
    sqlite3 *db_;
    sqlite3_stmt *statement_ = nullptr;
};

} // namespace quorvel::bookmarks
