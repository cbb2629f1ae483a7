#pragma once
// Firefox's places.sqlite: bookmarks and folders from moz_bookmarks joined with moz_places,
// under the roots menu, toolbar, unfiled and mobile. Firefox holds the database locked while it
// runs, so it is read from a private copy (with its -wal file), opened read-only; the original
// is only ever copied.

#include "bookmarks/bookmarktree.h"

#include <filesystem>
#include <string_view>

namespace quorvel::bookmarks
{

// Whether bytes begin as an SQLite database does.
bool looksLikeSqlite(std::string_view bytes);

// Throws BookmarkError naming file when it cannot be copied or read, or holds no bookmarks.
BookmarkTree readFirefoxPlaces(const std::filesystem::path &file);

} // namespace quorvel::bookmarks
