// --deep through checkCatalogue against the scripted server: probes keep the limits every
// request keeps and go once per host and directory, and keeping the start of bodies changes no
// dead/alive verdict.

#include "cli/checkrun.h"
#include "cli/catalogueof.h"
#include "support/testserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace quorvel;
using namespace quorvel::cli;
using namespace quorvel::test;
using namespace std::chrono_literals;

namespace
{

const char *const articles[] = {
    "The new footbridge over the river opens on Saturday after two years of work.",
    "Our choir sang in four cathedrals this summer and came home hoarse but happy.",
    "Plant garlic in pots before the first frost and keep them by a sunny wall.",
    "The bakery on the square won a prize for its rye bread and its plum cake.",
    "Ferries will sail every hour in winter, weather permitting, from the old pier.",
    "Volunteers repaired the church roof in a weekend with slates from the quarry.",
};

std::string page(const std::string &title, const std::string &text)
{
    return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1><p>" + text +
           "</p></body></html>";
}

TEST(DeepCheck, ProbesKeepTheRequestLimitsAndGoOncePerDirectory)
{
    const struct {
        int jobs;
        int perHost;
    } limits[] = {{16, 1}, {2, 16}};
    for (const auto &limit : limits) {
        TestServer server;
        std::atomic<int> now{0};
        std::atomic<int> most{0};
        std::atomic<int> probes{0};
        // Real articles at /x/real-N; every other address gets a "not found" page with 200.
        server.fallback([&](const ReceivedRequest &r) {
            const int current = ++now;
            int seen = most.load();
            while (current > seen && !most.compare_exchange_weak(seen, current)) {
            }
            std::this_thread::sleep_for(30ms);
            --now;
            const std::string last = r.path.substr(r.path.rfind('/') + 1);
            if (last.size() == 24)
                ++probes;
            if (last.rfind("real-", 0) == 0)
                return Reply::ok(page(last, articles[(last.back() - '0') % 6]),
                                 "text/html; charset=utf-8");
            return Reply::ok(page("Not found", "Sorry, there is no such page on this site."),
                             "text/html; charset=utf-8");
        });
        std::vector<std::string> urls;
        for (const char *directory : {"/a/", "/b/", "/c/"}) {
            for (const char *name : {"real-1", "gone-1", "real-2", "gone-2"})
                urls.push_back(server.url(std::string(directory) + name));
        }
        CheckSettings settings;
        settings.jobs = limit.jobs;
        settings.perHost = limit.perHost;
        const Report report = checkCatalogue(catalogueOf(urls), "/fav", false, settings, {},
                                             &deep::ParkingPhrases::builtIn());

        EXPECT_EQ(most.load(), std::min(limit.jobs, limit.perHost)) << limit.jobs;
        EXPECT_EQ(probes.load(), 3);
        EXPECT_EQ(report.probes, 3u);
        const Tally t = report.tally();
        EXPECT_EQ(t.alive, 6u);
        EXPECT_EQ(t.suspect, 6u);
        for (const ReportEntry &entry : report.entries) {
            const bool gone = entry.url.find("gone") != std::string::npos;
            EXPECT_EQ(entry.result.kind, gone ? ResultKind::Suspect : ResultKind::Alive)
                << entry.url;
        }
        EXPECT_EQ(exitStatusOf(report), 1);
    }
}

TEST(DeepCheck, ReadingTheStartOfBodiesChangesNoDeadOrAliveVerdict)
{
    TestServer server;
    Reply cut = Reply::ok(std::string(1024 * 1024, 'x'), "text/html");
    cut.cut = Reply::Cut::Reset; // long after the part that is kept
    cut.cutAfter = 600 * 1024;
    server.route("/cut", cut);
    server.route("/large", Reply::ok(std::string(2 * 1024 * 1024, 'y'), "text/html"));
    server.route("/gone", Reply::status("HTTP/1.1 404 Not Found", "no"));
    const std::vector<std::string> urls{server.url("/cut"), server.url("/large"),
                                        server.url("/gone")};
    CheckSettings settings;
    settings.timeout = 10s;
    settings.retryWait = 20ms; // the reset body is tried again, with the same outcome
    const Report plain = checkCatalogue(catalogueOf(urls), "/fav", false, settings);
    const Report looked = checkCatalogue(catalogueOf(urls), "/fav", false, settings, {},
                                         &deep::ParkingPhrases::builtIn());
    ASSERT_EQ(plain.entries.size(), 3u);
    EXPECT_EQ(plain.entries[0].result.kind, ResultKind::Dead);
    EXPECT_EQ(plain.entries[1].result.kind, ResultKind::Alive);
    for (std::size_t i = 0; i < urls.size(); ++i) {
        EXPECT_EQ(looked.entries[i].result.kind, plain.entries[i].result.kind) << urls[i];
        EXPECT_EQ(looked.entries[i].result.error, plain.entries[i].result.error) << urls[i];
    }
    EXPECT_TRUE(looked.deep);
    EXPECT_FALSE(plain.deep);
}

} // namespace
