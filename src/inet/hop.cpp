#include "inet/hop.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "inet/idna.h"
#include "inet/inet.h"
#include "inet/inet_errors.h"
#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"
#include "inet/url.h"

namespace quorvel::platform::inet
{

std::string lowerHost(const std::string &host)
{
    std::string text = host;
    for (auto &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string formHop(HopTarget &target)
{
    formHost(target);
    return hopUrl(target);
}

void formHost(HopTarget &target)
{
    if (std::optional<std::string> ascii = hostToAscii(target.host))
        target.host = std::move(*ascii);
}

std::string hopUrl(const HopTarget &target)
{
    const bool defaultPort = target.port == (target.secure ? 443 : 80);
    const std::string object = encodeObjectName(target.object);
    std::string url;
    url.reserve(16 + target.host.size() + object.size());
    url += target.secure ? "https://" : "http://";
    url += urlHost(lowerHost(target.host));
    if (!defaultPort) {
        url += ':';
        url += std::to_string(target.port);
    }
    url += object;
    return url;
}

bool isAddressLiteral(const std::string &host)
{
    std::string bare = host;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']')
        bare = bare.substr(1, bare.size() - 2);
    unsigned char buffer[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, bare.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, bare.c_str(), buffer) == 1;
}

bool isReservedInvalid(const std::string &host)
{
    std::string name = lowerHost(host);
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    return name == "invalid" || name.ends_with(".invalid");
}

std::uint32_t refusedHost(const std::string &host)
{
    return !plausibleHost(host) || isReservedInvalid(host) ? ERROR_INTERNET_NAME_NOT_RESOLVED : 0;
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::uint32_t redirectHop(HopTarget &target, int &hops, const std::string &currentUrl,
                          const std::string &location, std::string &next)
{
    UrlParts parts;
    if (++hops > maxRedirects || !InternetCombineUrl(currentUrl, location, next) ||
        !InternetCrackUrl(next, parts) ||
        (parts.scheme != UrlScheme::Http && parts.scheme != UrlScheme::Https))
        return ERROR_HTTP_REDIRECT_FAILED;
    // The object is taken from the combined text as it stands: decoding it would turn an
    // escaped '/' or '?' into a real one. The fragment never goes to the server.
    const std::string rest = next.substr(next.find("://") + 3);
    const auto objectStart = rest.find_first_of("/?#");
    std::string object = objectStart == std::string::npos ? "/" : rest.substr(objectStart);
    object = object.substr(0, object.find('#'));
    if (object.empty() || object.front() != '/')
        object.insert(0, "/");

    target.secure = parts.scheme == UrlScheme::Https;
    target.host = parts.hostName;
    if (target.host.size() > 2 && target.host.front() == '[' && target.host.back() == ']')
        target.host = target.host.substr(1, target.host.size() - 2);
    target.port = parts.port;
    target.object = std::move(object);
    return 0;
}

void setUpHop(CURL *easy, void *owner, const std::string &url, long connectTimeoutMs)
{
    curl_easy_setopt(easy, CURLOPT_PRIVATE, owner);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
    // The environment's proxy settings are not ours.
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
}

std::string agentHeader(const std::string &agent)
{
    return "User-Agent: " + agent;
}

std::string resolveEntry(const std::string &host, std::uint16_t port,
                         const std::vector<std::string> &addresses)
{
    std::string entry = lowerHost(host) + ":" + std::to_string(port) + ":";
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        entry += i == 0 ? "" : ",";
        entry += addresses[i].find(':') != std::string::npos ? "[" + addresses[i] + "]"
                                                              : addresses[i];
    }
    return entry;
}

void HopAnswer::resetAnswer()
{
    head.clear();
    status = 0;
    inHead = false;
    headDone = false;
    redirectTo.reset();
    discarded = 0;
    discardCut = false;
    refusal = 0;
}

HopAnswer::Line HopAnswer::takeHeaderLine(std::string_view line)
{
    if (line.starts_with("HTTP/")) {
        head.clear();
        appendHeaderLine(head, line);
        status = statusCodeOf(line);
        inHead = true;
        headDone = false;
        redirectTo.reset();
        return Line::StatusLine;
    }
    if (!inHead)
        return Line::Ignored;
    if (head.size() + line.size() > maxHeaderBlock) {
        refusal = ERROR_HTTP_HEADERS_TOO_LARGE;
        return Line::Refused;
    }
    if (!appendHeaderLine(head, line))
        return Line::Header;
    inHead = false;
    headDone = true;
    if (status >= 100 && status < 200 && status != 101) {
        head.clear();
        headDone = false;
        return Line::Interim;
    }
    if (followRedirects && isRedirectStatus(status)) {
        if (auto location = headerValue(head, "Location"); location && !location->empty())
            redirectTo = std::move(location);
    }
    return Line::Ended;
}

bool HopAnswer::discardRedirectBody(std::size_t bytes)
{
    if (!redirectTo)
        return false;
    discarded += bytes;
    discardCut = discarded > redirectBodyLimit;
    return true;
}

HopAnswer::Outcome HopAnswer::outcome(CURLcode result) const
{
    if (refusal != 0)
        return {Outcome::Kind::Failed, refusal, false};
    // A redirect's body too long to wait for ends the hop as well as its last byte does.
    if (redirectTo && (result == CURLE_OK || (result == CURLE_WRITE_ERROR && discardCut)))
        return {Outcome::Kind::Redirect, 0, false};
    if (result != CURLE_OK)
        return {Outcome::Kind::Failed, errorFromCurl(result), true};
    if (!headDone)
        return {Outcome::Kind::Failed, ERROR_HTTP_INVALID_SERVER_RESPONSE, false};
    return {Outcome::Kind::Answered, 0, false};
}

} // namespace quorvel::platform::inet
