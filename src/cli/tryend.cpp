#include "cli/tryend.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <string>

namespace quorvel::cli
{

int triesFor(TryEnd end, int retries)
{
    switch (end) {
    case TryEnd::Transient:
    case TryEnd::ResolverFailed:
    case TryEnd::RateLimited:
        return 1 + retries;
    case TryEnd::ConnectTimedOut:
    case TryEnd::Refused:
    case TryEnd::Unreachable:
        // A host that did not take a connection twice will not take it a third time; each try
        // may cost a whole connect time-out.
        return 1 + std::min(retries, 1);
    case TryEnd::Answered:
    case TryEnd::TimedOut:
    case TryEnd::NoSuchHost:
        return 1;
    }
    return 1;
}

bool networkAnswered(TryEnd end)
{
    return end != TryEnd::ResolverFailed && end != TryEnd::ConnectTimedOut &&
           end != TryEnd::Unreachable;
}

bool connectFailed(TryEnd end)
{
    return end == TryEnd::ConnectTimedOut || end == TryEnd::Refused ||
           end == TryEnd::Unreachable;
}

TryEnd tryEndOf(CURLcode result, long osErrno, bool connected)
{
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return TryEnd::NoSuchHost;
    case CURLE_COULDNT_CONNECT:
        if (osErrno == ECONNREFUSED)
            return TryEnd::Refused;
        if (osErrno == ETIMEDOUT)
            return TryEnd::ConnectTimedOut;
        return TryEnd::Unreachable;
    case CURLE_OPERATION_TIMEDOUT:
        // libcurl's own limits here are the connect limit and the silence limit.
        return connected ? TryEnd::Transient : TryEnd::ConnectTimedOut;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_SSL_CONNECT_ERROR:
        return connected ? TryEnd::Transient : TryEnd::Unreachable;
    default:
        return TryEnd::Answered;
    }
}

std::optional<std::chrono::milliseconds> retryAfter(std::string_view value,
                                                    std::chrono::milliseconds cap)
{
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    if (value.empty())
        return std::nullopt;
    if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // Long numbers are capped without overflowing.
        if (value.size() > 9)
            return cap;
        return std::min(cap, std::chrono::milliseconds(std::stoll(std::string(value)) * 1000));
    }
    const std::string date(value);
    const time_t when = curl_getdate(date.c_str(), nullptr);
    if (when < 0)
        return std::nullopt;
    const time_t now = std::time(nullptr);
    if (when <= now)
        return std::chrono::milliseconds(0);
    return std::min(cap, std::chrono::milliseconds((static_cast<long long>(when) - now) * 1000));
}

} // namespace quorvel::cli
