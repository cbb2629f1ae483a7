#pragma once
// Name lookups of quorvel-check, made by the checker itself rather than by libcurl, so that
// "no such host" (a resolver's real answer) is told apart from a resolver that does not answer
// or fails, and each host name is looked up once for all its links. Lookups block, so they run
// on the facility's lookup threads (inet_lookup.h), a bounded number at a time, and their
// answers wait in a box that the checker's loop empties.

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::cli
{

struct LookupResult {
    enum class Kind { Found, NoSuchHost, Failed };
    Kind kind = Kind::Failed;
    std::vector<std::string> addresses; // numeric, for Found
};

// Looks a host name up; blocks. The checker calls it on a thread of its own.
using LookUpFunction = std::function<LookupResult(const std::string &host)>;

// The system's resolver (getaddrinfo): a name it says does not exist, or has no address, is
// NoSuchHost; every other failure is Failed.
LookupResult systemLookUp(const std::string &host);

class HostLookups
{
public:
    // wake is called from a lookup's thread when its answer is ready.
    HostLookups(LookUpFunction lookUp, std::size_t atOnce, std::function<void()> wake);
    ~HostLookups();
    HostLookups(const HostLookups &) = delete;
    HostLookups &operator=(const HostLookups &) = delete;

    void start(const std::string &host);
    struct Answer {
        std::string host;
        LookupResult result;
    };
    // The answers that have come, in any order. A lookup that has run longer than limit is
    // answered Failed (the resolver timed out); its late answer is dropped.
    std::vector<Answer> take(std::chrono::milliseconds limit);
    bool busy() const { return !runningList_.empty() || !queued_.empty(); }
    // When the next lookup would time out; max() when none runs.
    std::chrono::steady_clock::time_point nextLimit(std::chrono::milliseconds limit) const;

private:
    struct Box;
    void launch(const std::string &host);

    LookUpFunction lookUp_;
    std::size_t atOnce_;
    std::shared_ptr<Box> box_;
    std::deque<std::string> queued_;
    struct Running {
        std::string host;
        std::uint64_t serial;
        std::chrono::steady_clock::time_point started;
    };
    std::vector<Running> runningList_;
    std::uint64_t lastSerial_ = 0;
};

} // namespace quorvel::cli
