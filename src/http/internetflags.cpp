#include "http/internetflags.h"

#include "inet/inet.h"

#include <array>

namespace quorvel
{

namespace
{

namespace inet = platform::inet;

// Indexed by member ordinal.
constexpr std::array<std::uint32_t, internetFlagCount> requestFlagTable = {
    inet::INTERNET_FLAG_CACHE_IF_NET_FAIL,
    inet::INTERNET_FLAG_DONT_CACHE,
    inet::INTERNET_FLAG_HYPERLINK,
    inet::INTERNET_FLAG_IGNORE_CERT_CN_INVALID,
    inet::INTERNET_FLAG_IGNORE_CERT_DATE_INVALID,
    inet::INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP,
    inet::INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS,
    inet::INTERNET_FLAG_KEEP_CONNECTION,
    inet::INTERNET_FLAG_NEED_FILE,
    inet::INTERNET_FLAG_NO_AUTH,
    inet::INTERNET_FLAG_NO_AUTO_REDIRECT,
    inet::INTERNET_FLAG_NO_CACHE_WRITE,
    inet::INTERNET_FLAG_NO_COOKIES,
    inet::INTERNET_FLAG_NO_UI,
    inet::INTERNET_FLAG_PRAGMA_NOCACHE,
    inet::INTERNET_FLAG_RELOAD,
    inet::INTERNET_FLAG_RESYNCHRONIZE,
};

} // namespace

std::uint32_t requestFlagOf(TInternetFlag member)
{
    return member < internetFlagCount ? requestFlagTable[member] : 0;
}

std::uint32_t requestFlagsOf(TInternetFlags flags)
{
    std::uint32_t result = 0;
    for (unsigned member = 0; member < internetFlagCount; ++member) {
        if (flags.contains(static_cast<TInternetFlag>(member)))
            result |= requestFlagTable[member];
    }
    return result;
}

} // namespace quorvel
