#pragma once
// Words as the deeper checks compare them: UTF-8 text cut into words, letter case and accents
// folded away ("Domäne", "DOMANE" and "domane" are one word), so that phrase matching and page
// comparison do not depend on how a page spells or styles its text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::deep
{

// The code point starting at text[at], advancing at past it. A byte that does not start a valid
// UTF-8 sequence reads as U+FFFD and advances by one, so any input decodes.
char32_t nextCodePoint(std::string_view text, std::size_t &at);

void appendUtf8(std::string &out, char32_t codePoint);

// The folded words of text, in order. Latin letters lose case and accents (ß reads "ss",
// æ "ae"), Greek and Cyrillic lose case, and each Chinese or Japanese character is a word of
// its own, since those scripts do not separate words with spaces.
std::vector<std::string> foldedWords(std::string_view text);

} // namespace quorvel::deep
