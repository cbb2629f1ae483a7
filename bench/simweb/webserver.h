#pragma once
// The HTTP servers of the simulated web: one listener per host address (port 80 in the
// benchmark's own network), each answering as its host's kind and its links' categories say.
// Refused hosts have no listener; blackholed ones have one whose accept queue is kept full.
// One thread per connection; keep-alive as HTTP/1.1 has it.

#include "plan.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace quorvel::simweb
{

class WebServer
{
public:
    // Exits the process with a message when a listener cannot be made. With port 0 each host
    // listens on a free port of its own (see port()).
    WebServer(const Plan &plan, std::uint16_t port);
    ~WebServer(); // closes every connection and waits for their threads
    WebServer(const WebServer &) = delete;
    WebServer &operator=(const WebServer &) = delete;

    // The port a host listens on; 0 for hosts without a listener.
    std::uint16_t port(int host) const { return ports_[static_cast<std::size_t>(host)]; }

private:
    void acceptLoop();
    void serve(int fd, int host);
    // Answers one request; false when the connection is to end.
    bool answer(int fd, int host, const std::string &target);
    // Waits, unless the server is stopping (then false).
    bool pause(std::chrono::milliseconds how_long);

    const Plan &plan_;
    std::vector<std::uint16_t> ports_; // by host
    std::vector<int> listeners_;
    std::vector<int> queueFillers_; // connections that keep blackholed queues full
    int epollFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::thread acceptThread_;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::set<int> connections_;
    int running_ = 0; // connection threads not yet finished

    std::unique_ptr<std::atomic<int>[]> inFlight_; // per host: requests being answered
    std::unique_ptr<std::atomic<int>[]> asked_;    // per link: requests so far
};

} // namespace quorvel::simweb
