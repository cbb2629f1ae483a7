#pragma once
// The per-thread error state of the HTTP facility, as WinINet keeps it.

#include <cstdint>
#include <string>

namespace quorvel::platform::inet
{

// Records the server's response text that ERROR_INTERNET_EXTENDED_ERROR refers to, for the
// calling thread.
void setLastResponseInfo(std::uint32_t error, std::string text);

// Sets the thread's last error to code and answers false, the usual shape of a failing call.
bool failWith(std::uint32_t code);

} // namespace quorvel::platform::inet
