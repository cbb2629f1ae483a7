#pragma once
// A copy of a file (and of the companion files beside it that exist, named by suffix) in a
// fresh folder only this process uses; removed with the folder when the copy goes.

#include <filesystem>
#include <initializer_list>
#include <string_view>

namespace quorvel::bookmarks
{

class PrivateCopy
{
public:
    // Throws BookmarkError naming file when it cannot be read or copied.
    PrivateCopy(const std::filesystem::path &file,
                std::initializer_list<std::string_view> companions);
    ~PrivateCopy();
    PrivateCopy(const PrivateCopy &) = delete;
    PrivateCopy &operator=(const PrivateCopy &) = delete;

    const std::filesystem::path &path() const { return copy_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path copy_;
};

} // namespace quorvel::bookmarks
