#include "deep/verdict.h"

#include "deep/charset.h"
#include "deep/similarity.h"
#include "deep/weburl.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace quorvel::deep
{

namespace
{

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

bool wasRedirected(const DeepAnswer &answer)
{
    return canonicalAddress(answer.finalUrl) != canonicalAddress(answer.requestedUrl);
}

// Sign-in and consent pages look the same whichever page sent a visitor there; a favorite
// behind one is not dead for that. Known by a path segment ("/login", "/account/sign-in.php")
// or by a host set apart for them ("consent.example.com", "login.example.net").
bool isGatePage(const WebAddress &address)
{
    static constexpr std::array<std::string_view, 17> pathNames{
        "login", "log-in",   "log_in",  "signin",         "sign-in",       "sign_in",
        "logon", "auth",     "oauth",   "authenticate",   "authorize",     "sso",
        "saml",  "wp-login", "consent", "collectconsent", "cookie-consent"};
    static constexpr std::array<std::string_view, 9> hostNames{
        "login", "signin", "auth", "sso", "accounts", "account", "consent", "id", "idp"};

    const std::string_view firstLabel =
        std::string_view(address.host).substr(0, address.host.find('.'));
    if (address.host.find('.') != std::string::npos &&
        std::find(hostNames.begin(), hostNames.end(), firstLabel) != hostNames.end())
        return true;

    std::string path;
    for (const char c : address.path)
        path += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    for (std::size_t start = 0; start < path.size();) {
        auto end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string_view segment = std::string_view(path).substr(start, end - start);
        const std::string_view stem = segment.substr(0, segment.find('.'));
        if (std::find(pathNames.begin(), pathNames.end(), stem) != pathNames.end())
            return true;
        start = end + 1;
    }
    return false;
}

// "/dir/qzvbnm..." for a probe address: enough to recognise it, short enough for a report.
std::string shortProbePath(const DeepAnswer &probe)
{
    const auto address = parseWebAddress(probe.requestedUrl);
    if (!address)
        return probe.requestedUrl;
    const std::string segment = address->lastSegment();
    return address->directory() + segment.substr(0, 6) + (segment.size() > 6 ? "..." : "");
}

DeepVerdict suspect(SuspectReason reason, std::string evidence)
{
    DeepVerdict verdict;
    verdict.reason = reason;
    verdict.evidence = std::move(evidence);
    return verdict;
}

std::string quoted(const std::string &text)
{
    return "'" + text + "'";
}

std::optional<DeepVerdict> parkedVerdict(const DeepAnswer &link, const WebAddress &requested,
                                         const WebAddress &final, const ParkingPhrases &phrases)
{
    const auto match = phrases.find(link.page);
    if (!match)
        return std::nullopt;
    std::string evidence =
        std::string(match->inTitle ? "title" : "text") + " matches " + quoted(match->phrase->text);
    if (siteOf(final) != siteOf(requested))
        evidence = "redirected to " + final.authority() + ", whose " + evidence;
    return suspect(SuspectReason::Parked, std::move(evidence));
}

} // namespace

DeepAnswer readAnswer(std::string requestedUrl, std::string finalUrl, int status,
                      std::string_view contentType, std::string_view body)
{
    DeepAnswer answer;
    answer.requestedUrl = std::move(requestedUrl);
    answer.finalUrl = finalUrl.empty() ? answer.requestedUrl : std::move(finalUrl);
    answer.status = status;
    const DecodedBody decoded = decodeBody(body.substr(0, maxBodyBytes), contentType);
    if (decoded.kind == BodyKind::Html)
        answer.page = htmlPageText(decoded.text);
    else if (decoded.kind == BodyKind::Plain)
        answer.page = plainPageText(decoded.text);
    return answer;
}

std::string_view reasonText(SuspectReason reason)
{
    switch (reason) {
    case SuspectReason::SoftNotFound:
        return "soft 404";
    case SuspectReason::MovedToHomePage:
        return "moved to the home page";
    case SuspectReason::Parked:
        return "parked";
    case SuspectReason::None:
        break;
    }
    return {};
}

DeepVerdict judgeLink(const DeepAnswer &link, const DeepAnswer *probe,
                      const ParkingPhrases &phrases)
{
    if (!isSuccess(link.status))
        return {};
    const auto requested = parseWebAddress(link.requestedUrl);
    const auto final = parseWebAddress(link.finalUrl);
    if (!requested || !final)
        return {};

    // A parked domain is dead at its home page too, and wherever the link was sent.
    if (auto parked = parkedVerdict(link, *requested, *final, phrases))
        return *parked;

    const bool deepLink = !isHomePage(*requested);
    const bool redirected = wasRedirected(link);
    if (deepLink && redirected && isHomePage(*final) && siteOf(*final) == siteOf(*requested))
        return suspect(SuspectReason::MovedToHomePage,
                       "redirected to the home page " + link.finalUrl);

    // A probe answered 404 or 410 shows real error pages: then a 2xx page is a real page. Any
    // other failure of the probe leaves nothing to compare.
    if (!probe || !isSuccess(probe->status) || !deepLink)
        return {};

    // Only a link that was itself redirected can share the probe's destination: a link to the
    // very page where made-up addresses land (a search page, say) is that page.
    const auto probeFinal = parseWebAddress(probe->finalUrl);
    if (redirected && wasRedirected(*probe) && probeFinal &&
        canonicalAddress(link.finalUrl) == canonicalAddress(probe->finalUrl)) {
        const std::string asProbe = ", as is the made-up address " + shortProbePath(*probe);
        if (isHomePage(*probeFinal))
            return suspect(SuspectReason::MovedToHomePage,
                           "redirected to the home page " + link.finalUrl + asProbe);
        if (!isGatePage(*probeFinal))
            return suspect(SuspectReason::SoftNotFound, "redirected to " + link.finalUrl + asProbe);
        return {};
    }
    if (isGatePage(*final))
        return {};

    // Pages without text of their own (drawn by scripts, or images only) cannot be told apart.
    if (link.page.text.empty() && probe->page.text.empty())
        return {};
    DeepVerdict verdict;
    const auto comparison = compareTexts(comparisonWords(link.page, link.requestedUrl),
                                         comparisonWords(probe->page, probe->requestedUrl));
    if (!comparison)
        return verdict;
    verdict.comparison = comparison;
    if (comparison->sameText()) {
        char figure[16];
        std::snprintf(figure, sizeof figure, "%.2f", comparison->similarity);
        verdict.reason = SuspectReason::SoftNotFound;
        verdict.evidence = "same page as the made-up address " + shortProbePath(*probe) +
                           " (similarity " + figure + ")";
    }
    return verdict;
}

bool wantsProbe(const DeepAnswer &link, const DeepVerdict &withoutProbe)
{
    if (withoutProbe.suspect() || !isSuccess(link.status))
        return false;
    const auto requested = parseWebAddress(link.requestedUrl);
    return requested && !isHomePage(*requested);
}

} // namespace quorvel::deep
