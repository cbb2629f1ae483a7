#pragma once
// Turning a link's outcome into its verdict with the window's rule, and deciding which links
// are not requested at all.

#include "cli/checkresult.h"
#include "cli/linkchecker.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::cli
{

// The reason a link is skipped, or nothing when it is to be requested: "no path" shortcuts and
// schemes other than http (and https unless httpOnly).
std::optional<std::string_view> skipReason(const std::string &url, bool httpOnly);

// Dead when a header line of the final response holds a 404 text, the request failed or the
// final answer was 410; alive otherwise (unverified when every answer was 429 or 503).
CheckResult classifyOutcome(const LinkOutcome &outcome);

} // namespace quorvel::cli
