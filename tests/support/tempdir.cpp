#include "support/tempdir.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::test {

TempDir::TempDir(const std::filesystem::path &base)
{
    std::string pattern = (base / "quorvel-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder in " + base.string());
    path_ = pattern;
}

TempDir::~TempDir()
{
    removeTree(path_);
}

std::filesystem::path TempDir::write(const std::filesystem::path &relative,
                                     const std::string &content) const
{
    const std::filesystem::path full = path_ / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush())
        throw std::runtime_error("cannot write " + full.string());
    return full;
}

namespace {

// Empties the open folder fd of everything but sub-folders; returns the name of one sub-folder,
// or "" when none is left.
std::string clearFilesAndFindFolder(int fd)
{
    const int listFd = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return {};
    DIR *dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return {};
    }
    std::string folder;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (folder.empty())
                folder = name;
        } else {
            ::unlinkat(fd, name.c_str(), 0);
        }
    }
    ::closedir(dir);
    return folder;
}

int openFolder(int parentFd, const char *name)
{
    ::fchmodat(parentFd, name, 0700, 0);
    return ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

bool removeTree(const std::filesystem::path &folder)
{
    if (folder.empty())
        return false;
    const std::string top = folder.string();
    int fd = openFolder(AT_FDCWD, top.c_str());
    if (fd < 0)
        return ::unlink(top.c_str()) == 0;
    // Names of the folders between top and fd; walking down and back up keeps one folder open.
    std::vector<std::string> trail;
    for (;;) {
        const std::string sub = clearFilesAndFindFolder(fd);
        if (!sub.empty()) {
            const int child = openFolder(fd, sub.c_str());
            if (child >= 0) {
                ::close(fd);
                fd = child;
                trail.push_back(sub);
                continue;
            }
            // A folder that cannot be opened can only go when it is empty.
            if (::unlinkat(fd, sub.c_str(), AT_REMOVEDIR) == 0)
                continue;
            ::close(fd);
            return false;
        }
        if (trail.empty())
            break;
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        if (parent < 0)
            return false;
        fd = parent;
        const bool removed = ::unlinkat(fd, trail.back().c_str(), AT_REMOVEDIR) == 0;
        trail.pop_back();
        if (!removed)
            break;
    }
    ::close(fd);
    return ::rmdir(top.c_str()) == 0;
}

std::string readFile(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace quorvel::test
