#pragma once
// Whether a run's failures can be trusted: a machine without a network fails every request,
// and those failures must not read as dead links. Each try's end is noted per host; what the
// tries together show is the verdict.
//
// The rule: a host "answered" when any try of it met something on the network (an answer, a
// refused connection, a resolver saying the name does not exist); it is silent when every try
// ended in a resolver failure, a connect time-out or no route. The network was down when at
// least 3 hosts were tried and none answered, or when at least 10 were tried and at least 90%
// of them were silent. It was lost during the run when at least 3 hosts that were first tried
// after the last answer of the run all stayed silent; failures after that answer prove nothing.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>

namespace quorvel::cli
{

class NetworkGuard
{
public:
    using Clock = std::chrono::steady_clock;

    void tryEnded(const std::string &host, bool answered, Clock::time_point started,
                  Clock::time_point ended);

    struct Verdict {
        bool down = false;
        std::size_t hostsTried = 0;
        // Set when the network stopped answering during the run: network failures that ended
        // after this are unverified.
        std::optional<Clock::time_point> lostAfter;
    };
    Verdict verdict() const;

private:
    struct Host {
        bool answered = false;
        Clock::time_point firstStarted;
    };
    std::unordered_map<std::string, Host> hosts_;
    std::optional<Clock::time_point> lastAnswer_;
};

} // namespace quorvel::cli
