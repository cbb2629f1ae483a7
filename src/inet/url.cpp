#include "inet/url.h"
#include "platform/asciitext.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "inet/inet.h"

namespace quorvel::platform
{

namespace
{

using inet::ERROR_INSUFFICIENT_BUFFER;
using inet::ERROR_INTERNET_INVALID_URL;
using inet::ERROR_INTERNET_UNRECOGNIZED_SCHEME;

constexpr std::size_t maxHostName = 255;
constexpr std::size_t maxUserName = 127;
constexpr std::size_t maxPassword = 127;
constexpr std::size_t maxUrlPath = 2047;
constexpr std::size_t maxExtraInfo = 2047;

bool fail(std::uint32_t code)
{
    inet::SetLastError(code);
    return false;
}

std::string lower(std::string_view text)
{
    std::string result(text);
    for (auto &c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

// Leading and trailing blanks and control characters are not part of a URL; shortcut files and
// pasted text often carry them.
std::string_view trimmed(std::string_view text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// %xx becomes its byte; a '%' not followed by two hex digits stays as it is.
std::string decoded(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 &&
            hexDigitValue(text[i + 2]) >= 0) {
            result +=
                static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

// The scheme is letters, digits, '+', '-' and '.', starting with a letter (RFC 3986 3.1).
std::optional<std::string_view> schemeOf(std::string_view url)
{
    const auto colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    const std::string_view scheme = url.substr(0, colon);
    if (!std::isalpha(static_cast<unsigned char>(scheme.front())))
        return std::nullopt;
    const bool valid = std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
    if (!valid)
        return std::nullopt;
    return scheme;
}

struct KnownScheme {
    std::string_view name;
    UrlScheme scheme;
    std::uint16_t defaultPort;
    bool needsHost;
};

constexpr KnownScheme knownSchemes[] = {
    {"http", UrlScheme::Http, 80, true},      {"https", UrlScheme::Https, 443, true},
    {"ftp", UrlScheme::Ftp, 21, true},        {"file", UrlScheme::File, 0, false},
    {"gopher", UrlScheme::Other, 70, true},   {"news", UrlScheme::Other, 0, false},
    {"mailto", UrlScheme::Other, 0, false},   {"javascript", UrlScheme::Other, 0, false},
    {"vbscript", UrlScheme::Other, 0, false}, {"res", UrlScheme::Other, 0, false},
};

const KnownScheme *findScheme(const std::string &name)
{
    for (const auto &known : knownSchemes) {
        if (known.name == name)
            return &known;
    }
    return nullptr;
}

bool parsePort(std::string_view text, std::uint16_t &port)
{
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

// A reference split as RFC 3986 section 3 does; absent parts are distinct from empty ones.
struct Reference {
    std::optional<std::string> scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

bool isWebScheme(const std::optional<std::string> &scheme)
{
    return scheme == "http" || scheme == "https";
}

// Browsers take a backslash before the query of an http(s) URL for a slash, so that
// "\\host\a\b" reaches the same place as "//host/a/b".
std::string slashed(std::string_view text)
{
    std::string result(text);
    const std::size_t end = std::min(result.find_first_of("?#"), result.size());
    std::replace(result.begin(), result.begin() + std::ptrdiff_t(end), '\\', '/');
    return result;
}

// Splits text; fallbackScheme is the scheme the reference is resolved in when it names none.
Reference splitReference(std::string_view text,
                         const std::optional<std::string> &fallbackScheme = {})
{
    Reference ref;
    if (const auto scheme = schemeOf(text)) {
        ref.scheme = lower(*scheme);
        text.remove_prefix(scheme->size() + 1);
    }
    std::string web;
    if (isWebScheme(ref.scheme ? ref.scheme : fallbackScheme)) {
        web = slashed(text);
        text = web;
    }
    if (const auto hash = text.find('#'); hash != std::string_view::npos) {
        ref.fragment = std::string(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    if (const auto question = text.find('?'); question != std::string_view::npos) {
        ref.query = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    if (text.substr(0, 2) == "//") {
        text.remove_prefix(2);
        const auto slash = text.find('/');
        ref.authority = std::string(text.substr(0, slash));
        text = slash == std::string_view::npos ? std::string_view{} : text.substr(slash);
    }
    ref.path = std::string(text);
    return ref;
}

// RFC 3986 5.2.4.
std::string removeDotSegments(std::string input)
{
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.erase(0, 3);
        } else if (input.starts_with("./")) {
            input.erase(0, 2);
        } else if (input.starts_with("/./")) {
            input.erase(0, 2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../") || input == "/..") {
            input = input.size() == 3 ? std::string("/") : input.substr(3);
            const auto last = output.rfind('/');
            output.erase(last == std::string::npos ? 0 : last);
        } else if (input == "." || input == "..") {
            input.clear();
        } else {
            const auto next = input.find('/', input.front() == '/' ? 1 : 0);
            output += input.substr(0, next);
            input.erase(0, next == std::string::npos ? input.size() : next);
        }
    }
    return output;
}

std::string merge(const Reference &base, const std::string &path)
{
    if (base.authority && base.path.empty())
        return "/" + path;
    const auto slash = base.path.rfind('/');
    if (slash == std::string::npos)
        return path;
    return base.path.substr(0, slash + 1) + path;
}

std::string recompose(const Reference &ref)
{
    std::string text;
    if (ref.scheme)
        text += *ref.scheme + ":";
    if (ref.authority)
        text += "//" + *ref.authority;
    text += ref.path;
    if (ref.query)
        text += "?" + *ref.query;
    if (ref.fragment)
        text += "#" + *ref.fragment;
    return text;
}

std::string spacesEncoded(const std::string &text)
{
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c == ' ')
            result += "%20";
        else
            result += c;
    }
    return result;
}

} // namespace

bool InternetCrackUrl(const std::string &url, UrlParts &parts)
{
    std::string_view text = trimmed(url);
    if (text.empty())
        return fail(ERROR_INTERNET_INVALID_URL);
    const auto schemeText = schemeOf(text);
    if (!schemeText)
        return fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    const std::string schemeName = lower(*schemeText);
    const KnownScheme *known = findScheme(schemeName);
    if (!known)
        return fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    text.remove_prefix(schemeText->size() + 1);

    UrlParts result;
    result.scheme = known->scheme;
    result.schemeName = schemeName;
    result.port = known->defaultPort;

    if (text.substr(0, 2) == "//") {
        text.remove_prefix(2);
        const auto authorityEnd = text.find_first_of("/?#");
        std::string_view authority = text.substr(0, authorityEnd);
        text =
            authorityEnd == std::string_view::npos ? std::string_view{} : text.substr(authorityEnd);

        if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
            const std::string_view userInfo = authority.substr(0, at);
            authority.remove_prefix(at + 1);
            const auto colon = userInfo.find(':');
            result.userName = decoded(userInfo.substr(0, colon));
            if (colon != std::string_view::npos)
                result.password = decoded(userInfo.substr(colon + 1));
        }

        std::string_view host = authority;
        std::string_view portText;
        if (host.starts_with('[')) {
            const auto close = host.find(']');
            if (close == std::string_view::npos)
                return fail(ERROR_INTERNET_INVALID_URL);
            portText = host.substr(close + 1);
            host = host.substr(0, close + 1);
            if (!portText.empty() && portText.front() != ':')
                return fail(ERROR_INTERNET_INVALID_URL);
        } else if (const auto colon = host.rfind(':'); colon != std::string_view::npos) {
            portText = host.substr(colon);
            host = host.substr(0, colon);
        }
        if (portText.size() > 1 && !parsePort(portText.substr(1), result.port))
            return fail(ERROR_INTERNET_INVALID_URL);
        if (host.empty() && known->needsHost)
            return fail(ERROR_INTERNET_INVALID_URL);
        if (std::any_of(host.begin(), host.end(),
                        [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
            return fail(ERROR_INTERNET_INVALID_URL);
        result.hostName = std::string(host);
    } else if (known->needsHost) {
        return fail(ERROR_INTERNET_INVALID_URL);
    }

    const auto extraStart = text.find_first_of("?#");
    result.urlPath = decoded(text.substr(0, extraStart));
    if (extraStart != std::string_view::npos)
        result.extraInfo = decoded(text.substr(extraStart));

    if (result.hostName.size() > maxHostName || result.userName.size() > maxUserName ||
        result.password.size() > maxPassword || result.urlPath.size() > maxUrlPath ||
        result.extraInfo.size() > maxExtraInfo)
        return fail(ERROR_INSUFFICIENT_BUFFER);

    parts = std::move(result);
    inet::SetLastError(inet::ERROR_SUCCESS);
    return true;
}

bool InternetCombineUrl(const std::string &base, const std::string &relative, std::string &result,
                        std::size_t bufferLength)
{
    Reference baseRef = splitReference(base);
    if (!baseRef.scheme)
        return fail(ERROR_INTERNET_INVALID_URL);
    // The base is a URL as a browser holds it: its own dot segments are already resolved.
    if (baseRef.authority || baseRef.path.starts_with('/'))
        baseRef.path = removeDotSegments(baseRef.path);
    const Reference ref = splitReference(relative, baseRef.scheme);

    // RFC 3986 5.2.2, strict: a reference with a scheme stands on its own.
    Reference target;
    if (ref.scheme) {
        target = ref;
        target.path = removeDotSegments(ref.path);
    } else {
        target.scheme = baseRef.scheme;
        if (ref.authority) {
            target.authority = ref.authority;
            target.path = removeDotSegments(ref.path);
            target.query = ref.query;
        } else {
            target.authority = baseRef.authority;
            if (ref.path.empty()) {
                target.path = baseRef.path;
                target.query = ref.query ? ref.query : baseRef.query;
            } else {
                target.path = removeDotSegments(ref.path.front() == '/' ? ref.path
                                                                        : merge(baseRef, ref.path));
                target.query = ref.query;
            }
        }
        target.fragment = ref.fragment;
    }
    // A browser shows "http://host" as "http://host/": the request needs a path anyway.
    if (target.authority && target.path.empty() &&
        (target.scheme == "http" || target.scheme == "https" || target.scheme == "ftp"))
        target.path = "/";

    std::string combined = spacesEncoded(recompose(target));
    if (combined.size() + 1 > bufferLength)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    result = std::move(combined);
    inet::SetLastError(inet::ERROR_SUCCESS);
    return true;
}

} // namespace quorvel::platform
