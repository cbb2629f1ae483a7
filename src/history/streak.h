#pragma once
// A link's consecutive recorded runs in which it was dead, ending with the latest.

#include <string>

namespace quorvel::history
{

struct Streak {
    int deadRuns = 0;
    std::string deadSince; // the start of the first of them; "" when alive
};

// What one result means for its link's streak.
enum class Standing { NoVerdict, Alive, Dead };

// The streak after a run that started at runStarted: one more dead run, back to none when
// alive, unchanged without a verdict (skipped, unchecked).
inline Streak nextStreak(Streak before, Standing standing, const std::string &runStarted)
{
    if (standing == Standing::Dead) {
        ++before.deadRuns;
        if (before.deadSince.empty())
            before.deadSince = runStarted;
    } else if (standing == Standing::Alive) {
        before = Streak{};
    }
    return before;
}

} // namespace quorvel::history
