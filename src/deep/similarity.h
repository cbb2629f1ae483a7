#pragma once
// How alike two pages read: Jaccard similarity of their sets of word triples (shingles), after
// each page's own address is taken out of its text. A "not found" page that repeats the
// address asked for ("/old/page could not be found") reads the same for every address once the
// address is gone, while two pages with articles of their own share few triples.

#include "deep/pagetext.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::deep
{

// Two pages at least this alike are one page. Not-found pages served for different addresses
// score 1.0 once the echoed address is out, and rarely below 0.95 where a clock or request
// number differs (numbers are set aside too); pages with content of their own score below
// 0.8 against their site's not-found page even inside a heavy shared template, whose
// navigation, header, footer and sidebars are left out of the comparison.
constexpr double sameTextSimilarity = 0.9;

// The words a page is compared by: its title and main text (all of its text when the main text
// is empty), folded, with every word holding a digit read as "#" (clocks, counters, request
// numbers), and with the echoes of address removed: the whole address, its path and its last
// segment, each as written and %-decoded.
std::vector<std::string> comparisonWords(const PageText &page, std::string_view address);

// Jaccard similarity of the word triples of a and b (shorter runs when a text has fewer
// words), from 0 to 1; nothing when both are empty, since two blank pages say nothing.
std::optional<double> textSimilarity(const std::vector<std::string> &a,
                                     const std::vector<std::string> &b);

} // namespace quorvel::deep
