#include "cli/requesttarget.h"

#include "inet/idna.h"
#include "inet/inet.h"
#include "inet/inet_text.h"
#include "inet/url.h"

namespace quorvel::cli
{

namespace inet = platform::inet;

namespace
{

std::string lower(std::string text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string withoutBrackets(const std::string &host)
{
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

// A name beyond ASCII goes out in its IDNA form, as the window's facility sends it on every hop;
// one that has none stays as it is and is refused as no host.
std::string asciiHost(std::string host)
{
    if (std::optional<std::string> ascii = inet::hostToAscii(host))
        return std::move(*ascii);
    return host;
}

} // namespace

std::optional<RequestTarget> prepareRequest(const std::string &url, std::uint32_t &error)
{
    platform::UrlParts parts;
    if (!platform::InternetCrackUrl(url, parts)) {
        error = inet::GetLastError();
        if (error == 0)
            error = inet::ERROR_INTERNET_INVALID_URL;
        return std::nullopt;
    }
    if (parts.scheme != platform::UrlScheme::Http && parts.scheme != platform::UrlScheme::Https) {
        error = inet::ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        return std::nullopt;
    }
    RequestTarget target;
    target.secure = parts.scheme == platform::UrlScheme::Https;
    target.host = asciiHost(withoutBrackets(parts.hostName));
    target.port = parts.port != 0 ? parts.port : (target.secure ? 443 : 80);
    target.object = parts.urlPath + parts.extraInfo;
    if (target.object.empty() || target.object.front() != '/')
        target.object.insert(0, "/");
    target.user = parts.userName;
    target.password = parts.password;
    error = 0;
    return target;
}

std::string hopUrl(const RequestTarget &target)
{
    const bool defaultPort = target.port == (target.secure ? 443 : 80);
    return std::string(target.secure ? "https://" : "http://") + inet::urlHost(lower(target.host)) +
           (defaultPort ? std::string() : ":" + std::to_string(target.port)) +
           inet::encodeObjectName(target.object);
}

std::string hostKey(const RequestTarget &target)
{
    return lower(target.host);
}

std::uint32_t refusedHost(const std::string &host)
{
    if (!inet::plausibleHost(host))
        return inet::ERROR_INTERNET_NAME_NOT_RESOLVED;
    std::string name = lower(host);
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    // Such names never resolve; asking the network would only leak them.
    if (name == "invalid" || name.ends_with(".invalid"))
        return inet::ERROR_INTERNET_NAME_NOT_RESOLVED;
    return 0;
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<RequestTarget> redirectTarget(const RequestTarget &current,
                                            const std::string &currentUrl,
                                            const std::string &location, std::string &combinedUrl)
{
    platform::UrlParts parts;
    if (!platform::InternetCombineUrl(currentUrl, location, combinedUrl) ||
        !platform::InternetCrackUrl(combinedUrl, parts) ||
        (parts.scheme != platform::UrlScheme::Http && parts.scheme != platform::UrlScheme::Https))
        return std::nullopt;
    // The object is taken from the combined text as it stands: decoding it would turn an
    // escaped '/' or '?' into a real one. The fragment never goes to the server.
    const std::string rest = combinedUrl.substr(combinedUrl.find("://") + 3);
    const auto objectStart = rest.find_first_of("/?#");
    std::string object = objectStart == std::string::npos ? "/" : rest.substr(objectStart);
    object = object.substr(0, object.find('#'));
    if (object.empty() || object.front() != '/')
        object.insert(0, "/");

    RequestTarget next = current;
    next.secure = parts.scheme == platform::UrlScheme::Https;
    next.host = asciiHost(withoutBrackets(parts.hostName));
    next.port = parts.port;
    next.object = object;
    return next;
}

} // namespace quorvel::cli
