// quorvel-check against a loopback server, as run from the terminal:
//
//  1. 1,000 shortcuts, every answer after 50 ms, one in ten a 404, --jobs 16 --per-host 16
//     (one host, so the per-host limit is raised). Target: at most 5 s.
//  2. 100,000 shortcuts (1,000 folders of 100), answers without delay, same options. Targets:
//     peak memory at most 150 MB, and wall time at most 1.5 times that of the bare libcurl
//     multi loop (bench_check_baseline) with 16 transfers in flight over the same URLs. The
//     two take turns five times and each keeps its best run, as the machine may be shared.
//  3. The same run with its history kept (a store of its own, in the temporary folder), in
//     the same turns against --no-history, after a first run that fills the new store.
//     Targets: at most 10% slower, peak memory at most 20 MB more. Then more runs up to ten,
//     and the store's size after the ten.
//  4. The same 100,000 links as one bookmarks HTML file (a folder of bookmarks for each folder
//     of shortcuts), checked with --bookmarks in the same turns. Target: at most 1.2 times the
//     time of the shortcut files.
//
// Both programs run as child processes; their wall time and peak resident set (wait4) are
// measured. The server runs in this process, one thread per connection, with keep-alive. The
// trees are built in a fresh temporary folder (QUORVEL_BENCH_DIR picks another parent) and
// removed at the end. Prints the figures and whether each target is met; exits 1 if one is not.
// With --serve [DELAY_MS] it only runs the server, for trying quorvel-check by hand.

#include "benchdir.h"
#include "childrun.h"
#include "requestheads.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

// Answers GET requests: 404 for paths under /gone/, 200 otherwise, after a set delay.
class LoopbackServer
{
public:
    LoopbackServer()
    {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(listenFd_, 256) != 0) {
            std::perror("listen");
            std::exit(1);
        }
        socklen_t length = sizeof address;
        ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&address), &length);
        port_ = ntohs(address.sin_port);
        acceptThread_ = std::thread([this] { acceptLoop(); });
    }
    ~LoopbackServer()
    {
        stopping_ = true;
        ::shutdown(listenFd_, SHUT_RDWR);
        acceptThread_.join();
        ::close(listenFd_);
        std::lock_guard lock(mutex_);
        for (int fd : fds_)
            ::shutdown(fd, SHUT_RDWR);
        for (auto &thread : threads_)
            thread.join();
    }

    std::uint16_t port() const { return port_; }
    void setDelay(std::chrono::milliseconds delay) { delayMs_ = static_cast<int>(delay.count()); }

