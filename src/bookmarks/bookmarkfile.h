#pragma once
// Reading any bookmark store, its kind found from what the file holds rather than its name.

#include "bookmarks/bookmarktree.h"

#include <filesystem>

namespace quorvel::bookmarks
{

// Bookmarks HTML, a Chromium-family Bookmarks file or Firefox's places.sqlite. Throws
// BookmarkError naming the file and what is wrong: unreadable, truncated, malformed or of a kind
// that holds no bookmarks we know.
BookmarkTree readBookmarkFile(const std::filesystem::path &file);

} // namespace quorvel::bookmarks
