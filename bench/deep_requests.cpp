// What --deep costs in requests: quorvel-check runs on 1,000 shortcuts spread over 100 loopback
// sites, once without --deep and once with it, and every site counts the requests it receives.
// Target: at most 30% more requests with --deep.
//
// Each site has 10 links: its home page and 9 pages below it, 2 of them dead, in 1 to 3
// directories (as favorites gather in a few sections of a site). The sites behave in turn like
// the real web: real 404s; a 200 "not found" page; unknown addresses redirected to a "not
// found" page; unknown addresses redirected to the home page; a parked domain. The probes cost
// one request per host and directory where a 2xx page can be judged by one, a redirect more
// where the site redirects. For comparison the same links are also scattered, every page below
// the home page in a directory of its own: there a probe is due for nearly every link, which
// is the bound a directory-wide probe cannot beat.
//
// quorvel-check runs as a child process with --jobs 16 --per-host 16 (all sites are 127.0.0.1
// to the per-host limit). Prints the figures; exits 1 when the target is not met.
//
//   build/bench/deep_requests

#include "deep/webcontent.h"
#include "support/tempdir.h"
#include "support/testserver.h"

#include "childrun.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace quorvel::test;


namespace
{

constexpr int siteCount = 100;
constexpr int linksPerSite = 10;

enum class Kind { RealNotFound, SoftNotFound, RedirectToNotFound, RedirectHome, Parked };

const char *const sections[] = {"news", "recipes", "guides"};

// The page names of a site: real pages, then the two dead ones.
std::string pageName(int site, int page)
{
    return (page < 7 ? "page-" : "gone-") + std::to_string(site) + "-" + std::to_string(page);
}

std::string pathOf(int site, int page, bool scattered)
{
    if (scattered)
        return "/" + std::string(sections[page % 3]) + "/" + std::to_string(page) + "/" +
               pageName(site, page);
    const int directories = 1 + site % 3;
    return "/" + std::string(sections[page % directories]) + "/" + pageName(site, page);
}

Reply html(const std::string &title, const std::string &body)
{
    return Reply::ok(htmlPage(title, companyTemplate(body)), "text/html; charset=utf-8");
}

void serveSite(TestServer &server, int site, Kind kind)
{
    server.fallback([site, kind](const ReceivedRequest &r) {
        if (kind == Kind::Parked)
            return html("site" + std::to_string(site) + ".test - this domain is for sale",
                        "<h1>Buy this domain</h1><p>Make an offer today.</p>");
        const std::string last = r.path.substr(r.path.rfind('/') + 1);
        if (r.path == "/")
            return html("Site " + std::to_string(site), articleFor("home", 5).html);
        if (r.path == "/not-found")
            return html("Not found", "<h1>Not found</h1><p>Sorry, no such page.</p>");
        if (last.rfind("page-", 0) == 0) {
            const Article article = articleFor(last, 6);
            return html(article.title, article.html);
        }
        switch (kind) {
        case Kind::RealNotFound:
            return Reply::status("HTTP/1.1 404 Not Found", "no such page");
        case Kind::SoftNotFound:
            return html("Not found", "<h1>Not found</h1><p>Sorry, no such page.</p>");
        case Kind::RedirectToNotFound:
            return Reply::redirect(302, "/not-found");
        case Kind::RedirectHome:
        case Kind::Parked:
            break;
        }
        return Reply::redirect(301, "/");
    });
}

std::size_t requestsSoFar(const std::vector<std::unique_ptr<TestServer>> &sites)
{
    std::size_t count = 0;
    for (const auto &site : sites)
        count += site->requests().size();
    return count;
}

struct Run {
    std::size_t requests = 0;
    double seconds = 0;
    int status = -1;
    long probes = -1;
};

Run runCheck(const std::vector<std::unique_ptr<TestServer>> &sites, const fs::path &folder,
             const fs::path &report, bool deep)
{
    std::vector<std::string> args{
        QUORVEL_CHECK_PROGRAM, "--no-history", "--jobs", "16", "--per-host", "16", "--format",
        "json", "--output", report.string()};
    if (deep)
        args.push_back("--deep");
    args.push_back(folder.string());
    const std::size_t before = requestsSoFar(sites);
    const quorvel::bench::ChildRun child = quorvel::bench::runChild(args, "/dev/null");
    Run run;
    run.seconds = child.seconds;
    run.status = child.status;
    run.requests = requestsSoFar(sites) - before;
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    if (const auto at = text.find("\"probes\": "); at != std::string::npos)
        run.probes = std::atol(text.c_str() + at + 10);
    return run;
}

void writeFolder(const std::vector<std::unique_ptr<TestServer>> &sites, const fs::path &folder,
                 bool scattered)
{
    for (int site = 0; site < siteCount; ++site) {
        const fs::path sub = folder / ("Site " + std::to_string(site));
        fs::create_directories(sub);
        for (int page = -1; page < linksPerSite - 1; ++page) {
            const std::string path = page < 0 ? "/" : pathOf(site, page, scattered);
            std::ofstream(sub / ("Link " + std::to_string(page + 1) + ".url"), std::ios::binary)
                << "[InternetShortcut]\r\nURL=" << sites[site]->url(path) << "\r\n";
        }
    }
}

} // namespace

int main()
{
    std::vector<std::unique_ptr<TestServer>> sites;
    for (int site = 0; site < siteCount; ++site) {
        sites.push_back(std::make_unique<TestServer>());
        serveSite(*sites.back(), site, static_cast<Kind>(site % 5));
    }
    TempDir temp;
    bool met = true;
    for (const bool scattered : {false, true}) {
        const fs::path folder = temp.path() / (scattered ? "scattered" : "clustered");
        writeFolder(sites, folder, scattered);
        const Run plain = runCheck(sites, folder, temp.path() / "plain.json", false);
        const Run deep = runCheck(sites, folder, temp.path() / "deep.json", true);
        const double extra = 100.0 * (static_cast<double>(deep.requests) - plain.requests) /
                             static_cast<double>(plain.requests);
        std::printf("%s: %d shortcuts over %d sites\n",
                    scattered ? "Scattered, every page in a directory of its own (for comparison)"
                              : "Clustered in 1 to 3 directories per site",
                    siteCount * linksPerSite, siteCount);
        std::printf("  without --deep: %zu requests in %.2f s (exit %d)\n", plain.requests,
                    plain.seconds, plain.status);
        std::printf("  with --deep:    %zu requests in %.2f s (exit %d), %ld probes\n",
                    deep.requests, deep.seconds, deep.status, deep.probes);
        std::printf("  extra requests: %+.1f%%", extra);
        if (!scattered) {
            const bool within = extra <= 30.0 && plain.status == 1 && deep.status == 1;
            std::printf(" (target at most +30%%: %s)", within ? "met" : "NOT MET");
            met = met && within;
        }
        std::printf("\n");
    }
    for (auto &site : sites)
        site->stop();
    return met ? 0 : 1;
}
