#include "cli/networkguard.h"

namespace quorvel::cli
{

namespace
{
constexpr std::size_t fewestHosts = 3;
constexpr std::size_t manyHosts = 10;
} // namespace

void NetworkGuard::tryEnded(const std::string &host, bool answered, Clock::time_point started,
                            Clock::time_point ended)
{
    auto [entry, added] = hosts_.try_emplace(host);
    if (added || started < entry->second.firstStarted)
        entry->second.firstStarted = started;
    if (answered) {
        entry->second.answered = true;
        if (!lastAnswer_ || ended > *lastAnswer_)
            lastAnswer_ = ended;
    }
}

NetworkGuard::Verdict NetworkGuard::verdict() const
{
    Verdict v;
    v.hostsTried = hosts_.size();
    std::size_t silent = 0;
    std::size_t silentLate = 0;
    for (const auto &[name, host] : hosts_) {
        if (host.answered)
            continue;
        ++silent;
        if (lastAnswer_ && host.firstStarted > *lastAnswer_)
            ++silentLate;
    }
    v.down = (v.hostsTried >= fewestHosts && silent == v.hostsTried) ||
             (v.hostsTried >= manyHosts && silent * 10 >= v.hostsTried * 9);
    if (!v.down && silentLate >= fewestHosts)
        v.lostAfter = lastAnswer_;
    return v;
}

} // namespace quorvel::cli
