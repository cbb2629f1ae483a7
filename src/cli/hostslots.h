#pragma once
// Which link goes next: links wait in catalogue order and one starts only when its host has a
// free slot, so a link never waits inside libcurl while its time limit runs. Links that were
// redirected and wait for room at their new host go first, then requests added during the run
// (the deeper checks' probes, which other links wait for), then links not yet started.

#include <cstddef>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>

namespace quorvel::cli
{

class HostSlots
{
public:
    explicit HostSlots(int perHost);

    // The queues, in the order they start.
    enum class Queue { Redirected, Added, Fresh };

    // A link not yet started; links are taken in the order of their ids within a queue.
    void add(std::size_t id, const std::string &host);
    // A redirected link waiting for room at its new host.
    void addRedirected(std::size_t id, const std::string &host);
    // A request added during the run.
    void addEarly(std::size_t id, const std::string &host);

    struct Start {
        std::size_t id;
        std::string host;
    };
    // The next link whose host has room, which takes one of that host's slots. Links not yet
    // started are only considered when freshAllowed.
    std::optional<Start> next(bool freshAllowed = true)
    {
        return next(freshAllowed ? Queue::Fresh : Queue::Redirected);
    }
    // The same, considering only the queues up to and including upTo.
    std::optional<Start> next(Queue upTo);
    // A redirected link that gave up waiting (its time ran out) leaves the host's queue.
    void forget(std::size_t id, const std::string &host);
    // A link ends (or leaves the host for a redirect): its slot is free again.
    void release(const std::string &host);

    // The host asked to come back later (429, 503): from now on it gets half its slots (at
    // least one).
    void lowerLimit(const std::string &host);

    bool waiting() const { return waitingCount_ != 0; }
    int active(const std::string &host) const;

private:
    struct Host {
        int active = 0;
        std::deque<std::size_t> queues[3]; // by Queue
        bool ready = false;                // listed in ready_

        bool idle() const
        {
            return active == 0 && queues[0].empty() && queues[1].empty() && queues[2].empty();
        }
    };
    // (queue, the first waiting id, host): the smallest goes first.
    using ReadyKey = std::tuple<int, std::size_t, const std::string *>;

    ReadyKey keyOf(const std::string &name, const Host &host) const;
    void refresh(const std::string &name, Host &host);
    void push(Queue queue, std::size_t id, const std::string &host);
    int limitOf(const std::string &host) const;

    int perHost_;
    std::unordered_map<std::string, int> limits_; // lowered ones only
    std::size_t waitingCount_ = 0;
    std::unordered_map<std::string, Host> hosts_;
    std::set<ReadyKey> ready_;
};

} // namespace quorvel::cli
