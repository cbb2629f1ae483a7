#include "cli/hostslots.h"

#include <algorithm>

namespace quorvel::cli
{

HostSlots::HostSlots(int perHost) : perHost_(std::max(perHost, 1)) {}

HostSlots::ReadyKey HostSlots::keyOf(const std::string &name, const Host &host) const
{
    if (!host.redirected.empty())
        return {0, host.redirected.front(), &name};
    return {1, host.fresh.front(), &name};
}

void HostSlots::refresh(const std::string &name, Host &host)
{
    // The key depends on the queues' fronts, so it is taken out before they change and put
    // back after.
    const bool shouldBeReady =
        host.active < perHost_ && (!host.redirected.empty() || !host.fresh.empty());
    if (shouldBeReady)
        ready_.insert(keyOf(name, host));
    host.ready = shouldBeReady;
}

void HostSlots::add(std::size_t id, const std::string &host)
{
    auto &[name, state] = *hosts_.try_emplace(host).first;
    if (state.ready)
        ready_.erase(keyOf(name, state));
    state.fresh.push_back(id);
    ++waitingCount_;
    refresh(name, state);
}

void HostSlots::addRedirected(std::size_t id, const std::string &host)
{
    auto &[name, state] = *hosts_.try_emplace(host).first;
    if (state.ready)
        ready_.erase(keyOf(name, state));
    state.redirected.push_back(id);
    ++waitingCount_;
    refresh(name, state);
}

std::optional<HostSlots::Start> HostSlots::next(bool freshAllowed)
{
    if (ready_.empty() || (!freshAllowed && std::get<0>(*ready_.begin()) != 0))
        return std::nullopt;
    const ReadyKey key = *ready_.begin();
    ready_.erase(ready_.begin());
    const std::string &name = *std::get<2>(key);
    Host &state = hosts_.at(name);
    auto &queue = std::get<0>(key) == 0 ? state.redirected : state.fresh;
    const std::size_t id = queue.front();
    queue.pop_front();
    --waitingCount_;
    ++state.active;
    refresh(name, state);
    return Start{id, name};
}

void HostSlots::release(const std::string &host)
{
    const auto found = hosts_.find(host);
    if (found == hosts_.end() || found->second.active == 0)
        return;
    Host &state = found->second;
    if (state.ready)
        ready_.erase(keyOf(found->first, state));
    --state.active;
    if (state.active == 0 && state.redirected.empty() && state.fresh.empty()) {
        hosts_.erase(found); // a long run over many hosts keeps only the busy ones
        return;
    }
    refresh(found->first, state);
}

void HostSlots::forget(std::size_t id, const std::string &host)
{
    const auto found = hosts_.find(host);
    if (found == hosts_.end())
        return;
    Host &state = found->second;
    const auto position = std::find(state.redirected.begin(), state.redirected.end(), id);
    if (position == state.redirected.end())
        return;
    if (state.ready)
        ready_.erase(keyOf(found->first, state));
    state.redirected.erase(position);
    --waitingCount_;
    if (state.active == 0 && state.redirected.empty() && state.fresh.empty()) {
        hosts_.erase(found);
        return;
    }
    refresh(found->first, state);
}

int HostSlots::active(const std::string &host) const
{
    const auto found = hosts_.find(host);
    return found == hosts_.end() ? 0 : found->second.active;
}

} // namespace quorvel::cli
