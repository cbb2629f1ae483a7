#pragma once
// Links that are not requested because this machine cannot judge them (intranet and home
// addresses) or because the user named them (--exclude, --exclude-file).

#include "cli/requesttarget.h"

#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli
{

struct LinkFilter {
    bool includePrivate = false; // --include-private
    struct Pattern {
        std::string text;
        std::regex regex;
    };
    std::vector<Pattern> excludes;
};

// True for a host that only a local network knows: a single-label name (but localhost), a name
// under .local, .lan, .internal or .home.arpa, or a literal private or link-local address.
// Loopback is not private: it is this machine.
bool isPrivateHost(std::string host);

// "excluded", "private" or nothing, for an http(s) URL.
std::optional<std::string_view> filterReason(const std::string &url, const LinkFilter &filter);
// The same for a URL whose request was prepared already (prepareRequest; nullopt when it could
// not be).
std::optional<std::string_view> filterReason(const std::string &url,
                                             const std::optional<RequestTarget> &target,
                                             const LinkFilter &filter);

// Adds a pattern; false, with a message in error, when it is not a valid regular expression.
bool addExclude(LinkFilter &filter, const std::string &pattern, std::string &error);
// Adds the patterns of a file, one a line; blank lines and lines starting with '#' are left
// out. False, with a message, when the file cannot be read or a pattern is bad.
bool addExcludeFile(LinkFilter &filter, const std::string &file, std::string &error);

} // namespace quorvel::cli
