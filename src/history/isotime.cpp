#include "history/isotime.h"

#include <ctime>

namespace quorvel::history
{

std::string isoTime(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string isoNow()
{
    return isoTime(std::chrono::system_clock::now());
}

} // namespace quorvel::history
