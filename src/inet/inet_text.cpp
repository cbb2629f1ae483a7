#include "inet/inet_text.h"

#include <algorithm>
#include <cctype>

#include <curl/curl.h>

namespace quorvel::platform::inet
{

namespace
{

bool isHex(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Calls visit(name, value) for every "Name: value" line of a raw header block.
template <typename Visit> void forEachHeader(std::string_view raw, Visit visit)
{
    while (!raw.empty()) {
        const auto end = raw.find('\n');
        const std::string_view line = raw.substr(0, end);
        raw = end == std::string_view::npos ? std::string_view{} : raw.substr(end + 1);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || line.starts_with("HTTP/"))
            continue;
        if (!visit(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1))))
            return;
    }
}

} // namespace

std::string encodeObjectName(std::string_view objectName)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    static constexpr std::string_view unsafe = "\"<>\\^`{|}[]";
    std::string result;
    result.reserve(objectName.size());
    for (std::size_t i = 0; i < objectName.size(); ++i) {
        const auto c = static_cast<unsigned char>(objectName[i]);
        const bool escape =
            c <= 0x20 || c >= 0x7f || unsafe.find(static_cast<char>(c)) != std::string_view::npos ||
            (c == '%' &&
             !(i + 2 < objectName.size() && isHex(objectName[i + 1]) && isHex(objectName[i + 2])));
        if (escape) {
            result += '%';
            result += digits[c >> 4];
            result += digits[c & 0x0f];
        } else {
            result += static_cast<char>(c);
        }
    }
    return result;
}

bool splitHeaderBlock(std::string_view block, std::vector<std::string> &lines)
{
    std::vector<std::string> result;
    while (!block.empty()) {
        const auto end = block.find('\n');
        std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view{} : block.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const auto colon = line.find(':');
        const bool control = std::any_of(line.begin(), line.end(), [](char c) {
            return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f;
        });
        if (colon == std::string_view::npos || colon == 0 || control ||
            trimmed(line.substr(0, colon)).size() != colon)
            return false;
        result.emplace_back(line);
    }
    lines = std::move(result);
    return true;
}

int statusCodeOf(std::string_view statusLine)
{
    const auto space = statusLine.find(' ');
    if (space == std::string_view::npos || statusLine.size() < space + 4)
        return 0;
    int status = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        if (statusLine[i] < '0' || statusLine[i] > '9')
            return 0;
        status = status * 10 + (statusLine[i] - '0');
    }
    return status;
}

bool appendHeaderLine(std::string &block, std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    block.append(line).append("\r\n");
    return line.empty();
}

std::optional<std::string> headerValue(std::string_view rawHeaders, std::string_view name)
{
    std::optional<std::string> found;
    forEachHeader(rawHeaders, [&](std::string_view key, std::string_view value) {
        if (!equalsNoCase(key, name))
            return true;
        found = std::string(value);
        return false;
    });
    return found;
}

long offeredAuthSchemes(std::string_view rawHeaders, std::string_view name)
{
    long mask = 0;
    forEachHeader(rawHeaders, [&](std::string_view key, std::string_view value) {
        if (!equalsNoCase(key, name))
            return true;
        // Challenges are "Scheme params, Scheme params"; a scheme is a token before a blank
        // or at the start of a comma-separated item without '='.
        std::size_t at = 0;
        while (at < value.size()) {
            auto end = value.find(',', at);
            std::string_view item = trimmed(value.substr(at, end - at));
            at = end == std::string_view::npos ? value.size() : end + 1;
            const auto space = item.find(' ');
            const std::string_view token = item.substr(0, space);
            if (token.find('=') != std::string_view::npos)
                continue;
            if (equalsNoCase(token, "Basic"))
                mask |= CURLAUTH_BASIC;
            else if (equalsNoCase(token, "Digest"))
                mask |= CURLAUTH_DIGEST;
            else if (equalsNoCase(token, "NTLM"))
                mask |= CURLAUTH_NTLM;
            else if (equalsNoCase(token, "Negotiate"))
                mask |= CURLAUTH_NEGOTIATE;
        }
        return true;
    });
    return mask;
}

std::string urlHost(const std::string &host)
{
    if (host.find(':') != std::string::npos && !host.starts_with('['))
        return "[" + host + "]";
    return host;
}

bool plausibleHost(std::string_view host)
{
    if (host.empty() || host.size() > 255)
        return false;
    if (host.starts_with('[') && host.ends_with(']'))
        host = host.substr(1, host.size() - 2);
    return std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' ||
               c == ':' || static_cast<unsigned char>(c) >= 0x80;
    });
}

bool hasControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

} // namespace quorvel::platform::inet
