#pragma once
// The store's tables, made on first use and upgraded step by step from older versions.

#include "history/sqlite.h"

#include <string>

namespace quorvel::history
{

// Throws unless file is missing, empty, or begins as an SQLite database does: SQLite would
// take a foreign file for a damaged database, and nothing may be written to one.
void requireSqliteFile(const std::string &file);

// Reads the version of an open store and refuses one that is newer than this program or that
// holds tables of some other program. Writes nothing.
int checkedVersion(Database &db);

// Brings a store of the given version (0: new) up to the current one, in one transaction.
void upgradeSchema(Database &db);

} // namespace quorvel::history
