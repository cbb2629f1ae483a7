#include "bookmarks/bookmarkfile.h"

#include "bookmarks/bookmarkerror.h"
#include "bookmarks/chromiumbookmarks.h"
#include "bookmarks/firefoxplaces.h"
#include "bookmarks/htmlbookmarks.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace quorvel::bookmarks
{
namespace
{

std::string readAll(std::ifstream &in, const std::filesystem::path &file)
{
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size < 0 || !in.read(bytes.data(), size))
        throw BookmarkError(file, "cannot be read");
    return bytes;
}

} // namespace

BookmarkTree readBookmarkFile(const std::filesystem::path &file)
{
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        throw BookmarkError(file, "is a folder, not a bookmarks file");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw BookmarkError(file, std::string("cannot be opened: ") + std::strerror(errno));
    char head[16] = {};
    in.read(head, sizeof head);
    if (looksLikeSqlite(std::string_view(head, static_cast<std::size_t>(in.gcount())))) {
        in.close();
        return readFirefoxPlaces(file);
    }
    in.clear();
    const std::string bytes = readAll(in, file);
    if (looksLikeBookmarksHtml(bytes))
        return readBookmarksHtml(bytes, file);
    if (looksLikeJsonObject(bytes))
        return readChromiumBookmarks(bytes, file);
    if (bytes.empty())
        throw BookmarkError(file, "is empty");
    throw BookmarkError(file, "is not a bookmarks file of a kind known here (bookmarks HTML, "
                              "a Chromium-family Bookmarks file or Firefox's places.sqlite)");
}

} // namespace quorvel::bookmarks
