#pragma once
// The report held against the web's answers: misses by category, and the figures the targets
// are set on.

#include "plan.h"
#include "reportread.h"

#include <array>
#include <cstdio>

namespace quorvel::simweb
{

struct CategoryRow {
    int links = 0;
    int dead = 0;
    int alive = 0;
    int other = 0; // skipped, suspect, unchecked, or missing from the report
    int wrong = 0; // reported otherwise than the web's answer
    int unverified = 0;
    int hostVerdicts = 0;
    int tries = 0;         // summed, when the report gives them
    long long totalMs = 0; // time the links took, summed
    long long longestMs = 0;
};

struct Tally {
    std::array<CategoryRow, categoryCount> rows;
    int alive = 0;      // links whose answer is alive
    int liveDead = 0;   // of them, reported dead
    int dead = 0;       // links whose answer is dead
    int deadMissed = 0; // of them, not reported dead
    int unverified = 0;
    int hostVerdicts = 0;
    bool triesGiven = false;

    double liveDeadShare() const { return alive ? double(liveDead) / alive : 0; }
    double deadMissedShare() const { return dead ? double(deadMissed) / dead : 0; }
};

Tally tally(const Plan &plan, const Reported &reported);

void printTable(std::FILE *out, const Tally &tally);

} // namespace quorvel::simweb
