#pragma once
// What a reader sees of a page: its title and its visible text, markup, scripts, styles and
// comments set aside and character references decoded. Any input is taken, however broken:
// one pass over it, no recursion, output never longer than a small multiple of the input.

#include <string>
#include <string_view>

namespace quorvel::deep
{

struct PageText {
    std::string title; // the first <title>, whitespace collapsed
    std::string text;  // all visible text, whitespace collapsed
    // The visible text less navigation, headers, footers, sidebars and drop-down lists: what
    // differs from page to page on a site, since those parts usually repeat on every page.
    std::string mainText;
};

PageText htmlPageText(std::string_view html);

// A plain-text body: all of it is visible, and there is no title.
PageText plainPageText(std::string_view text);

} // namespace quorvel::deep
