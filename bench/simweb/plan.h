#pragma once
// The simulated web behind an old favorites folder: its hosts, their links, how each answers and
// what the web's answer for each link is. Made from a seed, so every run faces the same web.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::simweb
{

// What a link is, as the table of misses names it. The order is the table's.
enum class Category {
    Live,            // 200 after 20-400 ms
    Redirected,      // 200 after one to three redirects
    Gone404,         // 404, some behind redirects
    Gone410,         // 410, some behind redirects
    ExpiredDomain,   // the resolver answers "no such name"
    LameDns,         // the resolver answers SERVFAIL, every time
    SlowDns,         // the resolver answers after 1-3 s, then the page is live
    Refused,         // nothing listens on the host's address
    Blackholed,      // a listener whose accept queue is full: SYNs go unanswered
    Stalled,         // accepts and reads the request, never answers
    SlowPage,        // 200 after 5-15 s
    FlakyReset,      // the first request is reset, later ones 200
    Flaky503,        // the first request gets 503 with Retry-After, later ones 200
    BotWall,         // 403 to every request
    ServerError,     // 500 to every request, site-wide
    RateLimitedLive, // 429 with Retry-After: 1 while too many are in flight, else 200
    RateLimited404,  // the same, else 404
};
inline constexpr int categoryCount = 17;

std::string_view categoryName(Category category);

// The web's answer: what a careful user who tried again later would conclude. Dead: 404, 410,
// a domain that does not exist, a resolver that never answers for it (lame DNS), a host that
// refuses, does not answer connections or never answers a request, and a 404 behind a rate
// limit. Alive: every page that answers at all, even with 403 or 500, or after a slow resolver,
// a slow page, a first failure or a rate limit.
bool expectedDead(Category category);

// How a host's resolver entry and its server behave; the links of a Site host carry their own
// category (live, redirected, gone, slow page).
enum class HostKind {
    Site,
    Expired,
    LameDns,
    SlowDns,
    Refused,
    Blackholed,
    Stalled,
    Flaky,
    BotWall,
    ServerError,
    RateLimited,
};

struct Link {
    int host = 0;
    Category category = Category::Live;
    int status = 200;  // the final answer the server gives when it answers
    int hops = 0;      // redirects before that answer
    int latencyMs = 0; // before the final answer (each redirect takes hopLatencyMs)
    int hopLatencyMs = 0;
    std::string path; // the URL's path, with the link's number in it (see linkFromPath)
    std::string url;
    std::string folder; // the shortcut's sub-folder, "" for the top
    std::string name;   // the shortcut's file name without .url
};

struct Host {
    std::string name;
    std::uint32_t address = 0; // 127.x.y.z, host byte order
    HostKind kind = HostKind::Site;
    int dnsDelayMs = 0;    // SlowDns
    int inFlightLimit = 0; // RateLimited: more at once than this get 429
    int homeLink = -1;     // the link whose path is "/", if any
    std::vector<int> links;
};

struct Plan {
    std::uint32_t seed = 0;
    std::vector<Host> hosts;
    std::vector<Link> links;
};

inline constexpr std::uint32_t defaultSeed = 20261209;

// linkCount shortcuts, about one host per 2.5 links; a few hosts hold 50-200 links when
// linkCount is 3,000 (proportionally fewer for smaller webs).
Plan makePlan(int linkCount, std::uint32_t seed = defaultSeed);

// The link a request path names on a host, or -1. Redirect hops carry "?hop=N"; hop is set to N
// (0 for the link's own path).
int linkFromPath(const Plan &plan, int host, std::string_view path, int &hop);

// The path of hop N (1..hops) of a redirected link.
std::string hopPath(int link, int hop);

} // namespace quorvel::simweb
