#include "history/sqlite.h"

#include <sqlite3.h>

#include <cstring>

namespace quorvel::history
{

Database::Database(const std::string &file, bool create, bool readOnly) : file_(file)
{
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create && !readOnly)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(file.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError(StoreError::Kind::Unwritable,
                         "cannot open the history store '" + file + "': " + why);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Database::~Database()
{
    sqlite3_close(db_);
}

bool Database::readOnly() const
{
    return sqlite3_db_readonly(db_, "main") == 1;
}

void Database::exec(const char *sql)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("write the history store");
}

std::int64_t Database::lastInsertId() const
{
    return sqlite3_last_insert_rowid(db_);
}

void Database::fail(std::string_view doing) const
{
    const int code = sqlite3_errcode(db_) & 0xff;
    const bool unreadable = code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
    // "disk I/O error" says little; the system's own error says "no space left" or the like.
    std::string why = sqlite3_errmsg(db_);
    if (const int system = sqlite3_system_errno(db_); system != 0 && code == SQLITE_IOERR)
        why += std::string(" (") + std::strerror(system) + ")";
    throw StoreError(unreadable ? StoreError::Kind::Unreadable : StoreError::Kind::Unwritable,
                     "cannot " + std::string(doing) + " '" + file_ + "': " + why);
}

Statement::Statement(Database &db, const char *sql) : db_(db)
{
    if (sqlite3_prepare_v3(db.handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) !=
        SQLITE_OK)
        db.fail("read the history store");
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

Statement &Statement::bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

Statement &Statement::bind(int index, std::string_view text)
{
    sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

Statement &Statement::bindBlob(int index, std::string_view bytes)
{
    // A zero-length blob is still a blob, not NULL.
    sqlite3_bind_blob64(stmt_, index, bytes.empty() ? "" : bytes.data(), bytes.size(),
                        SQLITE_TRANSIENT);
    return *this;
}

Statement &Statement::bindNull(int index)
{
    sqlite3_bind_null(stmt_, index);
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    db_.fail("write the history store");
}

void Statement::run()
{
    while (step()) {
    }
    reset();
}

void Statement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

std::string Statement::text(int column) const
{
    return std::string(view(column));
}

std::string_view Statement::view(int column) const
{
    const void *bytes = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes
               ? std::string_view(static_cast<const char *>(bytes), static_cast<std::size_t>(size))
               : std::string_view();
}

ScopedSetting::ScopedSetting(Database &db, const char *now, const char *after)
    : db_(db), after_(after)
{
    db_.exec(now);
}

ScopedSetting::~ScopedSetting()
{
    sqlite3_exec(db_.handle(), after_, nullptr, nullptr, nullptr);
}

Transaction::Transaction(Database &db) : db_(db)
{
    db_.exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (open_)
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    db_.exec("COMMIT");
    open_ = false;
}

} // namespace quorvel::history
