#pragma once
// URL splitting and combining with the limits of the system's URL functions.

#include <cstdint>
#include <string>

namespace quorvel::platform
{

enum class UrlScheme { Unknown, Http, Https, Ftp, File, Other };

struct UrlParts {
    UrlScheme scheme = UrlScheme::Unknown;
    std::string schemeName;
    std::string hostName;   // at most 255 characters
    std::uint16_t port = 0; // the scheme's default when the URL names none
    std::string userName;   // at most 127 characters
    std::string password;   // at most 127 characters
    std::string urlPath;    // at most 2047 characters, %xx escapes decoded
    std::string extraInfo;  // query or fragment with its leading '?' or '#', at most 2047
};

// Splits url; false (with the facility's last error set to ERROR_INTERNET_INVALID_URL or
// ERROR_INTERNET_UNRECOGNIZED_SCHEME, or ERROR_INSUFFICIENT_BUFFER for a part over its limit)
// when it cannot be split.
bool InternetCrackUrl(const std::string &url, UrlParts &parts);

// Resolves relative against base as a browser does, encoding spaces (and nothing else). False
// when the result would not fit into bufferLength bytes with its terminator, or base is invalid.
bool InternetCombineUrl(const std::string &base, const std::string &relative, std::string &result,
                        std::size_t bufferLength = 2055);

} // namespace quorvel::platform
