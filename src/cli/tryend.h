#pragma once
// How one try of a link ended, as far as trying again and judging the network go: what may pass
// later (and how often it is tried), what is final, and what shows that the network answered.

#include <chrono>
#include <optional>
#include <string_view>

#include <curl/curl.h>

namespace quorvel::cli
{

enum class TryEnd {
    Answered,        // a final answer or a failure that trying again would not change
    TimedOut,        // connected, but no answer within --timeout: the link's whole budget
    NoSuchHost,      // the resolver said the name does not exist: final at once
    ResolverFailed,  // the resolver did not answer or failed (time-out, SERVFAIL)
    ConnectTimedOut, // nothing answered the connect
    Refused,         // the host refused the connection
    Unreachable,     // no route to the host or network
    Transient,       // reset, closed early, silent, TLS handshake cut short: may pass later
    RateLimited,     // 429 or 503: come back later
};

// The tries a link may have when its tries end this way, with `retries` more allowed.
int triesFor(TryEnd end, int retries);

// True when the end shows that something on the network answered (a server, or a resolver
// saying the name does not exist); false for the ends that a machine without a network gives.
bool networkAnswered(TryEnd end);

// True for the ends that count towards a host's verdict of not taking connections.
bool connectFailed(TryEnd end);

// A failed transfer's end from libcurl's result, the connect's errno and whether the
// connection was made.
TryEnd tryEndOf(CURLcode result, long osErrno, bool connected);

// A Retry-After value (delta seconds or an HTTP date) as a wait from now, at most cap; nothing
// when it cannot be read.
std::optional<std::chrono::milliseconds> retryAfter(std::string_view value,
                                                    std::chrono::milliseconds cap);

} // namespace quorvel::cli
