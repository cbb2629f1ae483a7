// Loading the favorites catalogue from a large tree: SearchURL against a bare standard-library
// scan that only walks the folders and reads each file's URL line.
//
// The tree (100,000 shortcut files in 1,000 folders, benchtree.h) is built once per run. Time per
// load is the benchmark's own figure, with the files in the page cache after the first iteration.
// Memory: one extra load runs in a fresh process, which reports its peak resident set (VmHWM of
// /proc/self/status) and how far that peak rose above its resident set at the start of the load.

#include "benchtree.h"
#include "catalogue/catalogue.h"
#include "procstatus.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace
{

using quorvel::bench::BenchTree;
using quorvel::bench::statusKiB;

const BenchTree &tree()
{
    static const BenchTree instance;
    return instance;
}

std::size_t loadWithSearchUrl(const std::string &root)
{
    quorvel::Catalogue catalogue;
    quorvel::SearchURL(root, catalogue);
    benchmark::DoNotOptimize(catalogue.URL_List.data());
    return catalogue.size();
}

std::size_t loadWithStandardLibrary(const std::string &root)
{
    const std::size_t entries = quorvel::bench::walkAndRead(root);
    benchmark::DoNotOptimize(entries);
    return entries;
}

// Peak resident set of one load, measured in a fresh process (this program started again with
// --measure=<name>) so that memory the benchmark itself has touched cannot hide the load's own.
// Returns {peak, rise above the resident set just before the load}, in KiB.
std::pair<long, long> peakMemory(const char *name)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {-1, -1};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        const std::string measure = std::string("--measure=") + name;
        ::execl("/proc/self/exe", "bench_catalogue", measure.c_str(), tree().root().c_str(),
                static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char text[128] = {};
    const ssize_t got = child < 0 ? -1 : ::read(pipeFds[0], text, sizeof text - 1);
    ::close(pipeFds[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    long peak = -1;
    long rise = -1;
    if (got <= 0 || std::sscanf(text, "%ld %ld", &peak, &rise) != 2)
        return {-1, -1};
    return {peak, rise};
}

// The child's side of peakMemory.
int measureOnce(const std::string &name, const std::string &root)
{
    // The high-water mark of this process image: unlike ru_maxrss it starts afresh at exec, so
    // the benchmark process this one was forked from does not count.
    const long before = statusKiB("VmRSS");
    const std::size_t entries =
        name == "searchurl" ? loadWithSearchUrl(root) : loadWithStandardLibrary(root);
    const long peak = statusKiB("VmHWM");
    std::printf("%ld %ld %zu\n", peak, peak - before, entries);
    return 0;
}

void report(benchmark::State &state, std::size_t (*load)(const std::string &), const char *name)
{
    const std::string root = tree().root().string();
    std::size_t entries = 0;
    for (auto _ : state)
        entries = load(root);
    const auto [peak, rise] = peakMemory(name);
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
    state.counters["rss_rise_KiB"] = static_cast<double>(rise);
}

void BM_SearchURL(benchmark::State &state)
{
    report(state, loadWithSearchUrl, "searchurl");
}

void BM_StdLibraryBaseline(benchmark::State &state)
{
    report(state, loadWithStandardLibrary, "baseline");
}

BENCHMARK(BM_SearchURL)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StdLibraryBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]).rfind("--measure=", 0) == 0)
        return measureOnce(std::string(argv[1]).substr(10), argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
