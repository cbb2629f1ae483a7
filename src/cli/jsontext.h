#pragma once
// JSON string literals from 8-bit texts.

#include <string>
#include <string_view>

namespace quorvel::cli
{

// Appends the text to out as a quoted JSON string. Quotes, backslashes and control characters
// are escaped; bytes that are not valid UTF-8 (a file name in another encoding) become U+FFFD,
// so the document always parses.
void appendJsonString(std::string &out, std::string_view text);

// The same, as a string of its own.
std::string jsonString(std::string_view text);

} // namespace quorvel::cli
