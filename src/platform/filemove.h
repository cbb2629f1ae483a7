#pragma once
// File moves and folder creation. Failures are reported by the result only.

#include <string>

namespace quorvel::platform {

// Moves a file within or across file systems. Refuses (false) when the destination exists: it
// never overwrites. Across file systems it copies, checks the copy, and only then removes the
// source; a failed copy leaves the source untouched and removes the partial copy.
bool moveFile(const std::string &from, const std::string &to);

bool isDirectory(const std::string &path);
// Creates one folder level; false when it could not be created.
bool createDirectory(const std::string &path);
// Creates the folder and every missing folder above it.
bool createDirectories(const std::string &path);

namespace detail {
// The across-file-systems path of moveFile, reachable on its own so it can be tested where every
// folder lies on one file system.
bool moveByCopy(const std::string &from, const std::string &to);
} // namespace detail

} // namespace quorvel::platform
