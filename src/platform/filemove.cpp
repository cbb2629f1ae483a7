#include "platform/filemove.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::platform {

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports the outcome: a failing close can mean lost data.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

bool writeAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

// Reads up to size bytes, fewer only at the end of the file; -1 on error.
ssize_t readFull(int fd, char *data, std::size_t size)
{
    std::size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(fd, data + total, size - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

bool copyContent(int from, int to)
{
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = readFull(from, buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!writeAll(to, buffer.data(), static_cast<std::size_t>(got)))
            return false;
    }
}

// Reads both files from their start and compares them byte by byte: the copy is trusted only
// once it reads back the same as the source.
bool sameContent(int a, int b)
{
    if (::lseek(a, 0, SEEK_SET) != 0 || ::lseek(b, 0, SEEK_SET) != 0)
        return false;
    std::vector<char> left(64 * 1024);
    std::vector<char> right(left.size());
    for (;;) {
        const ssize_t gotLeft = readFull(a, left.data(), left.size());
        const ssize_t gotRight = readFull(b, right.data(), right.size());
        if (gotLeft < 0 || gotLeft != gotRight)
            return false;
        if (gotLeft == 0)
            return true;
        if (std::memcmp(left.data(), right.data(), static_cast<std::size_t>(gotLeft)) != 0)
            return false;
    }
}

std::string folderOf(const std::string &path)
{
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

// Gives the file `from` the name `to` unless `to` exists, with no moment in which a file that
// appears at `to` could be replaced. The kernel's no-replace rename does it in one step; file
// systems without it get a hard link (which fails on an existing name) and an unlink.
bool renameNoReplace(const std::string &from, const std::string &to, bool &crossDevice)
{
    crossDevice = false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EXDEV) {
        crossDevice = true;
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0)
            return true;
        ::unlink(to.c_str());
        return false;
    }
    if (errno == EXDEV)
        crossDevice = true;
    return false;
}

} // namespace

namespace detail {

bool moveByCopy(const std::string &from, const std::string &to)
{
    struct stat source {};
    // Only plain files are copied: a link, folder or device cannot be carried over faithfully.
    if (::lstat(from.c_str(), &source) != 0 || !S_ISREG(source.st_mode))
        return false;
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0)
        return false;

    Fd in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.valid())
        return false;
    std::string temporary = folderOf(to) + "/.quorvel-move-XXXXXX";
    Fd out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!out.valid())
        return false;

    struct stat copied {};
    const timespec times[2] = {source.st_atim, source.st_mtim};
    const bool good = copyContent(in.get(), out.get()) &&
                      ::fchmod(out.get(), source.st_mode & 07777) == 0 &&
                      ::futimens(out.get(), times) == 0 && ::fsync(out.get()) == 0 &&
                      ::fstat(out.get(), &copied) == 0 && copied.st_size == source.st_size &&
                      sameContent(in.get(), out.get());
    if (!out.close() || !good) {
        ::unlink(temporary.c_str());
        return false;
    }
    bool crossDevice = false;
    if (!renameNoReplace(temporary, to, crossDevice)) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the new name durable before the only other copy goes.
    Fd folder(::open(folderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
    if (::unlink(from.c_str()) != 0) {
        // The source cannot go (a read-only folder): take the copy back so the move fails
        // cleanly instead of leaving the file twice.
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

} // namespace detail

bool moveFile(const std::string &from, const std::string &to)
{
    if (from.empty() || to.empty())
        return false;
    bool crossDevice = false;
    if (renameNoReplace(from, to, crossDevice))
        return true;
    return crossDevice && detail::moveByCopy(from, to);
}

bool isDirectory(const std::string &path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createDirectory(const std::string &path)
{
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool createDirectories(const std::string &path)
{
    if (path.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return !error && isDirectory(path);
}

} // namespace quorvel::platform
