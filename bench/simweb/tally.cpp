#include "tally.h"

#include <algorithm>

namespace quorvel::simweb
{

Tally tally(const Plan &plan, const Reported &reported)
{
    Tally t;
    for (const Link &link : plan.links) {
        CategoryRow &row = t.rows[static_cast<std::size_t>(link.category)];
        ++row.links;
        const auto found = reported.byUrl.find(link.url);
        const ReportedLink none;
        const ReportedLink &r = found == reported.byUrl.end() ? none : found->second;
        const bool reportedDead = r.result == "dead";
        row.dead += reportedDead;
        row.alive += r.result == "alive";
        row.other += !reportedDead && r.result != "alive";
        row.unverified += r.unverified;
        row.hostVerdicts += r.hostVerdict;
        row.tries += r.tries;
        t.triesGiven |= r.tries > 0;
        row.totalMs += std::max(0LL, r.ms);
        row.longestMs = std::max(row.longestMs, r.ms);
        if (expectedDead(link.category)) {
            ++t.dead;
            t.deadMissed += !reportedDead;
            row.wrong += !reportedDead;
        } else {
            ++t.alive;
            t.liveDead += reportedDead;
            row.wrong += reportedDead;
        }
    }
    for (const CategoryRow &row : t.rows) {
        t.unverified += row.unverified;
        t.hostVerdicts += row.hostVerdicts;
    }
    return t;
}

void printTable(std::FILE *out, const Tally &t)
{
    std::fprintf(out, "%-20s %6s %6s %6s %6s %6s %6s %7s %7s %6s %9s %7s\n", "category", "links",
                 "answer", "dead", "alive", "other", "wrong", "unverif", "host v.", "tries",
                 "summed s", "max s");
    for (int c = 0; c < categoryCount; ++c) {
        const CategoryRow &row = t.rows[static_cast<std::size_t>(c)];
        const auto category = static_cast<Category>(c);
        char tries[16] = "-";
        if (t.triesGiven && row.links > 0)
            std::snprintf(tries, sizeof tries, "%.2f", double(row.tries) / row.links);
        std::fprintf(out, "%-20.*s %6d %6s %6d %6d %6d %6d %7d %7d %6s %9.1f %7.1f\n",
                     static_cast<int>(categoryName(category).size()), categoryName(category).data(),
                     row.links, expectedDead(category) ? "dead" : "alive", row.dead, row.alive,
                     row.other, row.wrong, row.unverified, row.hostVerdicts, tries,
                     row.totalMs / 1000.0, row.longestMs / 1000.0);
    }
    std::fprintf(out,
                 "live reported dead: %d of %d (%.2f%%); dead missed: %d of %d (%.2f%%); "
                 "unverified: %d; host verdicts: %d\n",
                 t.liveDead, t.alive, 100 * t.liveDeadShare(), t.deadMissed, t.dead,
                 100 * t.deadMissedShare(), t.unverified, t.hostVerdicts);
}

} // namespace quorvel::simweb
