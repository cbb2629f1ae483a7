// Verdicts safe to act on, through checkCatalogue against the scripted server and a stand-in
// resolver: failures that pass are tried again, rate limits are honoured, 410 is dead, dead
// hosts are cut short, and a run without a network is told apart from a folder of dead hosts.

#include "cli/checkrun.h"
#include "cli/catalogueof.h"
#include "inet/inet.h"
#include "support/freeport.h"
#include "support/testserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

using namespace quorvel;
using namespace quorvel::cli;
using namespace quorvel::test;
using namespace std::chrono_literals;
namespace inet = quorvel::platform::inet;

namespace
{

// Names ending in ".test" resolve to loopback, names starting with "gone" do not exist, names
// starting with "lame" fail every time; each lookup is counted.
struct StandInResolver {
    std::mutex mutex;
    std::map<std::string, int> lookups;
    bool networkDown = false;

    LookUpFunction function()
    {
        return [this](const std::string &host) {
            {
                const std::lock_guard lock(mutex);
                ++lookups[host];
            }
            LookupResult result;
            if (host.starts_with("late")) {
                // The network is gone by the time these are asked.
                std::this_thread::sleep_for(200ms);
                result.kind = LookupResult::Kind::Failed;
            } else if (networkDown || host.starts_with("lame"))
                result.kind = LookupResult::Kind::Failed;
            else if (host.starts_with("gone"))
                result.kind = LookupResult::Kind::NoSuchHost;
            else
                result = {LookupResult::Kind::Found, {"127.0.0.1"}};
            return result;
        };
    }
    int count(const std::string &host)
    {
        const std::lock_guard lock(mutex);
        return lookups[host];
    }
};

CheckSettings quick(StandInResolver &resolver)
{
    CheckSettings settings;
    settings.retryWait = 20ms;
    settings.retryAfterCap = 50ms;
    settings.timeout = 5s;
    settings.lookUp = resolver.function();
    return settings;
}

Reply resetting()
{
    Reply reply;
    reply.action = Reply::Action::Reset;
    return reply;
}

Reply limited(const std::string &status, const std::string &retryAfter)
{
    Reply reply = Reply::status(status, "later");
    if (!retryAfter.empty())
        reply.headers.push_back("Retry-After: " + retryAfter);
    return reply;
}

} // namespace

TEST(Verdicts, FailuresThatPassAreTriedAgainAndRateLimitsAreNoVerdict)
{
    TestServer server;
    const Reply ok = Reply::ok("fine");
    const Reply notFound = Reply::status("HTTP/1.1 404 Not Found", "no");
    server.route("/flaky", std::vector<Reply>{resetting(), ok});
    server.route("/broken", resetting());
    server.route("/polite", std::vector<Reply>{limited("HTTP/1.1 429 Too Many Requests", "1"),
                                               notFound});
    server.route("/dated", std::vector<Reply>{limited("HTTP/1.1 429 Too Many Requests",
                                                      "Wed, 21 Oct 2015 07:28:00 GMT"),
                                              ok});
    server.route("/busy", limited("HTTP/1.1 503 Service Unavailable", ""));
    server.route("/gone", Reply::status("HTTP/1.1 410 Gone", "gone"));
    const std::string site = "http://site.test:" + std::to_string(server.port());

    const struct {
        std::string path;
        ResultKind kind;
        std::string reason;
        int tries;
        bool unverified;
        int requests; // that reached the server; libcurl sends a request again once itself when
                      // a kept connection turns out reset
    } cases[] = {
        {"/flaky", ResultKind::Alive, "", 2, false, 2},
        {"/broken", ResultKind::Dead, "error", 3, false, 3},
        {"/polite", ResultKind::Dead, "404", 2, false, 2},
        {"/dated", ResultKind::Alive, "", 2, false, 2},
        {"/busy", ResultKind::Alive, "", 3, true, 3},
        {"/gone", ResultKind::Dead, "410", 1, false, 1},
    };
    std::vector<std::string> urls;
    for (const auto &c : cases)
        urls.push_back(site + c.path);
    StandInResolver resolver;
    const Report report = checkCatalogue(catalogueOf(urls), "/fav", false, quick(resolver));

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto &c = cases[i];
        const CheckResult &r = report.entries[i].result;
        EXPECT_EQ(r.kind, c.kind) << c.path;
        EXPECT_EQ(r.reason, c.reason) << c.path;
        EXPECT_EQ(r.tries, c.tries) << c.path;
        EXPECT_EQ(r.unverified, c.unverified) << c.path;
        EXPECT_GE(server.requestCount(c.path), c.requests) << c.path;
        EXPECT_LE(server.requestCount(c.path), 2 * c.requests) << c.path;
    }
    EXPECT_EQ(report.entries[4].result.status, 503);
    EXPECT_EQ(report.entries[5].result.evidence, "HTTP/1.1 410 Gone");
    // One host, one lookup, whatever the retries.
    EXPECT_EQ(resolver.count("site.test"), 1);
    const Tally t = report.tally();
    EXPECT_EQ(t.deadBy410, 1u);
    EXPECT_EQ(t.rateLimited, 1u);
    EXPECT_FALSE(report.networkDown);
}

