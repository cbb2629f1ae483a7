#pragma once
// The facility's fixed limits. The time limits can be shortened by tests so that a stalled or
// endless answer does not hold a test for a minute.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quorvel::platform::inet
{

// Connect limit when no INTERNET_OPTION_CONNECT_TIMEOUT was set.
constexpr std::uint32_t defaultConnectTimeoutMs = 60000;
// Redirects followed for one send before it fails with ERROR_HTTP_REDIRECT_FAILED.
constexpr int maxRedirects = 20;
// The longest header block a response may have; a longer one fails the send with
// ERROR_HTTP_HEADERS_TOO_LARGE rather than growing without end.
constexpr std::size_t maxHeaderBlock = 256 * 1024;
// A redirect's own body is thrown away; past this much it is not waited for.
constexpr std::size_t redirectBodyLimit = 1024 * 1024;

// A transfer that receives nothing for this long fails with ERROR_INTERNET_TIMEOUT.
std::chrono::seconds receiveTimeout();
void setReceiveTimeout(std::chrono::seconds limit);

// Every send ends within its connect limit plus this, counted from HttpSendRequest, whatever the
// server does (one byte a second, a body without end): a send still waiting for its answer then
// fails with ERROR_INTERNET_TIMEOUT, and a body still arriving ends with that error after the
// bytes that came. 60 seconds.
std::chrono::milliseconds transferTimeLimit();
void setTransferTimeLimit(std::chrono::milliseconds limit);

} // namespace quorvel::platform::inet
