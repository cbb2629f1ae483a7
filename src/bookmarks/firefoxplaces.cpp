#include "bookmarks/firefoxplaces.h"

#include "bookmarks/bookmarkerror.h"
#include "bookmarks/privatecopy.h"
#include "bookmarks/sqlitehandles.h"

#include <sqlite3.h>

#include <array>
#include <unordered_map>

namespace quorvel::bookmarks
{
namespace
{

constexpr std::string_view sqliteMagic{"SQLite format 3\0", 16};

// The copy is ours alone, so a lock can only be a stale one: wait briefly, never long.
constexpr int busyMilliseconds = 2000;

// Far deeper than anyone files bookmarks; only a damaged parent chain gets here.
constexpr int maxDepth = 1000;

struct Root {
    std::string_view guid;
    std::string_view name;
};
// In the order Firefox's own export writes them.
constexpr std::array<Root, 4> roots{{{"menu________", "Bookmarks Menu"},
                                     {"toolbar_____", "Bookmarks Toolbar"},
                                     {"unfiled_____", "Other Bookmarks"},
                                     {"mobile______", "Mobile Bookmarks"}}};

struct Row {
    std::int64_t id;
    int type;
    std::string title;
    std::string url;
    std::optional<std::int64_t> added;
};

using Children = std::unordered_map<std::int64_t, std::vector<Row>>;

void build(BookmarkNode &folder, std::int64_t id, Children &children, int depth,
           const std::filesystem::path &file)
{
    if (depth > maxDepth)
        throw BookmarkError(file, "its folders nest endlessly (the database is damaged)");
    const auto found = children.find(id);
    if (found == children.end())
        return;
    std::vector<Row> rows = std::move(found->second);
    children.erase(found);
    for (Row &row : rows) {
        if (row.type == 1) {
            // Queries (place: URLs, Firefox's smart folders) are kept: a check skips them, and
            // a cleaned copy must still hold them. A row without a URL is no bookmark at all.
            if (row.url.empty())
                continue;
            folder.children.push_back(
                BookmarkNode::link(std::move(row.title), std::move(row.url), row.added));
        } else if (row.type == 2) {
            BookmarkNode child = BookmarkNode::folder(std::move(row.title));
            child.added = row.added;
            build(child, row.id, children, depth + 1, file);
            folder.children.push_back(std::move(child));
        } else if (row.type == 3) {
            folder.children.push_back(BookmarkNode::separator());
        }
    }
}

std::string problemOf(const SqliteFailure &failure)
{
    switch (failure.code) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return std::string("the database is locked and could not be read (") + failure.what() + ")";
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return std::string("the database is damaged or not a database (") + failure.what() + ")";
    default:
        return std::string("the database could not be read (") + failure.what() + ")";
    }
}

} // namespace

bool looksLikeSqlite(std::string_view bytes)
{
    return bytes.starts_with(sqliteMagic);
}

BookmarkTree readFirefoxPlaces(const std::filesystem::path &file)
{
    const PrivateCopy copy(file, {"-wal"});
    BookmarkTree tree;
    tree.kind = StoreKind::Firefox;
    try {
        const SqliteConnection db(copy.path(), busyMilliseconds);
        std::unordered_map<std::string, std::int64_t> rootIds;
        Children children;
        {
            SqliteStatement hasTables(db,
                                      "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                      "name IN ('moz_bookmarks', 'moz_places')");
            if (!hasTables.step() || hasTables.integer(0) != 2)
                throw BookmarkError(file, "an SQLite database without Firefox's bookmarks (no "
                                          "moz_bookmarks and moz_places tables)");
        }
        SqliteStatement rows(db, "SELECT b.id, b.parent, b.type, b.title, b.dateAdded, p.url, "
                                 "b.guid FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = "
                                 "b.fk ORDER BY b.parent, b.position, b.id");
        while (rows.step()) {
            Row row{rows.integer(0), static_cast<int>(rows.integer(2)), rows.text(3), rows.text(5),
                    std::nullopt};
            if (!rows.isNull(4) && rows.integer(4) > 0)
                row.added = rows.integer(4) / 1000000;
            std::string guid = rows.text(6);
            if (guid.size() == 12 && guid.ends_with('_'))
                rootIds.emplace(std::move(guid), row.id);
            children[rows.integer(1)].push_back(std::move(row));
        }
        for (const Root &root : roots) {
            const auto id = rootIds.find(std::string(root.guid));
            if (id == rootIds.end())
                continue;
            BookmarkNode folder = BookmarkNode::folder(std::string(root.name));
            build(folder, id->second, children, 0, file);
            tree.root.children.push_back(std::move(folder));
        }
    } catch (const SqliteFailure &failure) {
        throw BookmarkError(file, problemOf(failure));
    }
    return tree;
}

} // namespace quorvel::bookmarks
