#include "deep/weburl.h"

#include "platform/asciitext.h"

#include <algorithm>
#include <array>

namespace quorvel::deep
{

namespace
{

bool isDefaultPort(const std::string &scheme, const std::string &port)
{
    return port.empty() || (scheme == "http" && port == "80") ||
           (scheme == "https" && port == "443");
}

} // namespace

std::string WebAddress::authority() const
{
    std::string out = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    if (!isDefaultPort(scheme, port))
        out += ":" + port;
    return out;
}

std::string WebAddress::directory() const
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("/") : path.substr(0, slash + 1);
}

std::string WebAddress::lastSegment() const
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<WebAddress> parseWebAddress(std::string_view url)
{
    const auto colon = url.find("://");
    if (colon == std::string_view::npos)
        return std::nullopt;
    WebAddress address;
    address.scheme = platform::asciiLower(url.substr(0, colon));
    if (address.scheme != "http" && address.scheme != "https")
        return std::nullopt;
    std::string_view rest = url.substr(colon + 3);
    rest = rest.substr(0, rest.find('#'));

    const auto authorityEnd = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, authorityEnd);
    rest = authorityEnd == std::string_view::npos ? std::string_view{} : rest.substr(authorityEnd);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);

    std::string_view host = authority;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = authority.substr(1, close - 1);
        if (close + 1 < authority.size() && authority[close + 1] == ':')
            address.port = authority.substr(close + 2);
    } else if (const auto portColon = authority.rfind(':'); portColon != std::string_view::npos) {
        host = authority.substr(0, portColon);
        address.port = authority.substr(portColon + 1);
    }
    if (host.empty())
        return std::nullopt;
    address.host = platform::asciiLower(host);
    while (!address.host.empty() && address.host.back() == '.')
        address.host.pop_back(); // "example.com." is the same host
    while (address.port.size() > 1 && address.port.front() == '0')
        address.port.erase(0, 1); // ":080" is port 80

    const auto question = rest.find('?');
    address.path = rest.substr(0, question);
    if (question != std::string_view::npos)
        address.query = rest.substr(question + 1);
    if (address.path.empty())
        address.path = "/";
    return address;
}

std::string canonicalAddress(std::string_view url)
{
    const auto address = parseWebAddress(url);
    if (!address)
        return std::string(url);
    std::string out = address->scheme + "://" + address->authority() + address->path;
    if (!address->query.empty())
        out += "?" + address->query;
    return out;
}

std::string siteOf(const WebAddress &address)
{
    std::string authority = address.authority();
    if (authority.rfind("www.", 0) == 0)
        authority.erase(0, 4);
    return authority;
}

bool isHomePage(const WebAddress &address)
{
    if (address.path == "/")
        return true;
    if (address.path.find('/', 1) != std::string::npos)
        return false;
    const std::string name = platform::asciiLower(address.path.substr(1));
    const std::string stem = name.substr(0, name.find('.'));
    static constexpr std::array<std::string_view, 4> indexNames{"index", "default", "home",
                                                                "welcome"};
    return std::find(indexNames.begin(), indexNames.end(), stem) != indexNames.end();
}

std::string percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && platform::hexDigitValue(text[i + 1]) >= 0 &&
            platform::hexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(platform::hexDigitValue(text[i + 1]) * 16 +
                                     platform::hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace quorvel::deep
