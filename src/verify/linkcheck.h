#pragma once
// Which favorites a run requests.

#include <string>

namespace quorvel
{

// True when the URL, upper-cased, holds "HTTP:" at its very first position. Everything else
// (https, ftp, file links, "no path", a URL with leading blanks) is skipped by the run.
bool isHttpLink(const std::string &url);

// True when the URL, upper-cased, holds "HTTPS:" at its very first position.
bool isHttpsLink(const std::string &url);

} // namespace quorvel
