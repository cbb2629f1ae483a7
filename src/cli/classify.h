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

// Dead when a header line of the final response holds a 404 text or the request failed;
// alive otherwise.
CheckResult classifyOutcome(const LinkOutcome &outcome);

} // namespace quorvel::cli
