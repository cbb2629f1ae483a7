// The HTTP component against a bare libcurl loop: 1,000 sequential GETs of a 1 KiB page on
// loopback, each way in turn, and the peak memory of one 100 MiB body.
//
//   bare      one libcurl easy handle reused for every request (the floor)
//   sync      TAdvHttp, Execute(true), only OnRequestComplete assigned
//   async     TAdvHttp, Execute(false), only OnRequestComplete assigned
//   window    the main window's own BrowseTo with all its handlers, Execute(false), the window
//             made but not shown (its painting is not measured), with its connection log and
//             headers memo emptied per request as the run does; then the same with the window
//             shown offscreen, painting included, for information
//
// The scripted test server runs in a child process, so the CPU time measured (of this whole
// process, every thread) is the client's alone. Each way runs --rounds rounds (default 9) after
// a warm-up; the median round is reported with its ratio to the bare loop. The 100 MiB body is
// fetched in a fresh process (this program started again), which reports how far its peak
// resident set (VmHWM) rose above the resident set before the request, and where the resident
// set stands once the next request has begun.

#include "app/tfmverify.h"
#include "http/advhttp.h"
#include "inet/curlhandle.h"
#include "procstatus.h"
#include "support/testserver.h"
#include "verify/verifyview.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QWidget>

#include <curl/curl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using quorvel::TAdvHttp;
using quorvel::bench::statusKiB;
using quorvel::test::Reply;

namespace
{

constexpr int requestsPerRound = 1000;
constexpr int warmUpRequests = 50;
constexpr std::uint64_t bigBody = 100ull * 1024 * 1024;

// The server's process: serves until the parent closes its end of the pipe.
struct ServerProcess {
    pid_t pid = -1;
    int keepAlive = -1;
    std::uint16_t port = 0;

    std::string url(const char *path) const
    {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    static ServerProcess start()
    {
        int portPipe[2];
        int lifePipe[2];
        if (::pipe(portPipe) != 0 || ::pipe(lifePipe) != 0) {
            std::perror("pipe");
            std::exit(1);
        }
        ServerProcess server;
        server.pid = ::fork();
        if (server.pid == 0) {
            ::close(portPipe[0]);
            ::close(lifePipe[1]);
            quorvel::test::TestServer http;
            http.route("/1k", Reply::ok(quorvel::test::patternBody(1024)));
            http.route("/100m", Reply::streamed({bigBody, 64 * 1024, {}}));
            const std::uint16_t port = http.port();
            if (::write(portPipe[1], &port, sizeof port) != sizeof port)
                ::_exit(1);
            char ignored;
            while (::read(lifePipe[0], &ignored, 1) > 0) {
            }
            http.stop();
            ::_exit(0);
        }
        ::close(portPipe[1]);
        ::close(lifePipe[0]);
        if (server.pid < 0 ||
            ::read(portPipe[0], &server.port, sizeof server.port) != sizeof server.port) {
            std::fprintf(stderr, "the test server did not start\n");
            std::exit(1);
        }
        ::close(portPipe[0]);
        server.keepAlive = lifePipe[1];
        return server;
    }

    void stop()
    {
        ::close(keepAlive);
        ::waitpid(pid, nullptr, 0);
    }
};

double processCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Figures {
    double wallMs = 0;
    double cpuMs = 0;
};

// Runs one request `count` times; returns false when a request did not succeed.
using OneRequest = std::function<bool()>;

Figures timeRound(const OneRequest &request, int count)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = processCpuSeconds();
    for (int i = 0; i < count; ++i) {
        if (!request()) {
            std::fprintf(stderr, "request %d failed\n", i);
            std::exit(1);
        }
    }
    Figures figures;
    figures.cpuMs = (processCpuSeconds() - cpuStart) * 1000.0;
    figures.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return figures;
}

Figures measure(const OneRequest &request, int rounds)
{
    timeRound(request, warmUpRequests);
    std::vector<Figures> all;
    for (int r = 0; r < rounds; ++r)
        all.push_back(timeRound(request, requestsPerRound));
    std::sort(all.begin(), all.end(),
              [](const Figures &a, const Figures &b) { return a.wallMs < b.wallMs; });
    return all[all.size() / 2];
}

// The bare loop: what libcurl alone costs for the same requests.
struct BareCurl {
    quorvel::platform::inet::CurlEasy owner = quorvel::platform::inet::makeCurlEasy();
    CURL *easy = owner.get();
    std::string body;

