#pragma once
// The favorites tree the benchmarks load: 100,000 shortcut files in 1,000 folders, built once
// per run in a fresh temporary folder (QUORVEL_BENCH_DIR picks another parent) and removed at
// the end. Also the bare walk-and-read baseline that loading it is measured against.

#include "benchdir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace quorvel::bench
{

inline constexpr int folderCount = 1000;
inline constexpr int filesPerFolder = 100;

class BenchTree
{
public:
    BenchTree()
    {
        namespace fs = std::filesystem;
        base_ = freshBenchDir("quorvel-bench");
        root_ = base_ / "Favorites";
        fs::create_directory(root_);
        for (int f = 0; f < folderCount; ++f) {
            const fs::path folder = root_ / ("Folder " + std::to_string(f));
            fs::create_directory(folder);
            for (int i = 0; i < filesPerFolder; ++i) {
                const std::string url =
                    "http://site" + std::to_string(f) + ".example.test/page/" + std::to_string(i);
                std::ofstream out(folder / ("Shortcut number " + std::to_string(i) + ".url"),
                                  std::ios::binary);
                // The layout the browser writes: a [DEFAULT] section with BASEURL first.
                out << "[DEFAULT]\r\nBASEURL=" << url << "\r\n[InternetShortcut]\r\nURL=" << url
                    << "\r\nIDList=\r\nHotKey=0\r\nIconIndex=0\r\nModified=C0AFC51E3A4BD40193\r\n";
            }
        }
    }
    ~BenchTree()
    {
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
    }
    BenchTree(const BenchTree &) = delete;
    BenchTree &operator=(const BenchTree &) = delete;

    // The favorites folder.
    const std::filesystem::path &root() const { return root_; }
    // A folder beside it for the benchmark's own files (registries, an empty favorites folder).
    const std::filesystem::path &base() const { return base_; }

private:
    std::filesystem::path base_;
    std::filesystem::path root_;
};

// The bare baseline: list the folders and read each file's URL line with the C++ standard
// library, nothing else.
inline std::size_t walkAndRead(const std::string &root)
{
    namespace fs = std::filesystem;
    std::vector<std::string> urls;
    std::string line;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".url")
            continue;
        std::ifstream in(entry.path());
        while (std::getline(in, line)) {
            if (line.rfind("URL=", 0) == 0) {
                urls.push_back(line.substr(4));
                break;
            }
        }
    }
    return urls.size();
}

} // namespace quorvel::bench
