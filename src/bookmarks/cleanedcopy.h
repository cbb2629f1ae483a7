#pragma once
// The cleaned copy of a bookmark store: a bookmarks HTML file in the format every browser
// imports, holding every bookmark of the input in its folders and order, except that the dead
// ones go into a top folder "Dead links" that rebuilds the folders they came from.

#include "bookmarks/bookmarktree.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::bookmarks
{

// dead[i] says whether the i-th entry of flatten(tree) is dead; missing indices are alive.
std::string cleanedBookmarksHtml(const BookmarkTree &tree, const std::vector<bool> &dead);

// Writes the same text to file, whole or not at all (a temporary file beside it, then a
// rename). Throws BookmarkError naming file when it cannot, or when file exists and is anything
// but a bookmarks HTML file (never a browser's own store).
void writeCleanedBookmarks(const std::filesystem::path &file, const BookmarkTree &tree,
                           const std::vector<bool> &dead);

} // namespace quorvel::bookmarks
