#pragma once
// Wording shared by the human reports (text and Markdown).

#include "cli/checkresult.h"

#include <string>
#include <string_view>

namespace quorvel::cli
{

// Why a link is dead, suspect or skipped, in a few words: "HTTP/1.1 404 NOT FOUND",
// "error 12007: The server name or address could not be resolved", "not an http link",
// "parked: title matches '...'"...
std::string verdictDetail(const CheckResult &result);

// Control characters (a file name may hold a line break) shown as '?', so one entry stays on
// one line and a server's header line cannot steer the terminal; bytes that are not UTF-8
// shown as U+FFFD.
std::string printable(std::string_view text);

// "0.4 s", "12.3 s", "2 min 05 s".
std::string formatSeconds(double seconds);

// "1 link", "2 links".
std::string countOf(std::size_t count, std::string_view singular, std::string_view plural);

} // namespace quorvel::cli
