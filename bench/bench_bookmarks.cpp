// Reading a large bookmark store: 50,000 bookmarks in a Firefox places.sqlite (with its -wal,
// as a running Firefox leaves it) and in a Chromium Bookmarks file, made here once per run in
// the shape people's stores have (a few hundred folders two levels deep, long titles and URLs).
//
// Time per read (with the flattening a check does) is the benchmark's own figure, the files in
// the page cache after the first iteration. Memory: one extra read runs in a fresh process
// (this program started again with --measure), which reports its peak resident set (VmHWM) and
// how far that peak rose above its resident set at the start of the read.

#include "bookmarks/bookmarkfile.h"
#include "bookmarks/placesfile.h"
#include "childrun.h"
#include "procstatus.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{

namespace fs = std::filesystem;
using quorvel::bench::statusKiB;

constexpr int folders = 500;
constexpr int linksPerFolder = 100; // 50,000 in all

std::string titleOf(int folder, int link)
{
    return "A fairly long bookmark title, as pages give them: item " + std::to_string(link) +
           " of folder " + std::to_string(folder);
}

std::string urlOf(int folder, int link)
{
    return "https://www.site" + std::to_string(folder) + ".example/articles/2019/" +
           std::to_string(link) + "/some-words-from-the-headline?ref=feed";
}

class Stores
{
public:
    Stores()
    {
        char pattern[] = "/tmp/quorvel-bench-bookmarks-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        makePlaces();
        makeChromium();
    }
    ~Stores()
    {
        places_.reset(); // Firefox's connection goes, and its checkpoint, before the files
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path places() const { return folder_ / "places.sqlite"; }
    fs::path chromium() const { return folder_ / "Bookmarks"; }

private:
    void makePlaces()
    {
        // Left open, as a running Firefox leaves it, so the reader copies the -wal too.
        places_ = std::make_unique<quorvel::test::PlacesFile>(places());
        places_->exec("BEGIN");
        for (int f = 0; f < folders; ++f) {
            const auto group =
                f % 10 == 0 ? places_->folder(places_->toolbar(), "Group " + std::to_string(f))
                            : lastGroup_;
            lastGroup_ = group;
            const auto folder = places_->folder(group, "Folder " + std::to_string(f));
            for (int l = 0; l < linksPerFolder; ++l)
                places_->link(folder, titleOf(f, l), urlOf(f, l), 1600000000000000 + l);
        }
        places_->exec("COMMIT");
    }

    void makeChromium()
    {
        std::ofstream out(chromium());
        out << "{\n   \"checksum\": \"0123456789abcdef0123456789abcdef\",\n   \"roots\": {\n"
               "      \"bookmark_bar\": {\n         \"children\": [ ";
        int id = 10;
        for (int f = 0; f < folders; ++f) {
            out << (f ? ", " : "") << "{\n            \"children\": [ ";
            for (int l = 0; l < linksPerFolder; ++l) {
                out << (l ? ", " : "") << "{\n               \"date_added\": \"1330000000000"
                    << 1000 + l << "\",\n               \"date_last_used\": \"0\",\n"
                    << "               \"guid\": \"1f3a5c7e-0000-4000-8000-" << 100000000000 + id
                    << "\",\n               \"id\": \"" << id << "\",\n"
                    << "               \"name\": \"" << titleOf(f, l) << "\",\n"
                    << "               \"type\": \"url\",\n               \"url\": \""
                    << urlOf(f, l) << "\"\n            }";
                ++id;
            }
            out << " ],\n            \"date_added\": \"13300000000000000\",\n"
                << "            \"id\": \"" << id++ << "\",\n            \"name\": \"Folder " << f
                << "\",\n            \"type\": \"folder\"\n         }";
        }
        out << " ],\n         \"id\": \"1\",\n         \"name\": \"Bookmarks bar\",\n"
               "         \"type\": \"folder\"\n      },\n"
               "      \"other\": { \"children\": [ ], \"id\": \"2\", \"name\": \"Other "
               "bookmarks\", \"type\": \"folder\" },\n"
               "      \"synced\": { \"children\": [ ], \"id\": \"3\", \"name\": \"Mobile "
               "bookmarks\", \"type\": \"folder\" }\n   },\n   \"version\": 1\n}\n";
    }

    fs::path folder_;
    std::unique_ptr<quorvel::test::PlacesFile> places_;
    std::int64_t lastGroup_ = 0;
};

const Stores &stores()
{
    static const Stores instance;
    return instance;
}

std::size_t readStore(const fs::path &file)
{
    const auto entries = flatten(quorvel::bookmarks::readBookmarkFile(file));
    benchmark::DoNotOptimize(entries.data());
    return entries.size();
}

// The child's side: one read, then its figures on standard output.
int measureOnce(const fs::path &file)
{
    const long before = statusKiB("VmRSS");
    const std::size_t entries = readStore(file);
    std::printf("%ld %ld %zu\n", statusKiB("VmHWM"), statusKiB("VmHWM") - before, entries);
    return 0;
}

void report(benchmark::State &state, const fs::path &file)
{
    std::size_t entries = 0;
    for (auto _ : state)
        entries = readStore(file);
    const fs::path figures = file.string() + ".figures";
    quorvel::bench::runChild({"/proc/self/exe", "--measure", file.string()}, figures.string());
    long peak = -1, rise = -1;
    if (std::FILE *in = std::fopen(figures.c_str(), "r")) {
        if (std::fscanf(in, "%ld %ld", &peak, &rise) != 2)
            peak = rise = -1;
        std::fclose(in);
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["file_KiB"] = static_cast<double>(fs::file_size(file) / 1024);
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
    state.counters["rss_rise_KiB"] = static_cast<double>(rise);
}

void BM_FirefoxPlaces50k(benchmark::State &state)
{
    report(state, stores().places());
}

void BM_ChromiumBookmarks50k(benchmark::State &state)
{
    report(state, stores().chromium());
}

BENCHMARK(BM_FirefoxPlaces50k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChromiumBookmarks50k)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]) == "--measure")
        return measureOnce(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
