// quorvel-check at its defaults as a new user meets it: an old favorites folder of 3,000
// shortcuts over about 1,200 hosts (simweb/plan.h has the mix), against a simulated web on
// loopback addresses with a resolver of its own, reached through the system's name resolution
// in a private network and mount namespace (simweb/netns.h). Needs root; skips otherwise.
//
//  1. The check: live pages reported dead (target at most 0.2% of the live), dead links missed
//     (at most 1% of the dead), wall time (at most 60 s), the child's peak memory (at most
//     100 MB), and a table of what was reported, by category.
//  2. No network (a namespace whose lo is down): --move-dead-to on a copy of the folder. Target:
//     nothing moved, exit status 3.
//
// Options (before Google Benchmark's own): --quick (300 shortcuts), --links N, --seed N, and
// after "--" extra arguments for quorvel-check. Exits 1 when a target is not met.
//
// --shell [--quick | --links N] [--offline] FOLDER COMMAND [ARGS...]: writes the folder when it
// does not exist, starts the simulated web (none with --offline) and runs COMMAND inside its
// network, for trying quorvel-check by hand.

#include "benchdir.h"
#include "childrun.h"
#include "procstatus.h"
#include "simweb/folder.h"
#include "simweb/netns.h"
#include "simweb/plan.h"
#include "simweb/reportread.h"
#include "simweb/tally.h"
#include "simweb/webprocess.h"

#include <benchmark/benchmark.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quorvel::simweb;
using quorvel::bench::ChildRun;
using quorvel::bench::runChild;

