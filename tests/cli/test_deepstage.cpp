// The --deep stage between the checker and the report, without HTTP: which links wait for a
// probe, how often a directory is probed, and how long a probe's answer is kept.

#include "cli/deepstage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace quorvel;
using namespace quorvel::cli;

namespace
{

const std::string notFoundPage =
    "<title>Not found</title><h1>Sorry</h1><p>That page is not here any more; try the search "
    "box above or start again from the home page.</p>";
const std::string articlePage =
    "<title>Pruning roses</title><h1>Pruning roses</h1><p>Cut back to an outward facing bud in "
    "late winter, and burn what you cut to keep black spot away.</p>";

LinkOutcome answered(const std::string &url, int status, const std::string &page,
                     const std::string &finalUrl = {})
{
    LinkOutcome outcome;
    outcome.status = status;
    outcome.requestedUrl = url;
    outcome.finalUrl = finalUrl.empty() ? url : finalUrl;
    outcome.body = page;
    outcome.contentType = "text/html; charset=utf-8";
    return outcome;
}

CheckResult verdictOf(const LinkOutcome &outcome)
{
    CheckResult result;
    result.kind = outcome.status == 404 ? ResultKind::Dead : ResultKind::Alive;
    result.status = outcome.status;
    return result;
}

// A finder whose probes are noted instead of sent, and whose settled links are collected.
struct Harness {
    std::vector<std::pair<std::size_t, std::string>> probes;
    std::map<std::size_t, CheckResult> settled;
    DeepStage finder{
        deep::ParkingPhrases::builtIn(), 1000,
        [this](std::size_t id, std::string url) { probes.emplace_back(id, std::move(url)); },
        [this](std::size_t link, CheckResult result) {
            EXPECT_EQ(settled.count(link), 0u) << "settled twice: " << link;
            settled[link] = std::move(result);
        }};

    void link(std::size_t id, LinkOutcome outcome)
    {
        const CheckResult result = verdictOf(outcome);
        finder.linkAnswered(id, std::move(outcome), result);
    }
    void probeAnswers(std::size_t nth, int status, const std::string &page)
    {
        ASSERT_LT(nth, probes.size());
        finder.probeAnswered(probes[nth].first, answered(probes[nth].second, status, page));
    }
};

TEST(DeepStage, LinksWaitForTheirDirectorysOneProbeAndAreJudgedByIt)
{
    Harness h;
    h.link(0, answered("http://site.test/blog/old-post", 200, notFoundPage));
    h.link(1, answered("http://site.test/blog/roses", 200, articlePage));
    h.link(2, answered("https://site.test/blog/gone-too", 200, notFoundPage));
    h.link(3, answered("http://site.test/shop/teapot", 200, notFoundPage));

    // One probe per host and directory, http and https sharing it; nothing judged before it.
    ASSERT_EQ(h.probes.size(), 2u);
    EXPECT_EQ(h.probes[0].second.rfind("http://site.test/blog/", 0), 0u) << h.probes[0].second;
    EXPECT_EQ(h.probes[0].second.size(), std::string("http://site.test/blog/").size() + 24);
    EXPECT_EQ(h.probes[1].second.rfind("http://site.test/shop/", 0), 0u);
    EXPECT_TRUE(h.finder.isProbe(h.probes[0].first));
    EXPECT_FALSE(h.finder.isProbe(0));
    EXPECT_TRUE(h.settled.empty());
    EXPECT_EQ(h.finder.waiting(), 4u);

    h.probeAnswers(0, 200, notFoundPage);
    EXPECT_EQ(h.finder.waiting(), 1u);
    ASSERT_EQ(h.settled.size(), 3u);
    EXPECT_EQ(h.settled[0].kind, ResultKind::Suspect);
    EXPECT_EQ(h.settled[0].reason, "soft 404");
    EXPECT_NE(h.settled[0].evidence.find("made-up address /blog/"), std::string::npos);
    EXPECT_EQ(h.settled[1].kind, ResultKind::Alive);
    EXPECT_EQ(h.settled[2].kind, ResultKind::Suspect);

    // A site with real 404 pages: its 2xx pages are real.
    h.probeAnswers(1, 404, notFoundPage);
    EXPECT_EQ(h.settled[3].kind, ResultKind::Alive);
    EXPECT_EQ(h.finder.waiting(), 0u);

    // Later links of a probed directory are judged at once.
    h.link(4, answered("http://site.test/blog/another-gone", 200, notFoundPage));
    EXPECT_EQ(h.settled[4].kind, ResultKind::Suspect);
    EXPECT_EQ(h.probes.size(), 2u);
    EXPECT_EQ(h.finder.probesSent(), 2u);
}

TEST(DeepStage, OnlyLinksWhoseVerdictAProbeCanChangeWaitForOne)
{
    const struct {
        const char *what;
        LinkOutcome outcome;
        ResultKind kind;
    } cases[] = {
        {"dead by 404", answered("http://a.test/x/gone", 404, notFoundPage), ResultKind::Dead},
        {"a 500 is alive, and not a page to judge",
         answered("http://a.test/x/broken", 500, notFoundPage), ResultKind::Alive},
        {"the home page", answered("http://a.test/", 200, notFoundPage), ResultKind::Alive},
        {"parked, whatever its site does",
         answered("http://a.test/x/shop", 200,
                  "<title>a.test - this domain is for sale</title><p>Make an offer.</p>"),
         ResultKind::Suspect},
        {"sent to its site's home page",
         answered("http://a.test/x/old", 200, articlePage, "http://a.test/"), ResultKind::Suspect},
    };
    for (const auto &c : cases) {
        Harness h;
        h.link(0, c.outcome);
        EXPECT_TRUE(h.probes.empty()) << c.what;
        ASSERT_EQ(h.settled.count(0), 1u) << c.what;
        EXPECT_EQ(h.settled[0].kind, c.kind) << c.what;
    }

    // A probe that failed leaves the waiting link as it was: alive.
    Harness h;
    h.link(0, answered("http://a.test/x/page", 200, notFoundPage));
    ASSERT_EQ(h.probes.size(), 1u);
    LinkOutcome failed;
    failed.error = 12002;
    h.finder.probeAnswered(h.probes[0].first, failed);
    EXPECT_EQ(h.settled[0].kind, ResultKind::Alive);
}

TEST(DeepStage, AProbesAnswerIsDroppedAfterTheLastAnnouncedLinkOfItsDirectory)
{
    // Two links announced for /blog/; a third, unannounced one arrives after both were judged.
    // Had the answer been kept, it would be judged by it; dropped, the directory is asked again.
    for (const bool announceThird : {false, true}) {
        Harness h;
        const std::vector<std::string> urls{"http://site.test/blog/a", "http://site.test/blog/b",
                                            "http://site.test/blog/c"};
        for (std::size_t i = 0; i < (announceThird ? 3u : 2u); ++i)
            h.finder.expect(urls[i]);
        h.link(0, answered(urls[0], 200, notFoundPage));
        h.link(1, answered(urls[1], 200, articlePage));
        h.probeAnswers(0, 200, notFoundPage);
        h.link(2, answered(urls[2], 200, notFoundPage));
        EXPECT_EQ(h.probes.size(), announceThird ? 1u : 2u) << announceThird;
    }
}

} // namespace
