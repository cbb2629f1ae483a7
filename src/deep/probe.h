#pragma once
// The made-up address that shows how a site answers for a page it does not have: 24 random
// letters in the link's own directory, asked once per host and directory.

#include <random>
#include <string>
#include <string_view>

namespace quorvel::deep
{

constexpr std::size_t probeLetters = 24;

// The key under which a probe is kept for a run: the host (with a port other than the
// scheme's) and the directory of the link. Links on one site by http and by https share it.
// Empty for an address that is not http(s).
std::string probeKey(std::string_view linkUrl);

// scheme://host/directory/ followed by probeLetters random lower-case letters; empty for an
// address that is not http(s). No site has such a page, so its answer is the site's answer for
// a missing page.
std::string probeAddress(std::string_view linkUrl, std::mt19937_64 &random);
std::string probeAddress(std::string_view linkUrl);

} // namespace quorvel::deep
