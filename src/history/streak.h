#pragma once
// A link's consecutive recorded runs in which it was dead, ending with the latest.

#include <string>

namespace quorvel::history
{

struct Streak {
    int deadRuns = 0;
    std::string deadSince; // the start of the first of them; "" when alive
};

} // namespace quorvel::history
