#include "netns.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quorvel::simweb
{

namespace
{

std::string failed(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

std::string bringLoopbackUp()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    const std::string why = up ? "" : failed("bringing lo up");
    if (fd >= 0)
        ::close(fd);
    return why;
}

// The system's nsswitch.conf with its hosts line replaced: only "files" and "dns", since a
// module such as systemd-resolved's or mDNS would ask outside this namespace (over a local
// socket).
std::string nsswitch()
{
    std::ifstream in("/etc/nsswitch.conf");
    std::string text;
    for (std::string line; std::getline(in, line);)
        text += (line.starts_with("hosts:") ? std::string("hosts: files dns") : line) + "\n";
    return text;
}

// Mounts a file of ours over a system file. A missing system file is left missing: glibc then
// uses its defaults, which ask only files and DNS.
std::string cover(const fs::path &workDir, const char *system, const std::string &text)
{
    if (!fs::exists(system))
        return {};
    const fs::path ours = workDir / fs::path(system).filename();
    std::ofstream(ours) << text;
    if (::mount(ours.c_str(), system, nullptr, MS_BIND, nullptr) != 0)
        return failed(std::string("bind-mounting over ") + system);
    return {};
}

} // namespace

std::string enterPrivateNetwork(const fs::path &workDir)
{
    if (::geteuid() != 0)
        return "not running as root (a private network namespace needs it)";
    if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0)
        return failed("unshare(CLONE_NEWNET | CLONE_NEWNS)");
    // Mounts made from here on stay in this namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return failed("making mounts private");
    if (std::string why = bringLoopbackUp(); !why.empty())
        return why;
    // The resolver on 127.0.0.1 with glibc's default time-outs (5 s, two attempts).
    for (const auto &[file, text] :
         {std::pair<const char *, std::string>{"/etc/resolv.conf", "nameserver 127.0.0.1\n"},
          std::pair<const char *, std::string>{"/etc/hosts",
                                               "127.0.0.1 localhost\n::1 localhost\n"},
          std::pair<const char *, std::string>{"/etc/nsswitch.conf", nsswitch()}}) {
        if (std::string why = cover(workDir, file, text); !why.empty())
            return why;
    }
    // nscd would answer from outside too.
    for (const char *nscd : {"/run/nscd", "/var/run/nscd"}) {
        if (fs::is_directory(nscd) && ::mount("none", nscd, "tmpfs", 0, nullptr) != 0)
            return failed(std::string("hiding ") + nscd);
    }
    return {};
}

std::string leaveNetwork()
{
    if (::unshare(CLONE_NEWNET) != 0)
        return failed("unshare(CLONE_NEWNET)");
    return {};
}

} // namespace quorvel::simweb
