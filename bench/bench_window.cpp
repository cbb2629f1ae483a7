// The window with 100,000 favorites, measured as a user meets it.
//
//  - Peak memory: the real quorvel program is started offscreen on the benchmark tree (and once
//    on an empty favorites folder), its registry pointing at it; once its window is up and it
//    has gone idle, its peak resident set (VmHWM) is read and it is ended.
//  - Catalogue to window: the real program's own figure for loading the catalogue into its
//    lists (logged under the quorvel.catalogue category), and, in this process, the real main
//    window built, loaded, shown and drawn; each set against the bare walk-and-read baseline of
//    benchtree.h, timed in turn with it so that both meet the same machine.
//  - Scrolling and a search keystroke in the favorites lists at 100,000 rows, each with the
//    repaint it causes.
//
// A plain program: build, then run build/bench/bench_window. Every figure is printed; targets
// that are not met are marked.

#include "app/pictures.h"
#include "app/splash.h"
#include "app/tfmverify.h"
#include "benchtree.h"
#include "platform/registry.h"
#include "procstatus.h"
#include "widgets/beep.h"
#include "widgets/searchlistbox.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using quorvel::bench::BenchTree;
using quorvel::bench::statusKiB;

namespace
{

constexpr double peakTargetMB = 100;
constexpr double ratioTarget = 1.2;
constexpr double interactionTargetMs = 50;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double maximum(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

const char *verdict(bool met)
{
    return met ? "met" : "NOT MET";
}

// A registry of its own whose favorites folder is favorites; returns the XDG_CONFIG_HOME.
std::string makeConfig(const fs::path &config, const fs::path &favorites)
{
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    quorvel::platform::TRegistry registry(quorvel::platform::RootKey::CurrentUser);
    registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true);
    registry.WriteString("Favorites", favorites.string());
    return config.string();
}

// User plus system clock ticks the process has used.
long cpuTicks(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    std::FILE *stat = std::fopen(path.c_str(), "r");
    if (!stat)
        return -1;
    char text[1024] = {};
    const std::size_t got = std::fread(text, 1, sizeof text - 1, stat);
    std::fclose(stat);
    text[got] = '\0';
    // Fields 14 and 15, counted after the command name in parentheses.
    const char *after = std::strrchr(text, ')');
    if (!after)
        return -1;
    long utime = 0, stime = 0;
    if (std::sscanf(after + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &utime,
                    &stime) != 2)
        return -1;
    return utime + stime;
}

struct ProgramRun {
    double peakMB = -1;
    double loadMs = -1; // the program's own figure for loading the catalogue into its lists
};

// Starts the real program on the registry in config, waits until its window is up and it has
// gone idle, reads its peak memory and ends it.
ProgramRun runProgram(const std::string &config)
{
    ProgramRun run;
    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0)
        return run;
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(errPipe[1], STDERR_FILENO);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("QT_LOGGING_RULES", "quorvel.catalogue.info=true", 1);
        ::execl(QUORVEL_BINARY, "quorvel", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(errPipe[1]);
    if (child < 0) {
        ::close(errPipe[0]);
        return run;
    }
    std::string errors;
    const auto start = Clock::now();
    Clock::time_point loaded{};
    long lastTicks = -1;
    int idlePolls = 0;
    while (msSince(start) < 120000) {
        pollfd readable{errPipe[0], POLLIN, 0};
        if (::poll(&readable, 1, 100) > 0) {
            char chunk[4096];
            const ssize_t got = ::read(errPipe[0], chunk, sizeof chunk);
            if (got > 0)
                errors.append(chunk, std::size_t(got));
        }
        if (loaded == Clock::time_point{}) {
            const auto mark = errors.find("shortcuts loaded and shown in ");
            if (mark != std::string::npos && errors.find('\n', mark) != std::string::npos) {
                loaded = Clock::now();
                run.loadMs = std::strtod(errors.c_str() + mark + 30, nullptr);
            }
            continue;
        }
        // The splash is held two seconds after loading; then the window shows and paints.
        const long ticks = cpuTicks(child);
        idlePolls = ticks == lastTicks ? idlePolls + 1 : 0;
        lastTicks = ticks;
        if (msSince(loaded) > 2500 && idlePolls >= 10) {
            run.peakMB = double(statusKiB("VmHWM", child)) / 1024.0;
            break;
        }
    }
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    ::close(errPipe[0]);
    if (run.peakMB < 0)
        std::fprintf(stderr, "the program did not come up; its messages:\n%s\n", errors.c_str());
    return run;
}

// Times one action, the repaint it caused included.
double timed(const std::function<void()> &action, const std::vector<QWidget *> &repaint)
{
    const auto start = Clock::now();
    action();
    for (QWidget *widget : repaint)
        widget->repaint();
    return msSince(start);
}

void wheel(TSearchListBox *list, int notches)
{
    const QPoint at = list->viewport()->rect().center();
    QWheelEvent e(at, list->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->viewport(), &e);
}

void typeKey(TSearchListBox *list, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(list, &press);
}

} // namespace

