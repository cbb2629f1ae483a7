#pragma once
// Turning libcurl's results into the facility's WinINet-numbered errors.

#include <cstdint>

#include <curl/curl.h>

namespace quorvel::platform::inet
{

std::uint32_t errorFromCurl(CURLcode code);

} // namespace quorvel::platform::inet
