#pragma once
// Owners of an sqlite3 connection and of a prepared statement, and the one error type the
// history store raises. A failed call throws StoreError with SQLite's own text.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quorvel::history
{

class StoreError : public std::runtime_error
{
public:
    enum class Kind {
        Unreadable, // not a store, a newer one, damaged: nothing can be done with it
        Unwritable, // read-only, disk full, no room for its folder: it can still be read
    };
    StoreError(Kind kind, const std::string &message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

class Database
{
public:
    // Opens an existing file or creates it (create), read-write unless readOnly.
    Database(const std::string &file, bool create, bool readOnly);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    sqlite3 *handle() const { return db_; }
    const std::string &file() const { return file_; }
    bool readOnly() const;

    // Runs statements that return no rows.
    void exec(const char *sql);
    std::int64_t lastInsertId() const;

    // Throws with what went wrong, naming the file: "cannot <doing> 'FILE': <SQLite's text>",
    // doing being e.g. "write the history store".
    [[noreturn]] void fail(std::string_view doing) const;

private:
    sqlite3 *db_ = nullptr;
    std::string file_;
};

class Statement
{
public:
    Statement(Database &db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Parameters count from 1, as in SQL's ?1.
    Statement &bind(int index, std::int64_t value);
    Statement &bind(int index, std::string_view text);      // TEXT
    Statement &bindBlob(int index, std::string_view bytes); // BLOB: exact bytes
    Statement &bindNull(int index);

    // True while a row is there to read; false when done.
    bool step();
    // Steps to the end, for statements without rows.
    void run();
    // Ready for new parameters and another run.
    void reset();

    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    // TEXT and BLOB columns alike, as bytes; "" for NULL.
    std::string text(int column) const;
    // The same without a copy, valid until the next step or reset.
    std::string_view view(int column) const;

private:
    Database &db_;
    sqlite3_stmt *stmt_ = nullptr;
};

// Runs one statement now and another when it goes, e.g. a setting turned off for a while.
class ScopedSetting
{
public:
    ScopedSetting(Database &db, const char *now, const char *after);
    ~ScopedSetting();
    ScopedSetting(const ScopedSetting &) = delete;
    ScopedSetting &operator=(const ScopedSetting &) = delete;

private:
    Database &db_;
    const char *after_;
};

// BEGIN IMMEDIATE, so that a writer waits for the other's lock (busy time-out) instead of
// failing half-way; rolled back unless committed.
class Transaction
{
public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Database &db_;
    bool open_ = true;
};

} // namespace quorvel::history
