#pragma once
// Every link the store knows, by a hash of its path and URL, with the streaks of the dead ones:
// read in one pass, so that a run's 100,000 results need no lookup each, and readable on
// another connection while the check is still under way.

#include "history/streak.h"

#include <compare>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvel::history
{

class LinkIndex
{
public:
    // Sentinel ids that find returns.
    static constexpr std::int64_t unknown = 0;
    static constexpr std::int64_t ask = -1; // two links share the hash: the store must be asked

    void add(std::string_view path, std::string_view url, std::int64_t id);
    void setStreak(std::int64_t id, Streak streak);
    // Call once all links are added.
    void seal();

    std::int64_t find(std::string_view path, std::string_view url) const;
    Streak streak(std::int64_t id) const;
    // The streak of a link by its path and URL: none for a link not known (or, against odds of
    // about 2^-128, one whose hashes another shares).
    Streak streak(std::string_view path, std::string_view url) const;

    // The store's count of recorded runs when the index was read.
    std::int64_t generation = -1;

private:
    // Two independent 64-bit hashes: a new link taken for a known one would need both to match.
    struct Key {
        std::uint64_t first;
        std::uint64_t second;
        auto operator<=>(const Key &) const = default;
    };
    static Key key(std::string_view path, std::string_view url);

    std::vector<std::pair<Key, std::int64_t>> ids_; // sorted by key once sealed
    std::unordered_map<std::int64_t, Streak> streaks_;
};

} // namespace quorvel::history
