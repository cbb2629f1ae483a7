#pragma once
// What goes wrong reading a bookmark store: always the file's name and what is wrong with it.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace quorvel::bookmarks
{

class BookmarkError : public std::runtime_error
{
public:
    BookmarkError(const std::filesystem::path &file, const std::string &problem)
        : std::runtime_error(file.string() + ": " + problem)
    {
    }
};

} // namespace quorvel::bookmarks
