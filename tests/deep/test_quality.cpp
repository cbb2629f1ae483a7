// The deeper checks against the loopback web, with real HTTP answers: how many dead links
// behind a 2xx they find, and how rarely they call a live page dead.

#include "deep/quality.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace
{

TEST(DeepQuality, FindsMostDeadLinksBehind2xxAndRarelyCallsALivePageDead)
{
    test::WebSites web;
    const auto figures = test::measureQuality(web, deep::ParkingPhrases::builtIn());
    SCOPED_TRACE(test::describe(figures));
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
    std::printf("%s", test::describe(figures).c_str());
}

} // namespace
