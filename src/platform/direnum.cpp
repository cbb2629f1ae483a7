#include "platform/direnum.h"
#include "platform/asciitext.h"

#include "platform/pathopen.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::platform {

namespace {


// Fills in the kind of one entry. readdir's d_type answers without a stat for everything but
// links and file systems that do not report it.
void classify(int folderFd, const dirent &raw, DirEntry &entry)
{
    unsigned char type = raw.d_type;
    if (type == DT_UNKNOWN) {
        struct stat st {};
        if (::fstatat(folderFd, raw.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
    }
    if (type == DT_DIR) {
        entry.isDirectory = true;
    } else if (type == DT_LNK) {
        entry.isLink = true;
        struct stat target {};
        // A broken link stays a file.
        entry.isDirectory =
            ::fstatat(folderFd, raw.d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    }
}

} // namespace

bool ntfsNameLess(const std::string &a, const std::string &b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char ua = static_cast<unsigned char>(asciiUpper(a[i]));
        const unsigned char ub = static_cast<unsigned char>(asciiUpper(b[i]));
        if (ua != ub)
            return ua < ub;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    // Names that differ only in letter case cannot meet on NTFS but can here; the raw bytes
    // decide so the order stays total and the same on every run.
    return a < b;
}

std::optional<DirListing> readDirectory(const std::string &folder)
{
    const int fd = openPath(folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return std::nullopt;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    std::optional<DirListing> listing;
    try {
        listing.emplace();
        struct stat self {};
        if (::fstat(fd, &self) == 0) {
            listing->device = self.st_dev;
            listing->inode = self.st_ino;
        }
        while (const dirent *raw = ::readdir(dir)) {
            if (std::strcmp(raw->d_name, ".") == 0 || std::strcmp(raw->d_name, "..") == 0)
                continue;
            DirEntry entry;
            entry.name = raw->d_name;
            classify(fd, *raw, entry);
            listing->entries.push_back(std::move(entry));
        }
        std::sort(listing->entries.begin(), listing->entries.end(),
                  [](const DirEntry &a, const DirEntry &b) {
                      return ntfsNameLess(a.name, b.name);
                  });
    } catch (const std::bad_alloc &) {
        listing.reset();
    }
    ::closedir(dir);
    return listing;
}

std::optional<std::vector<DirEntry>> listDirectory(const std::string &folder)
{
    std::optional<DirListing> listing = readDirectory(folder);
    if (!listing)
        return std::nullopt;
    return std::move(listing->entries);
}

} // namespace quorvel::platform
