#pragma once
// A fresh folder for a benchmark's files, in QUORVEL_BENCH_DIR when it is set and in the
// temporary folder otherwise. Exits the process when it cannot be made.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace quorvel::bench
{

inline std::filesystem::path freshBenchDir(const std::string &stem)
{
    namespace fs = std::filesystem;
    const char *parent = std::getenv("QUORVEL_BENCH_DIR");
    std::string pattern =
        ((parent && *parent) ? fs::path(parent) : fs::temp_directory_path()) / (stem + "-XXXXXX");
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}

} // namespace quorvel::bench
