#pragma once
// A small DNS server over UDP for the simulated web: A queries for the names it knows, "no such
// name" for the others, SERVFAIL for lame names, and answers held back for slow ones. Other
// query types of a known name get an empty answer, as a real server without IPv6 gives them.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace quorvel::simweb
{

struct DnsAnswer {
    enum class Kind { Address, NoSuchName, ServerFailure };
    Kind kind = Kind::NoSuchName;
    std::uint32_t address = 0; // host byte order
    std::chrono::milliseconds delay{0};
};

class DnsServer
{
public:
    // The name is given in lower case, without the final dot.
    using Lookup = std::function<DnsAnswer(std::string_view name)>;

    // Listens on address:port (host byte order; port 0 picks a free one). Exits the process
    // with a message when it cannot.
    DnsServer(std::uint32_t address, std::uint16_t port, Lookup lookup);
    ~DnsServer();
    DnsServer(const DnsServer &) = delete;
    DnsServer &operator=(const DnsServer &) = delete;

    std::uint16_t port() const { return port_; }

private:
    void serve();

    Lookup lookup_;
    int fd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::thread thread_;
};

// The answer to one query packet, or "" when it is not a query to answer. Exposed for the tests.
std::string dnsReply(std::string_view query, const DnsAnswer &answer, bool addressQuery);

// The question's name (lower case, no final dot) and type; false when the packet is no query.
bool dnsQuestion(std::string_view packet, std::string &name, std::uint16_t &type);

} // namespace quorvel::simweb
