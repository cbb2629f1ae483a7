#include "history/linkindex.h"

#include <algorithm>
#include <functional>
#include <string>

namespace quorvel::history
{

namespace
{

// FNV-1a, independent of the standard library's hash.
std::uint64_t fnv1a(std::uint64_t hash, std::string_view bytes)
{
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 0x100000001b3ULL;
    return hash;
}

} // namespace

LinkIndex::Key LinkIndex::key(std::string_view path, std::string_view url)
{
    // The path's length goes in too, so that the two parts cannot run into each other.
    const std::uint64_t a = std::hash<std::string_view>{}(path);
    const std::uint64_t b = std::hash<std::string_view>{}(url);
    const std::uint64_t mixed = a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    const std::uint64_t other = fnv1a(fnv1a(0xcbf29ce484222325ULL ^ path.size(), path) ^ 0xff, url);
    return {mixed, other};
}

void LinkIndex::add(std::string_view path, std::string_view url, std::int64_t id)
{
    ids_.emplace_back(key(path, url), id);
}

void LinkIndex::setStreak(std::int64_t id, Streak streak)
{
    streaks_[id] = std::move(streak);
}

void LinkIndex::seal()
{
    std::sort(ids_.begin(), ids_.end());
    // A hash two links share finds neither: the store is asked instead.
    for (std::size_t i = 1; i < ids_.size(); ++i) {
        if (ids_[i].first == ids_[i - 1].first)
            ids_[i].second = ids_[i - 1].second = ask;
    }
}

std::int64_t LinkIndex::find(std::string_view path, std::string_view url) const
{
    const Key k = key(path, url);
    const auto at = std::lower_bound(ids_.begin(), ids_.end(), std::make_pair(k, ask));
    return at != ids_.end() && at->first == k ? at->second : unknown;
}

Streak LinkIndex::streak(std::string_view path, std::string_view url) const
{
    const std::int64_t id = find(path, url);
    return id > 0 ? streak(id) : Streak{};
}

Streak LinkIndex::streak(std::int64_t id) const
{
    const auto at = streaks_.find(id);
    return at == streaks_.end() ? Streak{} : at->second;
}

} // namespace quorvel::history
