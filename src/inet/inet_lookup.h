#pragma once
// A blocking name lookup through the system's resolver, for both of the programs' drivers.

#include <string>
#include <vector>

namespace quorvel::platform::inet
{

struct HostAddresses {
    int status = 0;                     // getaddrinfo's: 0, EAI_NONAME, EAI_AGAIN...
    std::vector<std::string> addresses; // numeric, without repeats, in the resolver's order
};

HostAddresses lookUpAddresses(const std::string &host);

} // namespace quorvel::platform::inet
