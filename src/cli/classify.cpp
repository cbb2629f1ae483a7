#include "cli/classify.h"

#include "inet/inet.h"
#include "verify/deadlinkrule.h"
#include "verify/linkcheck.h"

namespace quorvel::cli
{

std::optional<std::string_view> skipReason(const std::string &url, bool httpOnly)
{
    if (isHttpLink(url))
        return std::nullopt;
    if (isHttpsLink(url))
        return httpOnly ? std::optional(reason::httpOnly) : std::nullopt;
    // The catalogue's text for a shortcut without a URL.
    if (url == "no path")
        return reason::noPath;
    return reason::otherScheme;
}

CheckResult classifyOutcome(const LinkOutcome &outcome)
{
    CheckResult result;
    result.status = outcome.status;
    result.error = outcome.error;
    if (outcome.error != 0) {
        result.errorText = platform::inet::FormatMessage(outcome.error);
        while (!result.errorText.empty() &&
               (result.errorText.back() == '\n' || result.errorText.back() == '\r'))
            result.errorText.pop_back();
    }
    result.finalUrl = outcome.finalUrl;
    result.permanentUrl = outcome.permanentUrl;
    result.redirects = outcome.redirects;
    result.bodyCut = outcome.bodyCut;
    result.milliseconds = outcome.elapsed.count();
    result.tries = outcome.tries;
    result.hostVerdict = outcome.hostVerdict;

    // A body that failed after a 404 counts as the 404 it was, as the window counts it too.
    const auto findings = notFoundFindings(outcome.headerLines);
    if (!findings.empty()) {
        result.kind = ResultKind::Dead;
        result.reason = reason::notFound;
        result.evidence = findings.front();
    } else if (outcome.error != 0) {
        result.kind = ResultKind::Dead;
        result.reason = reason::error;
    } else if (outcome.status == 410) {
        // Gone for good, as its server says: dead here, though the window's rule knows only 404.
        result.kind = ResultKind::Dead;
        result.reason = reason::gone;
        result.evidence = outcome.statusLine;
    } else {
        result.kind = ResultKind::Alive;
        // Every answer asked to come back later: alive by the rule, but not a verdict.
        result.unverified = outcome.rateLimited;
    }
    return result;
}

} // namespace quorvel::cli