private:
    void acceptLoop()
    {
        while (!stopping_) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            const int yes = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            std::lock_guard lock(mutex_);
            fds_.push_back(fd);
            threads_.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd)
    {
        static const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                      "Content-Length: 13\r\n\r\nHello, world!";
        static const std::string gone = "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\n"
                                        "Content-Length: 9\r\n\r\nNot found";
        quorvel::bench::readRequestHeads(fd, [this, fd](std::string_view head) {
            const bool notFound = head.starts_with("GET /gone/");
            if (const int delay = delayMs_.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            const std::string &answer = notFound ? gone : ok;
            return ::write(fd, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
        });
        ::close(fd);
    }

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> delayMs_{0};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<int> fds_;
    std::vector<std::thread> threads_;
};

using Measured = quorvel::bench::ChildRun;
using quorvel::bench::runChild;

// Writes count shortcuts in folders of perFolder; one in ten points under /gone/. The URLs go
// to urlFile, one a line, in the order written. Nothing is kept here: a child's peak memory
// as wait4 reports it starts from this process's size at the spawn.
void buildTree(const fs::path &root, int count, int perFolder, std::uint16_t port,
               const fs::path &urlFile = {})
{
    std::ofstream urls;
    if (!urlFile.empty())
        urls.open(urlFile);
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    for (int i = 0; i < count; ++i) {
        const fs::path folder = root / ("Folder " + std::to_string(i / perFolder));
        if (i % perFolder == 0)
            fs::create_directories(folder);
        const std::string url = base + (i % 10 == 9 ? "/gone/" : "/page/") + std::to_string(i);
        std::ofstream(folder / ("Shortcut " + std::to_string(i) + ".url"), std::ios::binary)
            << "[DEFAULT]\r\nBASEURL=" << url << "\r\n[InternetShortcut]\r\nURL=" << url
            << "\r\nIDList=\r\nHotKey=0\r\nIconIndex=0\r\n";
        if (urls.is_open())
            urls << url << '\n';
    }
}

// The links of buildTree as one bookmarks HTML file, each folder of shortcuts a folder of
// bookmarks.
void buildBookmarks(const fs::path &file, int count, int perFolder, std::uint16_t port)
{
    std::ofstream out(file, std::ios::binary);
    out << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
           "CONTENT=\"text/html; charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n"
           "<H1>Bookmarks</H1>\n<DL><p>\n";
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    for (int i = 0; i < count; ++i) {
        if (i % perFolder == 0)
            out << (i > 0 ? "    </DL><p>\n" : "") << "    <DT><H3 ADD_DATE=\"1600000000\">Folder "
                << i / perFolder << "</H3>\n    <DL><p>\n";
        out << "        <DT><A HREF=\"" << base << (i % 10 == 9 ? "/gone/" : "/page/") << i
            << "\" ADD_DATE=\"1600000000\">Shortcut " << i << "</A>\n";
    }
    out << (count > 0 ? "    </DL><p>\n" : "") << "</DL><p>\n";
}

// The checking time quorvel-check reports in its JSON summary: the run without reading the
// folder and writing the report.
double checkingSeconds(const fs::path &json)
{
    // The summary comes first; the rest of the file is not read.
    std::ifstream in(json);
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    const auto at = text.find("\"seconds\": ");
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + 11);
}

bool report(const char *what, bool met)
{
    std::printf("  %-58s %s\n", what, met ? "met" : "NOT MET");
    return met;
}

} // namespace

