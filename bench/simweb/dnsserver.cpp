#include "dnsserver.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <queue>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::simweb
{

namespace
{

constexpr std::uint16_t typeA = 1;
constexpr std::size_t headerSize = 12;

std::uint16_t read16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>((static_cast<unsigned char>(bytes[at]) << 8) |
                                      static_cast<unsigned char>(bytes[at + 1]));
}

void put16(std::string &out, unsigned value)
{
    out += static_cast<char>((value >> 8) & 0xff);
    out += static_cast<char>(value & 0xff);
}

// Where the question ends (after its type and class), or 0 when it does not fit the packet.
std::size_t questionEnd(std::string_view packet, std::string *name)
{
    std::size_t at = headerSize;
    while (at < packet.size()) {
        const auto length = static_cast<unsigned char>(packet[at]);
        if (length == 0)
            return at + 5 <= packet.size() ? at + 5 : 0;
        if (length > 63 || at + 1 + length > packet.size())
            return 0; // compression has no place in a question
        if (name) {
            if (!name->empty())
                *name += '.';
            for (std::size_t i = 0; i < length; ++i)
                *name +=
                    static_cast<char>(std::tolower(static_cast<unsigned char>(packet[at + 1 + i])));
        }
        at += 1 + length;
    }
    return 0;
}

struct Pending {
    std::chrono::steady_clock::time_point due;
    std::string reply;
    sockaddr_in peer;
    bool operator>(const Pending &other) const { return due > other.due; }
};

} // namespace

bool dnsQuestion(std::string_view packet, std::string &name, std::uint16_t &type)
{
    name.clear();
    if (packet.size() < headerSize || (packet[2] & 0x80) != 0 || read16(packet, 4) != 1)
        return false;
    const std::size_t end = questionEnd(packet, &name);
    if (end == 0)
        return false;
    type = read16(packet, end - 4);
    return true;
}

std::string dnsReply(std::string_view query, const DnsAnswer &answer, bool addressQuery)
{
    const std::size_t end = questionEnd(query, nullptr);
    if (query.size() < headerSize || end == 0)
        return {};
    const bool withAddress = addressQuery && answer.kind == DnsAnswer::Kind::Address;
    const unsigned rcode = answer.kind == DnsAnswer::Kind::NoSuchName      ? 3
                           : answer.kind == DnsAnswer::Kind::ServerFailure ? 2
                                                                           : 0;
    std::string reply(query.substr(0, 2)); // the query's id
    // A response, the query's opcode and "recursion desired", authoritative, recursion available.
    const auto flags = static_cast<unsigned char>(query[2]);
    reply += static_cast<char>(0x80 | (flags & 0x79) | 0x04);
    reply += static_cast<char>(0x80 | rcode);
    put16(reply, 1);
    put16(reply, withAddress ? 1 : 0);
    put16(reply, 0);
    put16(reply, 0);
    reply.append(query.substr(headerSize, end - headerSize));
    if (withAddress) {
        put16(reply, 0xc000 | headerSize); // the question's name
        put16(reply, typeA);
        put16(reply, 1); // IN
        put16(reply, 0);
        put16(reply, 60); // seconds to keep it
        put16(reply, 4);
        put16(reply, answer.address >> 16);
        put16(reply, answer.address & 0xffff);
    }
    return reply;
}

DnsServer::DnsServer(std::uint32_t address, std::uint16_t port, Lookup lookup)
    : lookup_(std::move(lookup))
{
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(address);
    where.sin_port = htons(port);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0 ||
        ::pipe2(wakeFds_, O_CLOEXEC) != 0) {
        std::perror("DNS server");
        std::exit(1);
    }
    socklen_t length = sizeof where;
    ::getsockname(fd_, reinterpret_cast<sockaddr *>(&where), &length);
    port_ = ntohs(where.sin_port);
    thread_ = std::thread([this] { serve(); });
}

DnsServer::~DnsServer()
{
    const char stop = 0;
    [[maybe_unused]] const auto written = ::write(wakeFds_[1], &stop, 1);
    thread_.join();
    ::close(fd_);
    ::close(wakeFds_[0]);
    ::close(wakeFds_[1]);
}

void DnsServer::serve()
{
    // Answers held back wait here, earliest first; the loop sleeps until the next is due.
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> pending;
    for (;;) {
        int wait = -1;
        const auto now = std::chrono::steady_clock::now();
        while (!pending.empty() && pending.top().due <= now) {
            const Pending &p = pending.top();
            ::sendto(fd_, p.reply.data(), p.reply.size(), 0,
                     reinterpret_cast<const sockaddr *>(&p.peer), sizeof p.peer);
            pending.pop();
        }
        if (!pending.empty())
            wait = static_cast<int>(
                std::chrono::ceil<std::chrono::milliseconds>(pending.top().due - now).count());
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (::poll(fds, 2, wait) < 0 || (fds[1].revents & POLLIN))
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        char buffer[512];
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr *>(&peer), &peerLength);
        if (n <= 0)
            continue;
        const std::string_view query(buffer, static_cast<std::size_t>(n));
        std::string name;
        std::uint16_t type = 0;
        if (!dnsQuestion(query, name, type))
            continue;
        const DnsAnswer answer = lookup_(name);
        std::string reply = dnsReply(query, answer, type == typeA);
        pending.push({std::chrono::steady_clock::now() + answer.delay, std::move(reply), peer});
    }
}

} // namespace quorvel::simweb