namespace
{

constexpr std::chrono::seconds childLimit{300};

struct Settings {
    int links = 3000;
    std::uint32_t seed = defaultSeed;
    std::vector<std::string> checkArgs; // after "--"
    bool shell = false;
    bool offline = false;
    std::vector<std::string> shellArgs; // FOLDER COMMAND ARGS...
};

// Takes this program's own options out of argv, leaving Google Benchmark's.
std::optional<Settings> parseSettings(int &argc, char **argv)
{
    Settings s;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            s.links = 300;
        } else if (arg == "--links" && i + 1 < argc) {
            s.links = std::atoi(argv[++i]);
        } else if (arg == "--seed" && i + 1 < argc) {
            s.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--shell") {
            s.shell = true;
        } else if (s.shell && arg == "--offline") {
            s.offline = true;
        } else if (s.shell && !arg.starts_with("--")) {
            s.shellArgs.assign(argv + i, argv + argc);
            break;
        } else if (arg == "--") {
            s.checkArgs.assign(argv + i + 1, argv + argc);
            break;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (s.links < 1 || s.links > 100000 || (s.shell && s.shellArgs.size() < 2))
        return std::nullopt;
    return s;
}

std::string selfPath()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

struct CheckFigures {
    bool ran = false;
    ChildRun run;
    Tally tally;
    std::string error;
    long parentPeakKb = 0;
};

struct OfflineFigures {
    bool ran = false;
    ChildRun run;
    int moved = 0;
    int shortcuts = 0;
    std::optional<bool> networkDown;
    std::string stderrText;
};

CheckFigures checkFigures;
OfflineFigures offlineFigures;

void checkRun(benchmark::State &state, const Plan &plan, const fs::path &root,
              const Settings &settings)
{
    const fs::path json = root / "check.json";
    // Benchmarks keep no history: they must not write the user's store.
    std::vector<std::string> args{QUORVEL_CHECK_PROGRAM, "--no-history", "-f", "json", "-o",
                                  json.string()};
    args.insert(args.end(), settings.checkArgs.begin(), settings.checkArgs.end());
    args.push_back((root / "Favorites").string());
    CheckFigures &f = checkFigures;
    for (auto _ : state) {
        fs::remove(json);
        const WebProcess web(plan);
        f.parentPeakKb = quorvel::bench::statusKiB("VmHWM");
        f.run = runChild(args, (root / "check.txt").string(), childLimit,
                         (root / "check.err").string());
        state.SetIterationTime(f.run.seconds);
    }
    f.ran = true;
    const Reported reported = readReport(json);
    if (!reported.error.empty()) {
        f.error = reported.error;
        state.SkipWithError(f.error.c_str());
        return;
    }
    f.tally = tally(plan, reported);
    const Tally &t = f.tally;
    state.counters["links"] = static_cast<double>(plan.links.size());
    state.counters["live_dead"] = t.liveDead;
    state.counters["live_dead_pct"] = 100 * t.liveDeadShare();
    state.counters["dead_missed"] = t.deadMissed;
    state.counters["dead_missed_pct"] = 100 * t.deadMissedShare();
    state.counters["wall_s"] = f.run.seconds;
    state.counters["peak_MB"] = f.run.peakKb / 1024.0;
    state.counters["exit"] = f.run.status;
    state.counters["unverified"] = t.unverified;
    state.counters["host_verdicts"] = t.hostVerdicts;
}

void offlineRun(benchmark::State &state, const fs::path &root)
{
    const fs::path copy = root / "Offline copy";
    const fs::path dead = root / "Offline dead";
    const fs::path json = root / "offline.json";
    OfflineFigures &f = offlineFigures;
    for (auto _ : state) {
        fs::remove_all(copy);
        fs::remove_all(dead);
        fs::copy(root / "Favorites", copy, fs::copy_options::recursive);
        f.run =
            runChild({selfPath(), "--without-network", QUORVEL_CHECK_PROGRAM, "--no-history",
                      "--move-dead-to", dead.string(), "-f", "json", "-o", json.string(),
                      copy.string()},
                     (root / "offline.txt").string(), childLimit, (root / "offline.err").string());
        state.SetIterationTime(f.run.seconds);
    }
    f.ran = true;
    f.moved = countShortcuts(dead);
    f.shortcuts = countShortcuts(copy) + f.moved;
    f.networkDown = readReport(json).networkDown;
    std::ifstream err(root / "offline.err");
    std::getline(err, f.stderrText, '\0');
    state.counters["moved"] = f.moved;
    state.counters["exit"] = f.run.status;
    state.counters["network_down"] = f.networkDown ? double(*f.networkDown) : -1;
    state.counters["wall_s"] = f.run.seconds;
}

bool target(const char *what, bool met)
{
    std::printf("  %-60s %s\n", what, met ? "met" : "NOT MET");
    return met;
}

bool printFigures(const Plan &plan)
{
    bool allMet = true;
    if (checkFigures.ran) {
        const CheckFigures &f = checkFigures;
        std::printf("\nquorvel-check on %zu shortcuts over %zu hosts (seed %u): %.1f s, peak "
                    "%.1f MB (this process's own peak before it: %.1f MB), exit %d%s\n",
                    plan.links.size(), plan.hosts.size(), plan.seed, f.run.seconds,
                    f.run.peakKb / 1024.0, f.parentPeakKb / 1024.0, f.run.status,
                    f.run.killed ? " (killed at the time limit)" : "");
        if (!f.error.empty()) {
            std::printf("  %s\n", f.error.c_str());
            allMet = false;
        } else {
            printTable(stdout, f.tally);
            allMet &=
                target("live pages reported dead: at most 0.2%", f.tally.liveDeadShare() <= 0.002);
            allMet &= target("dead links missed: at most 1%", f.tally.deadMissedShare() <= 0.01);
        }
        allMet &= target("wall time at most 60 s", f.run.seconds <= 60 && !f.run.killed);
        allMet &= target("peak memory at most 100 MB", f.run.peakKb <= 100 * 1024);
    }
    if (offlineFigures.ran) {
        const OfflineFigures &f = offlineFigures;
        std::printf("\nNo network, --move-dead-to on a copy: %d of %d shortcuts moved, exit %d, "
                    "network_down %s, %.1f s\n",
                    f.moved, f.shortcuts, f.run.status,
                    f.networkDown ? (*f.networkDown ? "true" : "false") : "absent", f.run.seconds);
        if (!f.stderrText.empty())
            std::printf("  standard error: %.300s\n", f.stderrText.c_str());
        allMet &= target("nothing moved, exit status 3", f.moved == 0 && f.run.status == 3);
    }
    return allMet;
}

// Runs the command with this terminal, the web in the background; Ctrl+C reaches the command.
int runShell(const Settings &settings, const Plan &plan)
{
    const fs::path folder = settings.shellArgs[0];
    if (!fs::exists(folder)) {
        writeFolder(plan, folder);
        std::printf("Wrote %zu shortcuts over %zu hosts to %s\n", plan.links.size(),
                    plan.hosts.size(), folder.c_str());
    } else {
        std::printf("Using %s as it is (a simulated web of %zu links, seed %u)\n", folder.c_str(),
                    plan.links.size(), plan.seed);
    }
    std::optional<WebProcess> web;
    if (settings.offline) {
        if (std::string why = leaveNetwork(); !why.empty()) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        std::printf("No network: lo is down.\n");
    } else {
        web.emplace(plan);
        std::printf("The simulated web is up (resolver on 127.0.0.1).\n");
    }
    std::fflush(stdout);
    std::vector<char *> argv;
    for (std::size_t i = 1; i < settings.shellArgs.size(); ++i)
        argv.push_back(const_cast<char *>(settings.shellArgs[i].c_str()));
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &interrupt);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::signal(SIGINT, SIG_IGN);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        return 127;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%s exited with status %d\n", argv[0], code);
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    // The no-network case starts quorvel-check through this program: a network of its own, lo
    // down, then the program.
    if (argc > 2 && std::strcmp(argv[1], "--without-network") == 0) {
        if (std::string why = leaveNetwork(); !why.empty()) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 127;
        }
        ::execv(argv[2], argv + 2);
        std::perror(argv[2]);
        return 127;
    }
    const std::optional<Settings> settings = parseSettings(argc, argv);
    if (!settings) {
        std::fprintf(stderr, "usage: bench_simweb [--quick | --links N] [--seed N] [benchmark "
                             "options] [-- quorvel-check options]\n"
                             "       bench_simweb --shell [--quick | --links N] [--offline] "
                             "FOLDER COMMAND [ARGS...]\n");
        return 2;
    }

    const fs::path root = quorvel::bench::freshBenchDir("quorvel-bench-simweb");
    if (const std::string why = enterPrivateNetwork(root); !why.empty()) {
        std::printf("bench_simweb: skipped: %s\n", why.c_str());
        fs::remove_all(root);
        return 0;
    }
    const Plan plan = makePlan(settings->links, settings->seed);
    if (settings->shell) {
        const int code = runShell(*settings, plan);
        fs::remove_all(root);
        return code;
    }

    writeFolder(plan, root / "Favorites");
    benchmark::RegisterBenchmark(
        "simweb/check", [&](benchmark::State &state) { checkRun(state, plan, root, *settings); })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark("simweb/no_network_move",
                                 [&](benchmark::State &state) { offlineRun(state, root); })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const bool allMet = printFigures(plan);
    fs::remove_all(root);
    return allMet ? 0 : 1;
}
