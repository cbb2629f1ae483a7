#pragma once
// Name lookups through the system's resolver, for both of the programs' drivers.

#include <functional>
#include <string>
#include <vector>

namespace quorvel::platform::inet
{

struct HostAddresses {
    int status = 0;                     // getaddrinfo's: 0, EAI_NONAME, EAI_AGAIN...
    std::vector<std::string> addresses; // numeric, without repeats, in the resolver's order
};

// Blocks until the resolver answers.
HostAddresses lookUpAddresses(const std::string &host);

// Runs a lookup (a task that blocks in the resolver) on one of the lookup threads, so the
// caller's loop goes on meanwhile. The task must find out itself whether whoever asked is still
// there when it ends: a stop never waits for a lookup.
void lookUpBeside(std::function<void()> task);

} // namespace quorvel::platform::inet
