#pragma once
// Memory figures of a process as the kernel reports them in /proc/<pid>/status.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/types.h>

namespace quorvel::bench
{

// A figure in KiB ("VmRSS", "VmHWM") of process pid, or of this process when pid is 0; -1 when
// it cannot be read.
inline long statusKiB(const char *field, pid_t pid = 0)
{
    long value = -1;
    const std::string path =
        pid == 0 ? std::string("/proc/self/status") : "/proc/" + std::to_string(pid) + "/status";
    if (std::FILE *status = std::fopen(path.c_str(), "r")) {
        char line[256];
        const std::size_t length = std::strlen(field);
        while (std::fgets(line, sizeof line, status)) {
            if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
                value = std::strtol(line + length + 1, nullptr, 10);
                break;
            }
        }
        std::fclose(status);
    }
    return value;
}

} // namespace quorvel::bench
