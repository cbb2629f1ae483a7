#pragma once
// Times as the store keeps them: ISO 8601 in UTC to the second, "2026-11-02T14:03:09Z", which
// sorts as it reads and needs no conversion in the sqlite3 tool.

#include <chrono>
#include <string>

namespace quorvel::history
{

std::string isoTime(std::chrono::system_clock::time_point when);
std::string isoNow();

} // namespace quorvel::history
