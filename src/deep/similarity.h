#pragma once
// How alike two pages read: Jaccard similarity of their sets of word triples (shingles), after
// each page's own address is taken out of its text. A "not found" page that repeats the
// address asked for ("/old/page could not be found") reads the same for every address once the
// address is gone, while two pages with articles of their own share few triples.

#include "deep/pagetext.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::deep
{

// Two pages are one page when neither has more than maxOwnTriples word triples the other lacks
// (about eight words of its own) and at least sameTextSimilarity of all their triples are
// common. A site's not-found page served for two addresses reads the same once the echoed
// address and the numbers are set aside, but for what varies between requests: a server's name,
// a rotating hint, a word or two, which costs a short page a good share of its triples (three
// per word) yet only a few in number. A page with anything of its own, even a one-line caption
// inside a template of hundreds of words that makes it 0.85 alike, still lacks the not-found
// page's whole message. The share keeps two short unrelated texts apart.
constexpr double sameTextSimilarity = 0.75;
constexpr std::size_t maxOwnTriples = 10;

// The words a page is compared by: its title and main text (all of its text when the main text
// is empty), folded, with every word holding a digit read as "#" (clocks, counters, request
// numbers), and with the echoes of address removed: the whole address, its path and its last
// segment, each as written and %-decoded.
std::vector<std::string> comparisonWords(const PageText &page, std::string_view address);

struct TextComparison {
    double similarity = 0;       // Jaccard similarity of the two sets of word triples, 0 to 1
    std::size_t onlyInFirst = 0; // triples of the first text the second lacks
    std::size_t onlyInSecond = 0;

    bool sameText() const
    {
        return similarity >= sameTextSimilarity && onlyInFirst <= maxOwnTriples &&
               onlyInSecond <= maxOwnTriples;
    }
};

// Compares the word triples of a and b (shorter runs when a text has fewer words); nothing when
// both are empty, since two blank pages say nothing.
std::optional<TextComparison> compareTexts(const std::vector<std::string> &a,
                                           const std::vector<std::string> &b);

} // namespace quorvel::deep
