#include "webserver.h"

#include "requestheads.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::simweb
{

namespace
{

sockaddr_in addressOf(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(address);
    where.sin_port = htons(port);
    return where;
}

int listenOn(std::uint32_t address, std::uint16_t &port, int backlog)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const sockaddr_in where = addressOf(address, port);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&where), sizeof where) != 0 ||
        ::listen(fd, backlog) != 0) {
        std::perror("simulated web: listen");
        std::exit(1);
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &length);
    port = ntohs(bound.sin_port);
    return fd;
}

const char *reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 410:
        return "Gone";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Unknown";
    }
}

bool send(int fd, int status, const std::string &headers = {})
{
    const std::string body = "<html><head><title>" + std::to_string(status) + " " +
                             reasonPhrase(status) + "</title></head><body><p>" +
                             reasonPhrase(status) + "</p></body></html>\n";
    const std::string response = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) +
                                 "\r\nServer: simweb\r\nContent-Type: text/html\r\n" + headers +
                                 "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                 body;
    return ::send(fd, response.data(), response.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(response.size());
}

// Closes with a reset instead of a clean end.
void reset(int fd)
{
    const linger now{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
}

} // namespace

WebServer::WebServer(const Plan &plan, std::uint16_t port)
    : plan_(plan), ports_(plan.hosts.size(), 0),
      inFlight_(std::make_unique<std::atomic<int>[]>(plan.hosts.size())),
      asked_(std::make_unique<std::atomic<int>[]>(plan.links.size()))
{
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (epollFd_ < 0 || ::pipe2(wakeFds_, O_CLOEXEC) != 0) {
        std::perror("simulated web");
        std::exit(1);
    }
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.u64 = ~0ull;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeFds_[0], &wake);
    for (std::size_t h = 0; h < plan.hosts.size(); ++h) {
        const Host &host = plan.hosts[h];
        switch (host.kind) {
        case HostKind::Expired:
        case HostKind::LameDns:
        case HostKind::Refused:
            continue;
        case HostKind::Blackholed: {
            // A backlog of 0 holds one finished handshake; the second connection leaves the
            // queue full, and from then on the kernel drops every SYN.
            ports_[h] = port;
            listeners_.push_back(listenOn(host.address, ports_[h], 0));
            for (int i = 0; i < 2; ++i) {
                const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
                const sockaddr_in where = addressOf(host.address, ports_[h]);
                ::connect(filler, reinterpret_cast<const sockaddr *>(&where), sizeof where);
                queueFillers_.push_back(filler);
            }
            continue;
        }
        default:
            break;
        }
        ports_[h] = port;
        const int fd = listenOn(host.address, ports_[h], 128);
        listeners_.push_back(fd);
        epoll_event ready{};
        ready.events = EPOLLIN;
        ready.data.u64 = (static_cast<std::uint64_t>(h) << 32) | static_cast<std::uint32_t>(fd);
        ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ready);
    }
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

WebServer::~WebServer()
{
    const char stop = 0;
    [[maybe_unused]] const auto written = ::write(wakeFds_[1], &stop, 1);
    acceptThread_.join();
    {
        std::unique_lock lock(mutex_);
        stopping_ = true;
        for (int fd : connections_)
            ::shutdown(fd, SHUT_RDWR);
        changed_.notify_all();
        changed_.wait(lock, [this] { return running_ == 0; });
    }
    for (int fd : listeners_)
        ::close(fd);
    for (int fd : queueFillers_)
        ::close(fd);
    ::close(epollFd_);
    ::close(wakeFds_[0]);
    ::close(wakeFds_[1]);
}

void WebServer::acceptLoop()
{
    epoll_event events[64];
    for (;;) {
        const int n = ::epoll_wait(epollFd_, events, 64, -1);
        for (int i = 0; i < n; ++i) {
            if (events[i].data.u64 == ~0ull)
                return;
            const int listener = static_cast<int>(events[i].data.u64 & 0xffffffffu);
            const int host = static_cast<int>(events[i].data.u64 >> 32);
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            const int yes = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            std::lock_guard lock(mutex_);
            connections_.insert(fd);
            ++running_;
            std::thread([this, fd, host] { serve(fd, host); }).detach();
        }
    }
}

bool WebServer::pause(std::chrono::milliseconds how_long)
{
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, how_long, [this] { return stopping_; });
}

void WebServer::serve(int fd, int host)
{
    quorvel::bench::readRequestHeads(fd, [&](std::string_view head) {
        // "GET /path HTTP/1.1": the target is between the first two spaces.
        const auto from = head.find(' ');
        const auto to = head.find(' ', from + 1);
        const std::string target(to != std::string_view::npos ? head.substr(from + 1, to - from - 1)
                                                              : std::string_view("/"));
        return answer(fd, host, target);
    });
    std::lock_guard lock(mutex_);
    connections_.erase(fd);
    ::close(fd);
    if (--running_ == 0)
        changed_.notify_all();
}

bool WebServer::answer(int fd, int hostIndex, const std::string &target)
{
    const Host &host = plan_.hosts[static_cast<std::size_t>(hostIndex)];
    int hop = 0;
    const int index = linkFromPath(plan_, hostIndex, target, hop);
    if (index < 0)
        return pause(std::chrono::milliseconds(50)) && send(fd, 404);
    const Link &link = plan_.links[static_cast<std::size_t>(index)];
    const int asked = asked_[index]++;

    switch (host.kind) {
    case HostKind::Stalled: {
        // Reads on and never answers, until the client gives up.
        char chunk[512];
        while (::read(fd, chunk, sizeof chunk) > 0) {
        }
        return false;
    }
    case HostKind::Flaky:
        if (asked == 0) {
            if (link.category == Category::FlakyReset) {
                reset(fd);
                return false;
            }
            return pause(std::chrono::milliseconds(link.latencyMs)) &&
                   send(fd, 503, "Retry-After: 1\r\n");
        }
        break;
    case HostKind::RateLimited: {
        struct InFlight {
            std::atomic<int> &count;
            ~InFlight() { --count; }
        } inFlight{inFlight_[hostIndex]};
        if (++inFlight.count > host.inFlightLimit)
            return send(fd, 429, "Retry-After: 1\r\n");
        return pause(std::chrono::milliseconds(link.latencyMs)) && send(fd, link.status);
    }
    default:
        break;
    }

    if (hop < link.hops) {
        const std::string location = "Location: http://" + host.name + hopPath(index, hop + 1);
        return pause(std::chrono::milliseconds(link.hopLatencyMs)) &&
               send(fd, hop % 2 == 0 ? 301 : 302, location + "\r\n");
    }
    return pause(std::chrono::milliseconds(link.latencyMs)) && send(fd, link.status);
}

} // namespace quorvel::simweb
