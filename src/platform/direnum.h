#pragma once
// Enumeration of one folder's entries, hidden ones included, in the order NTFS gives them (names
// compared upper-cased, byte by byte), so the order is stable on every machine.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::platform {

struct DirEntry {
    std::string name;
    bool isDirectory = false; // a symbolic link to a folder counts as a folder
    bool isLink = false;
};

// The entries of folder without "." and ".."; std::nullopt when the folder cannot be read.
std::optional<std::vector<DirEntry>> listDirectory(const std::string &folder);

// A folder's entries together with the folder's identity, so a walk can tell a folder it has
// already entered (through a link) from a new one.
struct DirListing {
    std::vector<DirEntry> entries;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// As listDirectory, with the folder's identity; std::nullopt when the folder cannot be read.
std::optional<DirListing> readDirectory(const std::string &folder);

// The NTFS collation: true when a sorts before b.
bool ntfsNameLess(const std::string &a, const std::string &b);

} // namespace quorvel::platform
