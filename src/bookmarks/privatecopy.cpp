#include "bookmarks/privatecopy.h"

#include "bookmarks/bookmarkerror.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <stdlib.h>

namespace quorvel::bookmarks
{

PrivateCopy::PrivateCopy(const std::filesystem::path &file,
                         std::initializer_list<std::string_view> companions)
{
    namespace fs = std::filesystem;
    std::error_code error;
    std::string pattern = (fs::temp_directory_path(error) / "quorvel-bookmarks-XXXXXX").string();
    if (error || ::mkdtemp(pattern.data()) == nullptr)
        throw BookmarkError(file, std::string("no private folder for a copy could be made: ") +
                                      std::strerror(errno));
    folder_ = pattern; // mkdtemp makes it mode 0700
    copy_ = folder_ / file.filename();
    const auto copyOne = [&](const fs::path &from, const fs::path &to) {
        if (!fs::copy_file(from, to, error))
            throw BookmarkError(file, "cannot be read: " + error.message());
    };
    try {
        if (!fs::is_regular_file(file, error))
            throw BookmarkError(file, error ? "cannot be read: " + error.message()
                                            : std::string("is not a file"));
        copyOne(file, copy_);
        for (std::string_view suffix : companions) {
            const fs::path companion = file.string() + std::string(suffix);
            if (fs::exists(companion, error))
                copyOne(companion, copy_.string() + std::string(suffix));
        }
    } catch (...) {
        fs::remove_all(folder_, error);
        throw;
    }
}

PrivateCopy::~PrivateCopy()
{
    std::error_code ignored; // a copy left in the temporary folder is not worth failing over
    std::filesystem::remove_all(folder_, ignored);
}

} // namespace quorvel::bookmarks
