#pragma once
// A fresh temporary folder that removes itself with everything in it, however deep the tree
// below it grows and whatever permissions a test left on it.

#include <filesystem>
#include <string>

namespace quorvel::test {

class TempDir {
public:
    // Creates the folder inside base (the system's temporary folder by default).
    explicit TempDir(const std::filesystem::path &base = std::filesystem::temp_directory_path());
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::string str() const { return path_.string(); }

    // Writes content to path() / relative, creating the folders above it; returns the full path.
    std::filesystem::path write(const std::filesystem::path &relative,
                                const std::string &content) const;

private:
    std::filesystem::path path_;
};

// Removes a folder tree without following links. Works relative to open folders, so trees
// deeper than PATH_MAX and unreadable folders (when the user may change their mode) go too.
bool removeTree(const std::filesystem::path &folder);

// Reads a whole file; "" when it cannot be read.
std::string readFile(const std::filesystem::path &file);

} // namespace quorvel::test
