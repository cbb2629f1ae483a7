#pragma once
// The facility's fixed time limits. The receive limit can be shortened by tests so that a
// stalled server does not hold a test for half a minute.

#include <chrono>
#include <cstdint>

namespace quorvel::platform::inet
{

// Connect limit when no INTERNET_OPTION_CONNECT_TIMEOUT was set.
constexpr std::uint32_t defaultConnectTimeoutMs = 60000;
// Redirects followed for one send before it fails with ERROR_HTTP_REDIRECT_FAILED.
constexpr int maxRedirects = 20;

// A transfer that receives nothing for this long fails with ERROR_INTERNET_TIMEOUT.
std::chrono::seconds receiveTimeout();
void setReceiveTimeout(std::chrono::seconds limit);

} // namespace quorvel::platform::inet
