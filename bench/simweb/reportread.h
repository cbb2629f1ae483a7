#pragma once
// What quorvel-check's JSON report says of each link. Fields that later versions add (tries,
// unverified, host_verdict, network_down) are read when present.

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>

namespace quorvel::simweb
{

struct ReportedLink {
    std::string result; // alive, dead, skipped, unchecked, suspect
    std::string reason;
    int status = 0;
    long long ms = -1;
    int tries = 0; // 0 when the report does not give it
    bool unverified = false;
    bool hostVerdict = false;
    std::string move; // the move's result, "" without one
};

struct Reported {
    std::string error; // why the report could not be read; "" when it was
    bool complete = false;
    std::optional<bool> networkDown;
    double seconds = 0;
    std::unordered_map<std::string, ReportedLink> byUrl;
};

Reported readReport(const std::filesystem::path &json);

} // namespace quorvel::simweb
