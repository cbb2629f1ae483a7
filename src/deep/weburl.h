#pragma once
// The pieces of an http(s) address that the deeper checks compare: which site it belongs to,
// its directory, whether it is a site's home page. The path stays as sent (escapes kept), since
// two spellings of a path may well be two pages.

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::deep
{

struct WebAddress {
    std::string scheme; // lower case: "http" or "https"
    std::string host;   // lower case, without brackets for IPv6
    std::string port;   // as written; empty when the address names none
    std::string path;   // "/" at least, escapes kept
    std::string query;  // without its '?'

    // host, then ":port" when the port is not the scheme's default.
    std::string authority() const;
    // The path up to and including its last '/'.
    std::string directory() const;
    // The path after its last '/', possibly empty.
    std::string lastSegment() const;
};

// Splits an absolute http or https address; nothing for other schemes or a missing host.
std::optional<WebAddress> parseWebAddress(std::string_view url);

// The address in one spelling for comparisons: scheme and host in lower case, the default port
// and the fragment dropped, an empty path written "/". Unparsable text comes back unchanged.
std::string canonicalAddress(std::string_view url);

// The site an address belongs to: its authority without a leading "www.", so that the
// http/https and www/bare variants that sites redirect between count as one site.
std::string siteOf(const WebAddress &address);

// A site's home page: the path "/" (any query), or an index document directly below it
// ("/index.html", "/default.aspx", "/home"), which sites commonly redirect to "/".
bool isHomePage(const WebAddress &address);

// %xx escapes decoded (invalid escapes kept as written).
std::string percentDecoded(std::string_view text);

} // namespace quorvel::deep
