#include "inet/inet_lasterror.h"

#include <cstring>

#include "inet/inet.h"

namespace quorvel::platform::inet
{

namespace
{

thread_local std::uint32_t lastError = ERROR_SUCCESS;

struct ResponseInfo {
    std::uint32_t error = 0;
    std::string text;
};
thread_local ResponseInfo lastResponse;

} // namespace

std::uint32_t GetLastError()
{
    return lastError;
}

void SetLastError(std::uint32_t code)
{
    lastError = code;
}

bool failWith(std::uint32_t code)
{
    lastError = code;
    return false;
}

void setLastResponseInfo(std::uint32_t error, std::string text)
{
    lastResponse.error = error;
    lastResponse.text = std::move(text);
}

bool InternetGetLastResponseInfo(std::uint32_t *error, char *buffer, std::uint32_t *bufferLength)
{
    if (!error || !bufferLength || (!buffer && *bufferLength > 0))
        return failWith(ERROR_INVALID_PARAMETER);
    *error = lastResponse.error;
    const auto needed = static_cast<std::uint32_t>(lastResponse.text.size());
    if (*bufferLength < needed + 1) {
        *bufferLength = needed + 1;
        return failWith(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, lastResponse.text.c_str(), needed + 1);
    *bufferLength = needed;
    lastError = ERROR_SUCCESS;
    return true;
}

} // namespace quorvel::platform::inet