TEST(Verdicts, ARateLimitedHostGetsFewerRequestsAtOnceAndNeverMoreThanPerHost)
{
    TestServer server;
    std::atomic<int> now{0};
    std::atomic<int> most{0};
    std::atomic<int> limitedAnswers{0};
    server.route("/page", [&](const ReceivedRequest &) {
        const int current = ++now;
        for (int seen = most.load(); current > seen && !most.compare_exchange_weak(seen, current);)
            ;
        std::this_thread::sleep_for(30ms);
        Reply reply = Reply::ok("fine");
        if (current > 1) {
            ++limitedAnswers;
            reply = limited("HTTP/1.1 429 Too Many Requests", "0");
        }
        --now;
        return reply;
    });
    StandInResolver resolver;
    CheckSettings settings = quick(resolver);
    settings.perHost = 2;
    const std::string url = "http://site.test:" + std::to_string(server.port()) + "/page";
    const Report report =
        checkCatalogue(catalogueOf(std::vector<std::string>(12, url)), "/fav", false, settings);

    EXPECT_LE(most.load(), 2);
    // Once lowered to one at a time, the host answers every request.
    EXPECT_LE(limitedAnswers.load(), 2);
    for (const ReportEntry &entry : report.entries) {
        EXPECT_EQ(entry.result.kind, ResultKind::Alive);
        EXPECT_FALSE(entry.result.unverified);
    }
}

TEST(Verdicts, DeadHostsAreCutShortAndTheirOtherLinksTakeTheirVerdict)
{
    StandInResolver resolver;
    CheckSettings settings = quick(resolver);
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedLoopbackPort());
    std::vector<std::string> urls;
    for (int i = 0; i < 4; ++i)
        urls.push_back("http://gone.example/page" + std::to_string(i));
    for (int i = 0; i < 6; ++i)
        urls.push_back(refused + "/page" + std::to_string(i));
    urls.push_back("http://lame.example/");
    TestServer stalled;
    Reply silent = Reply::ok("never");
    silent.delayBeforeHeaders = 1h;
    stalled.route("/stall", silent);
    for (int i = 0; i < 4; ++i)
        urls.push_back(stalled.url("/stall"));
    settings.timeout = 300ms;
    const Report report = checkCatalogue(catalogueOf(urls), "/fav", false, settings);

    // The name that does not exist is asked once; one link made that try, the rest took it.
    EXPECT_EQ(resolver.count("gone.example"), 1);
    int gonesTried = 0;
    for (int i = 0; i < 4; ++i) {
        const CheckResult &r = report.entries[i].result;
        EXPECT_EQ(r.kind, ResultKind::Dead);
        EXPECT_EQ(r.error, inet::ERROR_INTERNET_NAME_NOT_RESOLVED);
        EXPECT_EQ(r.tries + (r.hostVerdict ? 1 : 0), 1) << i;
        gonesTried += r.tries;
    }
    EXPECT_EQ(gonesTried, 1);

    // A refused port: each try counts towards its verdict; after three, the rest take it.
    int refusedTries = 0;
    int verdicts = 0;
    for (int i = 4; i < 10; ++i) {
        const CheckResult &r = report.entries[i].result;
        EXPECT_EQ(r.kind, ResultKind::Dead) << i;
        EXPECT_EQ(r.error, inet::ERROR_INTERNET_CANNOT_CONNECT) << i;
        EXPECT_LE(r.tries, 2) << i;
        refusedTries += r.tries;
        verdicts += r.hostVerdict ? 1 : 0;
    }
    EXPECT_LE(refusedTries, 5);
    EXPECT_GE(verdicts, 3);

    // A server that takes connections and answers nothing: two links wait out the time limit,
    // the rest take their verdict.
    EXPECT_EQ(stalled.requestCount("/stall"), 2);
    for (int i = 11; i < 15; ++i) {
        const CheckResult &r = report.entries[i].result;
        EXPECT_EQ(r.kind, ResultKind::Dead) << i;
        EXPECT_EQ(r.error, inet::ERROR_INTERNET_TIMEOUT) << i;
        EXPECT_EQ(r.hostVerdict, i >= 13) << i;
    }

    // A resolver that fails is asked again for each try, and its link is dead in the end.
    EXPECT_EQ(resolver.count("lame.example"), 3);
    EXPECT_EQ(report.entries[10].result.tries, 3);
    EXPECT_EQ(report.entries[10].result.kind, ResultKind::Dead);
    // Refused connections and "no such host" are answers: the network is there.
    EXPECT_FALSE(report.networkDown);
}

