#pragma once
// URLs with non-ASCII text in the form a request carries them, as browsers send them: the host
// in its IDNA (punycode) form, everything after it percent-encoded as UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::platform::inet
{

// The ASCII form of a host name (IDNA2008 with the UTS #46 mapping, so "Пример.РФ" becomes
// "xn--e1afmkfd.xn--p1ai"). A host that is ASCII already comes back unchanged. nullopt when the
// name is no valid internationalised name (or not UTF-8).
std::optional<std::string> hostToAscii(std::string_view host);

// A URL of UTF-8 text in its request form: the host through hostToAscii, every byte after the
// host that is not ASCII (and every blank) as %XX. Escapes already present stay as they are. A
// URL without "//" and a host only has its bytes encoded. nullopt when the host cannot be made
// ASCII.
std::optional<std::string> requestFormOfURL(std::string_view url);

} // namespace quorvel::platform::inet
