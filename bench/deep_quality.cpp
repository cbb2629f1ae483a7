// Prints how well the deeper checks do on the loopback web of the tests: precision and recall
// for suspects, the margin on both sides of the similarity threshold, the extra requests the
// probes cost, and every link judged otherwise than labelled.
//
//   build/bench/deep_quality

#include "deep/quality.h"

#include <cstdio>
#include <map>

int main()
{
    using namespace quorvel;
    test::WebSites web;
    const auto figures = test::measureQuality(web, deep::ParkingPhrases::builtIn());
    std::printf("%s", test::describe(figures).c_str());

    std::map<std::string, std::pair<int, int>> byTruth; // label: links, found suspect
    for (const auto &judged : figures.judged) {
        auto &[links, suspects] = byTruth[test::truthName(judged.link.truth)];
        ++links;
        suspects += judged.verdict.suspect() ? 1 : 0;
    }
    std::printf("by label:\n");
    for (const auto &[truth, counts] : byTruth)
        std::printf("  %-24s %3d links, %3d found suspect\n", truth.c_str(), counts.first,
                    counts.second);
    return figures.precision() >= 0.95 && figures.recall() >= 0.9 ? 0 : 1;
}