int main(int argc, char **argv)
{
    // --serve [DELAY_MS]: only the server, until stopped; for trying the program by hand.
    if (argc > 1 && std::strcmp(argv[1], "--serve") == 0) {
        LoopbackServer server;
        server.setDelay(std::chrono::milliseconds(argc > 2 ? std::atoi(argv[2]) : 0));
        std::printf("http://127.0.0.1:%u/ (paths under /gone/ answer 404)\n", server.port());
        std::fflush(stdout);
        for (;;)
            ::pause();
    }

    const fs::path root = quorvel::bench::freshBenchDir("quorvel-bench-check");
    LoopbackServer server;
    bool allMet = true;

    {
        server.setDelay(std::chrono::milliseconds(50));
        const fs::path tree = root / "thousand";
        buildTree(tree, 1000, 100, server.port());
        const Measured m =
            runChild({QUORVEL_CHECK_PROGRAM, "--no-history", "--jobs", "16", "--per-host", "16",
                      "--format", "json", "--output", (root / "thousand.json").string(),
                      tree.string()},
                     (root / "thousand.txt").string());
        std::printf("1,000 shortcuts, 50 ms answers, --jobs 16 --per-host 16: %.2f s, peak "
                    "%.1f MB, exit %d\n",
                    m.seconds, m.peakKb / 1024.0, m.status);
        allMet &= report("at most 5 s", m.seconds <= 5.0 && m.status == 1);
    }

    {
        server.setDelay(std::chrono::milliseconds(0));
        const fs::path tree = root / "hundred-thousand";
        const fs::path urlFile = root / "urls.txt";
        buildTree(tree, 100000, 100, server.port(), urlFile);
        // The machine may be shared: the three take turns five times and each keeps its best.
        const fs::path store = root / "history.db";
        auto checkRun = [&](bool history) {
            std::vector<std::string> args{QUORVEL_CHECK_PROGRAM};
            if (history)
                args.insert(args.end(), {"--history", store.string()});
            else
                args.push_back("--no-history");
            args.insert(args.end(), {"--jobs", "16", "--per-host", "16", "--format", "json",
                                     "--output", (root / "hundred-thousand.json").string(),
                                     tree.string()});
            return runChild(args, (root / "hundred-thousand.txt").string());
        };
        const fs::path bookmarksFile = root / "bookmarks.html";
        buildBookmarks(bookmarksFile, 100000, 100, server.port());
        auto bookmarksRun = [&] {
            return runChild({QUORVEL_CHECK_PROGRAM, "--no-history", "--jobs", "16", "--per-host",
                             "16", "--format", "json", "--output",
                             (root / "bookmarks.json").string(), "--bookmarks",
                             bookmarksFile.string()},
                            (root / "bookmarks.txt").string());
        };
        // The first run on a new store writes every link once; the turns measure the runs after.
        const Measured first = checkRun(true);
        Measured fromBookmarks;
        Measured baseline;
        Measured check;
        Measured kept;
        double checking = 0;
        constexpr int turns = 5;
        for (int round = 0; round < turns; ++round) {
            const Measured b = runChild({BASELINE_PROGRAM, urlFile.string(), "16"},
                                        (root / "baseline.txt").string());
            const Measured c = checkRun(false);
            if (round == 0 || c.seconds < check.seconds)
                checking = checkingSeconds(root / "hundred-thousand.json");
            const Measured h = checkRun(true);
            const Measured k = bookmarksRun();
            if (round == 0 || k.seconds < fromBookmarks.seconds)
                fromBookmarks = k;
            if (round == 0 || b.seconds < baseline.seconds)
                baseline = b;
            if (round == 0 || c.seconds < check.seconds)
                check = c;
            if (round == 0 || h.seconds < kept.seconds)
                kept = h;
        }
        std::printf("100,000 shortcuts, no delay (best of five turns each):\n");
        std::printf("  bare libcurl multi loop, 16 in flight: %.2f s, peak %.1f MB\n",
                    baseline.seconds, baseline.peakKb / 1024.0);
        std::printf("  quorvel-check --jobs 16 --per-host 16:  %.2f s, peak %.1f MB, exit %d "
                    "(%.2fx the baseline)\n",
                    check.seconds, check.peakKb / 1024.0, check.status,
                    check.seconds / baseline.seconds);
        std::printf("  of which checking the links: %.2f s (%.2fx the baseline); the rest reads "
                    "the folder and writes the reports\n",
                    checking, checking / baseline.seconds);
        allMet &= report("peak memory at most 150 MB", check.peakKb <= 150 * 1024);
        allMet &= report("at most 1.5x the baseline's time",
                         check.seconds <= 1.5 * baseline.seconds && check.status == 1);

        std::printf("  the same with its history kept:        %.2f s, peak %.1f MB, exit %d "
                    "(%+.1f%% time, %+.1f MB against --no-history)\n",
                    kept.seconds, kept.peakKb / 1024.0, kept.status,
                    (kept.seconds / check.seconds - 1) * 100,
                    (kept.peakKb - check.peakKb) / 1024.0);
        allMet &= report("history: at most 10% slower than --no-history",
                         kept.seconds <= 1.1 * check.seconds && kept.status == 1);
        allMet &= report("history: peak memory at most 20 MB more",
                         kept.peakKb <= check.peakKb + 20 * 1024);
        std::printf("  the same links from one bookmarks HTML file: %.2f s, peak %.1f MB, exit "
                    "%d (%.2fx the shortcut files)\n",
                    fromBookmarks.seconds, fromBookmarks.peakKb / 1024.0, fromBookmarks.status,
                    fromBookmarks.seconds / check.seconds);
        allMet &= report("bookmarks HTML: at most 1.2x the shortcut files' time",
                         fromBookmarks.seconds <= 1.2 * check.seconds &&
                             fromBookmarks.status == 1);
        std::printf("  its first run, on a new store:          %.2f s, peak %.1f MB\n", first.seconds,
                    first.peakKb / 1024.0);
        for (int more = 1 + turns; more < 10; ++more)
            checkRun(true);
        std::error_code error;
        const auto size = [&](const char *suffix) {
            const auto bytes = fs::file_size(store.string() + suffix, error);
            return error ? 0.0 : bytes / (1024.0 * 1024.0);
        };
        std::printf("  the store after 10 runs: %.1f MB (WAL %.1f MB)\n", size(""), size("-wal"));
    }

    fs::remove_all(root);
    return allMet ? 0 : 1;
}
