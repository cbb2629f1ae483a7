#pragma once
// Whether a link that answered 2xx is dead all the same: the site's "not found" page served with
// 200, an old address sent to the home page, or a parked domain. Pure functions over the link's
// final answer and, where needed, the answer to a made-up address beside it (see probe.h).

#include "deep/pagetext.h"
#include "deep/parking.h"
#include "deep/similarity.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::deep
{

// How much of a body is read and kept for these checks; the rest is not needed to tell a page.
constexpr std::size_t maxBodyBytes = 256 * 1024;

// One request's outcome as the checks need it.
struct DeepAnswer {
    std::string requestedUrl;
    std::string finalUrl; // after redirects; the requested URL when there were none
    int status = 0;       // of the final answer; 0 when the request failed
    PageText page;
};

// Builds an answer from what a request returned: the body (its first maxBodyBytes are used) is
// decoded with the charset that contentType or the page declares and reduced to its text.
DeepAnswer readAnswer(std::string requestedUrl, std::string finalUrl, int status,
                      std::string_view contentType, std::string_view body);

enum class SuspectReason { None, SoftNotFound, MovedToHomePage, Parked };

// "soft 404", "moved to the home page", "parked"; empty for None.
std::string_view reasonText(SuspectReason reason);

struct DeepVerdict {
    SuspectReason reason = SuspectReason::None;
    std::string evidence; // one short line a person can check, e.g. "title matches '...'"
    // How the link's page and the probe's compared, when their texts were compared.
    std::optional<TextComparison> comparison;

    bool suspect() const { return reason != SuspectReason::None; }
};

// The verdict on a link, given the answer to its probe when there is one (null otherwise).
// Without a probe only what the link's own answer shows is judged: parked, or a deep link
// redirected to its site's home page.
DeepVerdict judgeLink(const DeepAnswer &link, const DeepAnswer *probe,
                      const ParkingPhrases &phrases);

// Whether the probe can still change the verdict on link after judgeLink(link, nullptr) gave
// withoutProbe: a 2xx answer for a page below a site's home page not already found suspect.
bool wantsProbe(const DeepAnswer &link, const DeepVerdict &withoutProbe);

} // namespace quorvel::deep
