#pragma once
// Text work of the HTTP facility: request targets, header blocks and challenges.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::platform::inet
{

// The object name as a request target: bytes that may not stand in one (blanks, controls,
// non-ASCII, quotes, brackets...) as %XX, and a '%' that starts no escape as %25.
std::string encodeObjectName(std::string_view objectName);

// The lines of an extra header block (CR LF or LF separated; empty lines skipped). False when a
// line is no "Name: value" header, so nothing malformed reaches the server.
bool splitHeaderBlock(std::string_view block, std::vector<std::string> &lines);

// The status code of a response's status line ("HTTP/1.1 404 Not Found" gives 404); 0 when the
// line carries no three-digit code after its first blank.
int statusCodeOf(std::string_view statusLine);

// Appends a header line as received (with or without its line end) to a raw header block, ended
// by CR LF as the block keeps every line. True for the blank line that ends the block.
bool appendHeaderLine(std::string &block, std::string_view line);

// The value of the first header line called name in a raw header block, letter case ignored.
std::optional<std::string> headerValue(std::string_view rawHeaders, std::string_view name);

// The libcurl CURLAUTH_* mask of the schemes offered in every header line called name.
long offeredAuthSchemes(std::string_view rawHeaders, std::string_view name);

// True when text holds a control character, which no header or request line may carry.
bool hasControl(std::string_view text);

// A host name as it stands in a URL: IPv6 literals in brackets.
std::string urlHost(const std::string &host);

// True for names that could be a host: letters, digits and ".-_" or an IP literal, so that no
// other part of a URL can be smuggled in through the host.
bool plausibleHost(std::string_view host);

} // namespace quorvel::platform::inet
