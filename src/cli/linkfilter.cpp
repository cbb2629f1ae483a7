#include "cli/linkfilter.h"

#include "cli/checkresult.h"
#include "cli/requesttarget.h"

#include <cstring>
#include <fstream>

#include <arpa/inet.h>

namespace quorvel::cli
{

namespace
{

bool endsWithLabel(const std::string &name, std::string_view suffix)
{
    return name == suffix.substr(1) ||
           (name.size() > suffix.size() && name.ends_with(suffix));
}

} // namespace

bool isPrivateHost(std::string host)
{
    for (char &c : host) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    if (host.empty())
        return false;
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        const unsigned char *b = reinterpret_cast<const unsigned char *>(&v4.s_addr);
        return b[0] == 10 || (b[0] == 172 && (b[1] & 0xf0) == 16) ||
               (b[0] == 192 && b[1] == 168) || (b[0] == 169 && b[1] == 254);
    }
    in6_addr v6{};
    if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1)
        return (v6.s6_addr[0] & 0xfe) == 0xfc || (v6.s6_addr[0] == 0xfe && (v6.s6_addr[1] & 0xc0) == 0x80);
    if (host == "localhost" || host.ends_with(".localhost"))
        return false;
    if (host.find('.') == std::string::npos)
        return true;
    for (std::string_view suffix : {".local", ".lan", ".internal", ".home.arpa"}) {
        if (endsWithLabel(host, suffix))
            return true;
    }
    return false;
}

std::optional<std::string_view> filterReason(const std::string &url, const LinkFilter &filter)
{
    std::uint32_t error = 0;
    std::optional<RequestTarget> target;
    if (!filter.includePrivate)
        target = prepareRequest(url, error);
    return filterReason(url, target, filter);
}

std::optional<std::string_view> filterReason(const std::string &url,
                                             const std::optional<RequestTarget> &target,
                                             const LinkFilter &filter)
{
    for (const LinkFilter::Pattern &pattern : filter.excludes) {
        if (std::regex_search(url, pattern.regex))
            return reason::excluded;
    }
    if (!filter.includePrivate && target && isPrivateHost(target->host))
        return reason::privateHost;
    return std::nullopt;
}

bool addExclude(LinkFilter &filter, const std::string &pattern, std::string &error)
{
    try {
        filter.excludes.push_back({pattern, std::regex(pattern, std::regex::ECMAScript)});
        return true;
    } catch (const std::regex_error &e) {
        error = "--exclude: '" + pattern + "' is not a valid regular expression (" + e.what() +
                ")";
        return false;
    }
}

bool addExcludeFile(LinkFilter &filter, const std::string &file, std::string &error)
{
    std::ifstream in(file);
    if (!in) {
        error = "--exclude-file: cannot read '" + file + "': " + std::strerror(errno);
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        const auto end = line.find_last_not_of(" \t");
        if (!addExclude(filter, line.substr(start, end - start + 1), error)) {
            error = "--exclude-file: " + file + ", line " + std::to_string(number) + ": " +
                    error.substr(std::strlen("--exclude: "));
            return false;
        }
    }
    if (in.bad()) {
        error = "--exclude-file: cannot read '" + file + "'";
        return false;
    }
    return true;
}

} // namespace quorvel::cli
