#pragma once
// UTF-16LE as the registry editor stores strings, to and from the UTF-8 we hold in std::string.

#include <string>
#include <string_view>

namespace quorvel::platform {

// Unpaired surrogates become U+FFFD; an odd trailing byte is ignored.
std::string utf16leToUtf8(std::string_view bytes);

// Bytes that are not valid UTF-8 become U+FFFD.
std::string utf8ToUtf16le(std::string_view text);

} // namespace quorvel::platform
