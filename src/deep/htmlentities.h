#pragma once
// Character references of HTML text: the named ones pages really use and the numeric ones.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::deep
{

// Reads the character reference starting at text[at] (which holds '&'). On success appends its
// UTF-8 form to out, advances at past it and returns true; otherwise leaves both alone, and the
// '&' is plain text.
bool readCharacterReference(std::string_view text, std::size_t &at, std::string &out);

} // namespace quorvel::deep
