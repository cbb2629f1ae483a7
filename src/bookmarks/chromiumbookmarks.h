#pragma once
// Chromium-family Bookmarks files (Chromium, Chrome, Brave, Edge, Vivaldi): JSON whose "roots"
// hold bookmark_bar, other and synced, each a folder of nested "children" typed "url" or
// "folder", dated in microseconds since 1601.

#include "bookmarks/bookmarktree.h"

#include <filesystem>
#include <string_view>

namespace quorvel::bookmarks
{

// Whether bytes begin as a JSON object does.
bool looksLikeJsonObject(std::string_view bytes);

// Throws BookmarkError naming file when the bytes are not such a file.
BookmarkTree readChromiumBookmarks(std::string_view bytes, const std::filesystem::path &file);

} // namespace quorvel::bookmarks
