#include "cli/reportdetail.h"

#include "platform/codepage.h"

#include <cmath>
#include <cstdio>

namespace quorvel::cli
{

std::string verdictDetail(const CheckResult &result)
{
    std::string detail;
    if (result.kind == ResultKind::Skipped) {
        if (result.reason == reason::noPath)
            return "the shortcut has no URL";
        if (result.reason == reason::httpOnly)
            return "https link, skipped with --http-only";
        return "not an http or https link";
    }
    if (result.kind == ResultKind::Suspect) {
        detail = result.reason + ": " + result.evidence;
        // The evidence of a redirected suspect usually names where it ended already.
        if (result.redirects > 0 && detail.find(result.finalUrl) == std::string::npos)
            detail += ", at " + result.finalUrl;
        return detail;
    }
    if (result.reason == reason::notFound) {
        detail = result.evidence;
    } else if (result.error != 0) {
        detail = "error " + std::to_string(result.error);
        if (!result.errorText.empty())
            detail += ": " + result.errorText;
        if (result.status != 0)
            detail += " (status " + std::to_string(result.status) + ")";
    } else if (!result.evidence.empty()) {
        detail = result.evidence;
    }
    if (result.redirects > 0 && !result.finalUrl.empty())
        detail += ", at " + result.finalUrl;
    if (result.unverified && result.networkLost)
        detail += ": the network stopped answering";
    else if (result.unverified)
        detail = "HTTP " + std::to_string(result.status) + ": the server asked to come back later";
    if (result.hostVerdict)
        detail += ", as its host's other links showed";
    else if (result.tries > 1)
        detail += " after " + std::to_string(result.tries) + " tries";
    return detail;
}

std::string printable(std::string_view text)
{
    const std::string valid = platform::validUtf8(text);
    std::string out;
    out.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto c = static_cast<unsigned char>(valid[i]);
        // U+0080..U+009F (C2 80..C2 9F) are controls too; a terminal may take U+009B for the
        // start of an escape sequence.
        const bool c1 =
            c == 0xC2 && i + 1 < valid.size() && static_cast<unsigned char>(valid[i + 1]) < 0xA0;
        if (c < 0x20 || c == 0x7f || c1) {
            out += '?';
            i += c1 ? 1 : 0;
        } else {
            out += valid[i];
        }
    }
    return out;
}

std::string formatSeconds(double seconds)
{
    char buffer[64];
    if (seconds < 60) {
        std::snprintf(buffer, sizeof buffer, "%.1f s", seconds);
    } else {
        const auto whole = static_cast<long long>(std::llround(seconds));
        std::snprintf(buffer, sizeof buffer, "%lld min %02lld s", whole / 60, whole % 60);
    }
    return buffer;
}

std::string countOf(std::size_t count, std::string_view singular, std::string_view plural)
{
    return std::to_string(count) + " " + std::string(count == 1 ? singular : plural);
}

} // namespace quorvel::cli