int main(int argc, char **argv)
{
    std::printf("Building the benchmark tree (%d shortcut files in %d folders)...\n",
                quorvel::bench::folderCount * quorvel::bench::filesPerFolder,
                quorvel::bench::folderCount);
    std::fflush(stdout);
    const BenchTree tree;
    const fs::path empty = tree.base() / "Empty";
    fs::create_directory(empty);
    const std::string emptyConfig = makeConfig(tree.base() / "config-empty", empty);
    const std::string fullConfig = makeConfig(tree.base() / "config-full", tree.root());
    const std::string root = tree.root().string();

    // Peak memory and load time of the real program, each run followed by the bare baseline
    // so both meet the same machine (the first runs fill the page cache).
    const ProgramRun emptyRun = runProgram(emptyConfig);
    std::vector<double> peaks, programLoads, baseline;
    std::size_t baselineEntries = 0;
    const auto timeBaseline = [&](std::vector<double> &into) {
        const auto start = Clock::now();
        baselineEntries = quorvel::bench::walkAndRead(root);
        into.push_back(msSince(start));
    };
    timeBaseline(baseline);
    baseline.clear();
    for (int i = 0; i < 5; ++i) {
        const ProgramRun run = runProgram(fullConfig);
        peaks.push_back(run.peakMB);
        programLoads.push_back(run.loadMs);
        timeBaseline(baseline);
    }

    // The window in this process: built (loading the catalogue) and shown until drawn, again
    // beside the baseline.
    ::setenv("XDG_CONFIG_HOME", fullConfig.c_str(), 1);
    QApplication app(argc, argv);
    quorvel::initAppAssets();
    quorvel::setSplashHoldMs(0);
    quorvel::setBeepHook([] {});
    std::vector<double> toWindow, windowBaseline;
    std::unique_ptr<quorvel::TTfmVerify> window;
    for (int i = 0; i < 5; ++i) {
        window.reset();
        QApplication::processEvents();
        timeBaseline(windowBaseline);
        const auto start = Clock::now();
        window = std::make_unique<quorvel::TTfmVerify>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            std::fprintf(stderr, "the window was not exposed\n");
        window->URL_Names()->repaint();
        window->URL_List()->repaint();
        toWindow.push_back(msSince(start));
    }
    TSearchListBox *names = window->URL_Names();
    TSearchListBox *urls = window->URL_List();
    const int rows = names->count();
    std::vector<QWidget *> lists{names->viewport(), urls->viewport()};

    // Scrolling: wheel notches down the list, and End and Home across all of it.
    names->setFocus();
    std::vector<double> notches, jumps;
    for (int i = 0; i < 50; ++i)
        notches.push_back(timed([&] { wheel(names, -1); }, lists));
    for (int i = 0; i < 5; ++i) {
        jumps.push_back(timed([&] { QTest::keyClick(names, Qt::Key_End); }, lists));
        jumps.push_back(timed([&] { QTest::keyClick(names, Qt::Key_Home); }, lists));
    }

    // A search keystroke: a miss searches every row; a hit selects a row in both lists.
    std::vector<double> misses, hits;
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(names, Qt::Key_Escape);
        misses.push_back(timed([&] { typeKey(names, QStringLiteral("q")); }, lists));
        QTest::keyClick(names, Qt::Key_End);
        hits.push_back(timed([&] { typeKey(names, QStringLiteral("s")); }, lists));
    }
    const bool inStep = names->currentRow() == 0 && urls->currentRow() == 0;

    const double peak = maximum(peaks);
    const double programRatio = median(programLoads) / median(baseline);
    const double windowRatio = median(toWindow) / median(windowBaseline);
    std::printf("\nRows in the favorites lists: %d (baseline read %zu)\n", rows, baselineEntries);
    std::printf("Peak memory (VmHWM) of the program: empty start %.1f MB, %d shortcuts %.1f MB "
                "(worst of 5; target <= %.0f MB: %s)\n",
                emptyRun.peakMB, rows, peak, peakTargetMB,
                verdict(peak > 0 && peak <= peakTargetMB));
    std::printf("The program's catalogue into its lists: median %.0f ms of 5; bare walk-and-read "
                "baseline median %.0f ms; ratio %.2f (target <= %.1f: %s)\n",
                median(programLoads), median(baseline), programRatio, ratioTarget,
                verdict(programRatio <= ratioTarget));
    std::printf("Window built, loaded, shown and drawn, in this process: median %.0f ms of 5; "
                "baseline median %.0f ms; ratio %.2f (%s)\n",
                median(toWindow), median(windowBaseline), windowRatio,
                verdict(windowRatio <= ratioTarget));
    std::printf("Scroll one wheel notch: median %.2f ms, worst %.2f ms (target < %.0f ms: %s)\n",
                median(notches), maximum(notches), interactionTargetMs,
                verdict(maximum(notches) < interactionTargetMs));
    std::printf("Scroll End/Home across all rows: median %.2f ms, worst %.2f ms (%s)\n",
                median(jumps), maximum(jumps), verdict(maximum(jumps) < interactionTargetMs));
    std::printf("Search keystroke, no match (every row searched): median %.2f ms, worst %.2f ms "
                "(%s)\n",
                median(misses), maximum(misses), verdict(maximum(misses) < interactionTargetMs));
    std::printf("Search keystroke, match (both lists move): median %.2f ms, worst %.2f ms (%s); "
                "lists in step: %s\n",
                median(hits), maximum(hits), verdict(maximum(hits) < interactionTargetMs),
                inStep ? "yes" : "NO");
    window.reset();
    return 0;
}
