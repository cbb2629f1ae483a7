#pragma once
// Where a link's request goes: the shortcut's URL split as the window's component splits it,
// then formed into hops by the facility's own hop policy (inet/hop.h), so both programs send
// the same request and refuse the same hosts.

#include "inet/hop.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel::cli
{

struct RequestTarget : platform::inet::HopTarget {
    std::string user; // credentials from the URL, offered when the server asks
    std::string password;
};

// A shortcut's URL made ready for its request: split as the window's component splits it, the
// host in its IDNA form. This is the one place where a URL is prepared. On failure, error holds
// the facility's code and nothing is returned.
std::optional<RequestTarget> prepareRequest(const std::string &url, std::uint32_t &error);

// The URL libcurl is given for the hop.
using platform::inet::hopUrl;

// The host as the per-host limit counts it.
std::string hostKey(const RequestTarget &target);

using platform::inet::refusedHost;

} // namespace quorvel::cli
