#include "cli/requesttarget.h"

#include "inet/inet.h"
#include "inet/url.h"

namespace quorvel::cli
{

namespace inet = platform::inet;

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
    target.host = parts.hostName;
    if (target.host.size() > 2 && target.host.front() == '[' && target.host.back() == ']')
        target.host = target.host.substr(1, target.host.size() - 2);
    target.port = parts.port != 0 ? parts.port : (target.secure ? 443 : 80);
    target.object = parts.urlPath + parts.extraInfo;
    if (target.object.empty() || target.object.front() != '/')
        target.object = "/" + target.object;
    target.user = parts.userName;
    target.password = parts.password;
    inet::formHost(target);
    error = 0;
    return target;
}

std::string hostKey(const RequestTarget &target)
{
    return inet::lowerHost(target.host);
}

} // namespace quorvel::cli