    explicit BareCurl(const std::string &url)
    {
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &BareCurl::write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    }

    static size_t write(char *data, size_t size, size_t count, void *self)
    {
        static_cast<BareCurl *>(self)->body.append(data, size * count);
        return size * count;
    }

    bool get()
    {
        body.clear();
        long status = 0;
        return curl_easy_perform(easy) == CURLE_OK &&
               curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
               status == 200 && body.size() == 1024;
    }
};

// Settings of the main window's component.
void configureLikeBrowseTo(TAdvHttp &http)
{
    http.setConnectTimeout(10000);
    http.setRaiseExceptions(false);
    http.setInternetFlags({quorvel::ifIgnoreCertCnInvalid, quorvel::ifIgnoreCertDateInvalid,
                           quorvel::ifKeepConnection, quorvel::ifNoUi, quorvel::ifReload});
}

// Pumps the GUI thread until the request has ended and its completion was handled.
bool awaitAsync(TAdvHttp &http, const bool &completed)
{
    while (!completed || http.Busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return http.LastError() == 0 && http.Response().size() == 1024;
}

// A favorites folder and private registry, so the window starts as it would for a user.
struct WindowProfile {
    fs::path root;

    WindowProfile()
    {
        std::string pattern = (fs::temp_directory_path() / "quorvel-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        root = pattern;
        fs::create_directories(root / "Favorites");
        fs::create_directories(root / "config/quorvel/registry");
        std::ofstream hive(root / "config/quorvel/registry/HKEY_CURRENT_USER.reg",
                           std::ios::binary);
        hive << "Windows Registry Editor Version 5.00\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                "Shell Folders]\r\n\"Favorites\"=\""
             << (root / "Favorites").string() << "\"\r\n";
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    }
    ~WindowProfile()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

void printRow(const char *name, const Figures &figures, const Figures &bare, double target)
{
    const double wallRatio = figures.wallMs / bare.wallMs;
    const double cpuRatio = figures.cpuMs / bare.cpuMs;
    std::printf("%-34s %9.1f %9.1f %7.2fx %7.2fx", name, figures.wallMs, figures.cpuMs, wallRatio,
                cpuRatio);
    if (target > 0)
        std::printf("   <= %.1fx %s", target, wallRatio <= target ? "met" : "NOT MET");
    std::printf("\n");
}

// The child's side of the memory figure: one 100 MiB body through a widget-owned component.
int measureBigBody(const std::string &bigUrl, const std::string &smallUrl)
{
    QWidget owner;
    TAdvHttp http(&owner);
    configureLikeBrowseTo(http);
    bool completed = false;
    http.setOnRequestComplete([&](TAdvHttp *) { completed = true; });
    auto get = [&](const std::string &url) {
        completed = false;
        http.setURL(url);
        http.Execute(false);
        while (!completed || http.Busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    // The session and its threads exist before the level is taken, as during a run.
    get(smallUrl);
    const long before = statusKiB("VmRSS");
    get(bigUrl);
    const long peak = statusKiB("VmHWM");
    const std::size_t kept = http.Response().size();
    get(smallUrl);
    const long after = statusKiB("VmRSS");
    std::printf("%ld %ld %ld %zu\n", before, peak, after, kept);
    return 0;
}

void reportBigBody(const ServerProcess &server)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return;
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::execl("/proc/self/exe", "bench_http", "--measure-body", server.url("/100m").c_str(),
                server.url("/1k").c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char text[256] = {};
    const ssize_t got = child < 0 ? -1 : ::read(pipeFds[0], text, sizeof text - 1);
    ::close(pipeFds[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    long before = 0;
    long peak = 0;
    long after = 0;
    std::size_t kept = 0;
    if (got <= 0 || std::sscanf(text, "%ld %ld %ld %zu", &before, &peak, &after, &kept) != 4) {
        std::printf("100 MiB body: no figures (the measuring process failed)\n");
        return;
    }
    const double rise = static_cast<double>(peak - before) / 1024.0;
    const double target = static_cast<double>(bigBody) / (1024.0 * 1024.0) + 20.0;
    std::printf("\n100 MiB body (async, widget-owned component, fresh process)\n");
    std::printf("  peak rise above the level before   %8.1f MiB   <= %.0f MiB %s\n", rise, target,
                rise <= target ? "met" : "NOT MET");
    std::printf("  body kept in Response              %8.1f MiB\n",
                static_cast<double>(kept) / (1024.0 * 1024.0));
    std::printf("  resident once the next request ran %8.1f MiB above the level before\n",
                static_cast<double>(after - before) / 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
    // The server is forked first, while this process has no other threads.
    if (argc == 4 && std::strcmp(argv[1], "--measure-body") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return measureBigBody(argv[2], argv[3]);
    }
    int rounds = 9;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: bench_http [--rounds N] [--only bare|sync|async|window]\n");
            return 2;
        }
    }
    // --only runs one way (for profiling it); the others then show as zero.
    const auto wanted = [&](const char *way) { return only.empty() || only == way; };
    ServerProcess server = ServerProcess::start();
    const std::string url = server.url("/1k");

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);

    Figures bare;
    {
        BareCurl curl(url);
        if (wanted("bare"))
            bare = measure([&] { return curl.get(); }, rounds);
    }

    QWidget owner;
    TAdvHttp http(&owner);
    configureLikeBrowseTo(http);
    bool completed = false;
    http.setOnRequestComplete([&](TAdvHttp *) { completed = true; });
    http.setURL(url);
    Figures sync;
    if (wanted("sync"))
        sync = measure(
            [&] {
                completed = false;
                return http.Execute(true) && completed && http.LastError() == 0 &&
                       http.Response().size() == 1024;
            },
            rounds);
    Figures async;
    if (wanted("async"))
        async = measure(
            [&] {
                completed = false;
                http.Execute(false);
                return awaitAsync(http, completed);
            },
            rounds);

    Figures window;
    Figures shownWindow;
    if (wanted("window")) {
        WindowProfile profile;
        quorvel::TTfmVerify main;
        TAdvHttp &browseTo = *main.BrowseTo();
        quorvel::VerifyView &view = main;
        bool windowCompleted = false;
        // After the window's own handler, which classifies the response as the run does.
        const quorvel::TNotifyEvent classify = browseTo.OnRequestComplete();
        browseTo.setOnRequestComplete([&](TAdvHttp *sender) {
            classify(sender);
            windowCompleted = true;
        });
        browseTo.setURL(url);
        const auto oneRequest = [&] {
            view.clearHeaders();
            view.clearEvents();
            windowCompleted = false;
            browseTo.Execute(false);
            return awaitAsync(browseTo, windowCompleted) && view.deadLinkCount() == 0;
        };
        window = measure(oneRequest, rounds);
        main.show();
        QCoreApplication::processEvents();
        shownWindow = measure(oneRequest, rounds);
    }

    std::printf("%d sequential GETs of 1 KiB on loopback, median of %d rounds\n\n",
                requestsPerRound, rounds);
    std::printf("%-34s %9s %9s %8s %8s\n", "", "wall ms", "CPU ms", "wall", "CPU");
    printRow("bare libcurl, one easy handle", bare, bare, 0);
    printRow("TAdvHttp sync", sync, bare, 1.3);
    printRow("TAdvHttp async, OnRequestComplete", async, bare, 1.5);
    printRow("TAdvHttp async, window handlers", window, bare, 1.5);
    printRow("  the same, window shown", shownWindow, bare, 0);

    if (only.empty())
        reportBigBody(server);
    server.stop();
    curl_global_cleanup();
    return 0;
}
