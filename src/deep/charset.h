#pragma once
// Turning a response body into UTF-8 text with the character set the page declares: the
// Content-Type header first, then a <meta> near the top of an HTML page, else UTF-8 when the
// bytes are valid UTF-8 and windows-1252 (the superset of Latin-1 that browsers read
// "iso-8859-1" as) when they are not.

#include <string>
#include <string_view>

namespace quorvel::deep
{

enum class BodyKind {
    Html,  // markup to strip
    Plain, // text as it stands
    Other  // images, archives, scripts...: no text to judge
};

struct DecodedBody {
    BodyKind kind = BodyKind::Other;
    std::string text;    // UTF-8; empty for BodyKind::Other
    std::string charset; // the character set used, as iconv names it ("UTF-8", "WINDOWS-1252")
};

// The charset parameter of a Content-Type value, unquoted, or empty.
std::string charsetParameter(std::string_view contentType);

// The character set a <meta charset> or <meta http-equiv="Content-Type"> declares in the first
// few kilobytes of an HTML page, or empty.
std::string metaCharset(std::string_view html);

// Decodes body as its Content-Type value (possibly empty) and content declare. Bytes the
// character set does not allow read as U+FFFD; a label nobody knows falls back to guessing.
DecodedBody decodeBody(std::string_view body, std::string_view contentType);

} // namespace quorvel::deep
