#pragma once
// A places.sqlite made as Firefox makes it: its moz_places and moz_bookmarks tables (the columns
// readers use, with Firefox's names and types), the root folders with their fixed GUIDs, and WAL
// journaling. Bookmarks are added one by one; the connection stays open until the file goes.

#include <cstdint>
#include <filesystem>
#include <string>

struct sqlite3;

namespace quorvel::test
{

class PlacesFile
{
public:
    enum class Journal { Wal, Delete };

    explicit PlacesFile(const std::filesystem::path &file, Journal journal = Journal::Wal);
    ~PlacesFile();
    PlacesFile(const PlacesFile &) = delete;
    PlacesFile &operator=(const PlacesFile &) = delete;

    std::int64_t menu() const { return 2; }
    std::int64_t toolbar() const { return 3; }
    std::int64_t tags() const { return 4; }
    std::int64_t unfiled() const { return 5; }
    std::int64_t mobile() const { return 6; }

    // Each appends at the end of parent and returns the new item's id; dateAdded is in
    // microseconds since 1970, as Firefox keeps it.
    std::int64_t folder(std::int64_t parent, const std::string &title, std::int64_t dateAdded = 0);
    std::int64_t link(std::int64_t parent, const std::string &title, const std::string &url,
                      std::int64_t dateAdded = 0);
    std::int64_t separator(std::int64_t parent);

    // Runs SQL on this connection; fails the test on error.
    void exec(const std::string &sql);

    sqlite3 *connection() const { return db_; }

private:
    std::int64_t insert(int type, std::int64_t fk, std::int64_t parent, const std::string *title,
                        std::int64_t dateAdded);

    sqlite3 *db_ = nullptr;
    std::int64_t nextGuid_ = 0;
};

} // namespace quorvel::test
