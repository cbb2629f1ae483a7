#include "cli/reportfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::cli
{

ReportFile::~ReportFile()
{
    if (!committed_ && !temporary_.empty()) {
        stream_.close();
        ::unlink(temporary_.c_str());
    }
}

bool ReportFile::open(const std::string &path, std::string &error)
{
    struct stat target {
    };
    if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
        error = "'" + path + "' is a folder";
        return false;
    }
    const std::filesystem::path where(path);
    const std::string folder =
        where.has_parent_path() ? where.parent_path().string() : std::string(".");
    std::string pattern =
        (std::filesystem::path(folder) / ("." + where.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; a report is as readable as any file the user makes.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    temporary_ = name.data();
    path_ = path;
    stream_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!stream_) {
        error = "cannot write '" + path + "'";
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    return true;
}

bool ReportFile::commit(std::string &error)
{
    stream_.flush();
    const bool written = static_cast<bool>(stream_);
    stream_.close();
    if (!written || stream_.fail()) {
        error = "cannot write '" + path_ + "': the disk may be full";
        return false;
    }
    if (const int fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error = "cannot write '" + path_ + "': " + std::strerror(errno);
        return false;
    }
    committed_ = true;
    return true;
}

} // namespace quorvel::cli
