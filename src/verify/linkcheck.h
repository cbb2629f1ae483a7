#pragma once
// Which favorites a run requests, and the upper-casing used for every text comparison of the
// verification (ASCII letters only, so other bytes of a UTF-8 text are left as they are).

#include <string>

namespace quorvel
{

// The text with a to z changed to A to Z and every other byte unchanged.
std::string upperCaseAscii(const std::string &text);

// True when the URL, upper-cased, holds "HTTP:" at its very first position. Everything else
// (https, ftp, file links, "no path", a URL with leading blanks) is skipped by the run.
bool isHttpLink(const std::string &url);

} // namespace quorvel
