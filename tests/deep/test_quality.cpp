// The deeper checks against the loopback web, with real HTTP answers: how many dead links
// behind a 2xx they find, and how rarely they call a live page dead; once with the verdicts
// alone over a plain fetcher, once through quorvel-check reading a folder of shortcuts.

#include "deep/checkedweb.h"
#include "deep/quality.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace
{

void expectTargetsMet(const test::QualityFigures &figures)
{
    EXPECT_GE(figures.precision(), 0.95);
    EXPECT_GE(figures.recall(), 0.9);
    EXPECT_GE(figures.truePositives, 40) << "the set lost its dead links";
    for (const auto &judged : figures.judged) {
        EXPECT_TRUE(judged.error.empty()) << judged.link.url << ": " << judged.error;
        if (judged.link.templateHeavy && judged.link.truth == test::Truth::Alive) {
            EXPECT_FALSE(judged.verdict.suspect())
                << judged.link.url << ": " << judged.verdict.evidence;
        }
    }
}

TEST(DeepQuality, FindsMostDeadLinksBehind2xxAndRarelyCallsALivePageDead)
{
    test::WebSites web;
    const auto figures = test::measureQuality(web, deep::ParkingPhrases::builtIn());
    SCOPED_TRACE(test::describe(figures));
    expectTargetsMet(figures);
    std::printf("%s", test::describe(figures).c_str());
}

TEST(DeepQuality, QuorvelCheckReachesTheSameQualityWithOneProbePerDirectoryAtMost)
{
    test::WebSites web;
    cli::CheckSettings settings;
    settings.perHost = 4; // every site is 127.0.0.1 to the per-host limit
    const auto figures = test::measureWithChecker(web, deep::ParkingPhrases::builtIn(), settings);
    SCOPED_TRACE(test::describe(figures));
    expectTargetsMet(figures);
    EXPECT_EQ(test::mostProbesInOneDirectory(web.requestedUrls()), 1);
    EXPECT_GT(figures.probes, 0);
    EXPECT_LE(figures.probeRequests, 2 * figures.probes) << "a probe follows one redirect at most";
    std::printf("%s", test::describe(figures).c_str());
}

} // namespace