TEST(Verdicts, WithoutANetworkTheRunSaysSoButAFolderOfGoneHostsIsAVerdict)
{
    const std::vector<std::string> urls = {"http://one.example/", "http://two.example/a",
                                           "http://two.example/b", "http://three.example/"};
    StandInResolver down;
    down.networkDown = true;
    const Report offline = checkCatalogue(catalogueOf(urls), "/fav", false, quick(down));
    EXPECT_TRUE(offline.networkDown);
    EXPECT_EQ(offline.hostsTried, 3u);
    EXPECT_EQ(exitStatusOf(offline), 3);
    EXPECT_EQ(exitStatusOf(offline, true), 1);

    const std::vector<std::string> gone = {"http://gone1.example/", "http://gone2.example/",
                                           "http://gone3.example/"};
    StandInResolver resolver;
    const Report dead = checkCatalogue(catalogueOf(gone), "/fav", false, quick(resolver));
    EXPECT_FALSE(dead.networkDown);
    EXPECT_EQ(dead.tally().otherErrors, 3u);
    EXPECT_EQ(exitStatusOf(dead), 1);
}

TEST(Verdicts, LinksThatFailedAfterTheNetworkWasLostAreUnverifiedNotDead)
{
    TestServer server;
    server.route("/ok", Reply::ok("fine"));
    const std::string port = std::to_string(server.port());
    const std::vector<std::string> urls = {
        "http://site1.test:" + port + "/ok", "http://site2.test:" + port + "/ok",
        "http://site3.test:" + port + "/ok", "http://gone.example/",
        "http://late1.example/",             "http://late2.example/",
        "http://late3.example/"};
    StandInResolver resolver;
    const Report report = checkCatalogue(catalogueOf(urls), "/fav", false, quick(resolver));

    EXPECT_FALSE(report.networkDown);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(report.entries[i].result.kind, ResultKind::Alive) << i;
    // Gone while the network still answered: that is a verdict.
    EXPECT_EQ(report.entries[3].result.kind, ResultKind::Dead);
    for (int i = 4; i < 7; ++i) {
        const CheckResult &r = report.entries[i].result;
        EXPECT_EQ(r.kind, ResultKind::Alive) << i;
        EXPECT_TRUE(r.unverified) << i;
        EXPECT_TRUE(r.networkLost) << i;
        EXPECT_EQ(r.error, inet::ERROR_INTERNET_NAME_NOT_RESOLVED) << i;
    }
    EXPECT_EQ(report.tally().networkLost, 3u);
    EXPECT_EQ(report.tally().dead(), 1u);
}

TEST(NetworkGuard, TellsADownOrLostNetworkFromHostsThatAreGone)
{
    using Clock = NetworkGuard::Clock;
    const auto t0 = Clock::now();
    const auto at = [&](int seconds) { return t0 + std::chrono::seconds(seconds); };
    const struct {
        std::string name;
        std::vector<std::tuple<std::string, bool, int>> tries; // host, answered, started at
        bool down;
        bool lost;
    } cases[] = {
        {"two silent hosts cannot tell", {{"a", false, 0}, {"b", false, 0}}, false, false},
        {"three silent hosts", {{"a", false, 0}, {"b", false, 0}, {"c", false, 0}}, true, false},
        {"one host answered", {{"a", false, 0}, {"b", true, 0}, {"c", false, 0}}, false, false},
        {"a silent host that answered later",
         {{"a", false, 0}, {"a", true, 1}, {"b", false, 0}, {"c", false, 0}},
         false,
         false},
        {"nine of ten silent",
         {{"a", true, 0}, {"b", false, 0}, {"c", false, 0}, {"d", false, 0}, {"e", false, 0},
          {"f", false, 0}, {"g", false, 0}, {"h", false, 0}, {"i", false, 0}, {"j", false, 0}},
         true,
         false},
        {"silent hosts first tried after the last answer",
         {{"a", true, 0}, {"b", true, 1}, {"c", true, 2}, {"d", false, 10}, {"e", false, 11},
          {"f", false, 12}},
         false,
         true},
        {"silent hosts tried before the last answer",
         {{"a", true, 20}, {"b", true, 21}, {"c", true, 22}, {"d", false, 10}, {"e", false, 11},
          {"f", false, 12}},
         false,
         false},
    };
    for (const auto &c : cases) {
        NetworkGuard guard;
        for (const auto &[host, answered, started] : c.tries)
            guard.tryEnded(host, answered, at(started), at(started + 1));
        const auto verdict = guard.verdict();
        EXPECT_EQ(verdict.down, c.down) << c.name;
        EXPECT_EQ(verdict.lostAfter.has_value(), c.lost) << c.name;
    }
}

