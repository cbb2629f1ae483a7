#pragma once
// GUID texts as the registry keys of browser extensions are named.

#include <string>

namespace quorvel::platform {

// A fresh random GUID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
std::string newGuidText();

// True for a well-formed GUID text: braces around 8-4-4-4-12 hexadecimal digits (either case).
bool isGuidText(const std::string &text);

} // namespace quorvel::platform
