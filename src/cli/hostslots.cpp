#include "cli/hostslots.h"

#include <algorithm>

namespace quorvel::cli
{

HostSlots::HostSlots(int perHost) : perHost_(std::max(perHost, 1)) {}

HostSlots::ReadyKey HostSlots::keyOf(const std::string &name, const Host &host) const
{
    for (int queue = 0; queue < 2; ++queue) {
        if (!host.queues[queue].empty())
            return {queue, host.queues[queue].front(), &name};
    }
    return {2, host.queues[2].front(), &name};
}

void HostSlots::refresh(const std::string &name, Host &host)
{
    // The key depends on the queues' fronts, so it is taken out before they change and put
    // back after.
    const bool shouldBeReady =
        host.active < limitOf(name) &&
        (!host.queues[0].empty() || !host.queues[1].empty() || !host.queues[2].empty());
    if (shouldBeReady)
        ready_.insert(keyOf(name, host));
    host.ready = shouldBeReady;
}

void HostSlots::push(Queue queue, std::size_t id, const std::string &host)
{
    auto &[name, state] = *hosts_.try_emplace(host).first;
    if (state.ready)
        ready_.erase(keyOf(name, state));
    state.queues[static_cast<int>(queue)].push_back(id);
    ++waitingCount_;
    refresh(name, state);
}

void HostSlots::add(std::size_t id, const std::string &host)
{
    push(Queue::Fresh, id, host);
}

void HostSlots::addRedirected(std::size_t id, const std::string &host)
{
    push(Queue::Redirected, id, host);
}

void HostSlots::addEarly(std::size_t id, const std::string &host)
{
    push(Queue::Added, id, host);
}

std::optional<HostSlots::Start> HostSlots::next(Queue upTo)
{
    if (ready_.empty() || std::get<0>(*ready_.begin()) > static_cast<int>(upTo))
        return std::nullopt;
    const ReadyKey key = *ready_.begin();
    ready_.erase(ready_.begin());
    const std::string &name = *std::get<2>(key);
    Host &state = hosts_.at(name);
    auto &queue = state.queues[std::get<0>(key)];
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
    if (state.idle()) {
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
    auto &redirected = state.queues[static_cast<int>(Queue::Redirected)];
    const auto position = std::find(redirected.begin(), redirected.end(), id);
    if (position == redirected.end())
        return;
    if (state.ready)
        ready_.erase(keyOf(found->first, state));
    redirected.erase(position);
    --waitingCount_;
    if (state.idle()) {
        hosts_.erase(found);
        return;
    }
    refresh(found->first, state);
}

int HostSlots::limitOf(const std::string &host) const
{
    const auto found = limits_.find(host);
    return found == limits_.end() ? perHost_ : found->second;
}

void HostSlots::lowerLimit(const std::string &host)
{
    limits_[host] = std::max(1, limitOf(host) / 2);
    if (const auto found = hosts_.find(host); found != hosts_.end() && found->second.ready) {
        ready_.erase(keyOf(found->first, found->second));
        refresh(found->first, found->second);
    }
}

int HostSlots::active(const std::string &host) const
{
    const auto found = hosts_.find(host);
    return found == hosts_.end() ? 0 : found->second.active;
}

} // namespace quorvel::cli
