#pragma once
// Where one hop of a link's request goes, worked out the way the window's HTTP component and
// facility do it, so both programs send the same request and refuse the same hosts.

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel::cli
{

struct RequestTarget {
    bool secure = false;
    std::string host; // IPv6 literals without brackets
    std::uint16_t port = 0;
    std::string object; // path and query as split, not yet encoded for the request line
    std::string user;   // credentials from the URL, offered when the server asks
    std::string password;
};

// A shortcut's URL made ready for its request: split as the window's component splits it.
// This is the one place where a URL is prepared; a shortcut's Unicode URL (IDNA host,
// UTF-8 escapes) is to be turned into its request form here. On failure, error holds the
// facility's code and nothing is returned.
std::optional<RequestTarget> prepareRequest(const std::string &url, std::uint32_t &error);

// The URL libcurl is given for the hop: host in lower case, the scheme's default port left
// out, the object encoded as a request target.
std::string hopUrl(const RequestTarget &target);

// The host as the per-host limit counts it.
std::string hostKey(const RequestTarget &target);

// The facility's error for a host it refuses without asking the network (names that cannot
// be a host, names under .invalid), 0 when the host may be looked up.
std::uint32_t refusedHost(const std::string &host);

// 301, 302, 303, 307 and 308 are followed; other answers are final.
bool isRedirectStatus(int status);

// The hop a redirect leads to from the hop at currentUrl, or nothing when it cannot be
// followed (a location that does not combine, or another scheme than http and https).
// Credentials stay with the request, as in the facility.
std::optional<RequestTarget> redirectTarget(const RequestTarget &current,
                                            const std::string &currentUrl,
                                            const std::string &location, std::string &combinedUrl);

} // namespace quorvel::cli
