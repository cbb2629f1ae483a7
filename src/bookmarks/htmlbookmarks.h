#pragma once
// Bookmarks HTML as browsers export it: the NETSCAPE-Bookmark-file-1 format, nested <DL> folders
// titled by <H3>, <A HREF> links, <HR> separators and <DD> descriptions, written loosely (any
// letter case, <DT> and <p> never closed) in the charset its <META> declares.

#include "bookmarks/bookmarktree.h"

#include <filesystem>
#include <string_view>

namespace quorvel::bookmarks
{

// Whether bytes begin as a bookmarks HTML file does (its DOCTYPE, after blanks or a BOM).
bool looksLikeBookmarksHtml(std::string_view bytes);

// Reads the file's bytes; throws BookmarkError naming file when they are not such a file.
BookmarkTree readBookmarksHtml(std::string_view bytes, const std::filesystem::path &file);

} // namespace quorvel::bookmarks
