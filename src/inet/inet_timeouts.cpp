#include "inet/inet_timeouts.h"

#include <atomic>

namespace quorvel::platform::inet
{

namespace
{
std::atomic<long long> receiveSeconds{30};
std::atomic<long long> transferMilliseconds{60000};
} // namespace

std::chrono::seconds receiveTimeout()
{
    return std::chrono::seconds(receiveSeconds.load());
}

void setReceiveTimeout(std::chrono::seconds limit)
{
    receiveSeconds.store(limit.count() > 0 ? limit.count() : 1);
}

std::chrono::milliseconds transferTimeLimit()
{
    return std::chrono::milliseconds(transferMilliseconds.load());
}

void setTransferTimeLimit(std::chrono::milliseconds limit)
{
    transferMilliseconds.store(limit.count() > 0 ? limit.count() : 1);
}

} // namespace quorvel::platform::inet
