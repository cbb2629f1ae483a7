#include "platform/pathopen.h"

#include <cerrno>
#include <climits>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace quorvel::platform {

namespace {

void closeKeepingErrno(int fd)
{
    if (fd < 0)
        return;
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

} // namespace

int openPath(const std::string &path, int flags, unsigned mode)
{
    flags |= O_CLOEXEC;
    if (path.size() < PATH_MAX)
        return ::open(path.c_str(), flags, mode);

    int base = AT_FDCWD;
    std::string_view rest = path;
    std::string piece;
    while (rest.size() >= PATH_MAX) {
        const std::size_t cut = rest.rfind('/', PATH_MAX - 1);
        if (cut == std::string_view::npos) {
            // One name longer than PATH_MAX: no file system accepts it.
            closeKeepingErrno(base);
            errno = ENAMETOOLONG;
            return -1;
        }
        piece.assign(cut == 0 ? std::string_view("/") : rest.substr(0, cut));
        const int next = ::openat(base, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (base != AT_FDCWD)
            closeKeepingErrno(base);
        if (next < 0)
            return -1;
        base = next;
        rest.remove_prefix(cut + 1);
        while (!rest.empty() && rest.front() == '/')
            rest.remove_prefix(1);
    }
    piece.assign(rest.empty() ? std::string_view(".") : rest);
    const int fd = ::openat(base, piece.c_str(), flags, mode);
    if (base != AT_FDCWD)
        closeKeepingErrno(base);
    return fd;
}

} // namespace quorvel::platform