TEST(TryEnd, RetryAfterIsReadAsSecondsOrADateAndCapped)
{
    EXPECT_EQ(retryAfter("5", 60s), 5s);
    EXPECT_EQ(retryAfter(" 0 ", 60s), 0s);
    EXPECT_EQ(retryAfter("120", 60s), 60s);
    EXPECT_EQ(retryAfter("99999999999999999999", 60s), 60s);
    EXPECT_EQ(retryAfter("Wed, 21 Oct 2015 07:28:00 GMT", 60s), 0s); // in the past
    const auto soon = retryAfter("Fri, 01 Jan 2100 00:00:00 GMT", 60s);
    EXPECT_EQ(soon, 60s);
    EXPECT_FALSE(retryAfter("soon", 60s));
    EXPECT_FALSE(retryAfter("", 60s));

    // Which ends may pass later, and which say the network answered.
    EXPECT_EQ(triesFor(TryEnd::Transient, 2), 3);
    EXPECT_EQ(triesFor(TryEnd::Refused, 2), 2);
    EXPECT_EQ(triesFor(TryEnd::ConnectTimedOut, 0), 1);
    EXPECT_EQ(triesFor(TryEnd::NoSuchHost, 2), 1);
    EXPECT_EQ(triesFor(TryEnd::TimedOut, 2), 1);
    EXPECT_TRUE(networkAnswered(TryEnd::NoSuchHost));
    EXPECT_TRUE(networkAnswered(TryEnd::Refused));
    EXPECT_FALSE(networkAnswered(TryEnd::ResolverFailed));
    EXPECT_FALSE(networkAnswered(TryEnd::Unreachable));
}

TEST(LinkFilter, IntranetAndHomeAddressesAreSkippedAndExcludesMatchTheUrl)
{
    const struct {
        std::string url;
        std::optional<std::string_view> reason;
    } cases[] = {
        {"http://intranet/", reason::privateHost},
        {"http://intranet./wiki", reason::privateHost},
        {"http://192.168.1.1/", reason::privateHost},
        {"http://10.1.2.3:8080/", reason::privateHost},
        {"http://172.16.0.1/", reason::privateHost},
        {"http://172.31.255.255/", reason::privateHost},
        {"http://172.32.0.1/", std::nullopt},
        {"http://169.254.10.10/", reason::privateHost},
        {"http://[fd12::1]/", reason::privateHost},
        {"http://[fe80::1]/", reason::privateHost},
        {"http://[2001:db8::1]/", std::nullopt},
        {"http://nas.local/", reason::privateHost},
        {"http://Printer.LAN/", reason::privateHost},
        {"http://build.corp.internal/", reason::privateHost},
        {"http://router.home.arpa/", reason::privateHost},
        {"http://notlocal/", reason::privateHost},
        {"http://example.local.com/", std::nullopt},
        {"http://localhost:8080/", std::nullopt},
        {"http://127.0.0.1/", std::nullopt},
        {"http://[::1]/", std::nullopt},
        {"https://example.org/", std::nullopt},
    };
    LinkFilter filter;
    for (const auto &c : cases)
        EXPECT_EQ(filterReason(c.url, filter), c.reason) << c.url;
    filter.includePrivate = true;
    EXPECT_EQ(filterReason("http://intranet/", filter), std::nullopt);

    std::string error;
    ASSERT_TRUE(addExclude(filter, "^https?://ads\\.", error));
    EXPECT_EQ(filterReason("http://ads.example.org/x", filter), reason::excluded);
    EXPECT_EQ(filterReason("http://example.org/ads.html", filter), std::nullopt);
    EXPECT_FALSE(addExclude(filter, "([unclosed", error));
    EXPECT_NE(error.find("([unclosed"), std::string::npos);
    EXPECT_FALSE(addExcludeFile(filter, "/nonexistent/patterns.txt", error));
    EXPECT_NE(error.find("/nonexistent/patterns.txt"), std::string::npos);
}
