// Prints how well --deep does on the loopback web of the tests, measured through quorvel-check
// itself (a folder of shortcuts to every labelled link, checked with and without --deep, the
// requests counted at the sites): precision and recall for suspects and what the probes cost.
// Then the verdicts alone over a plain fetcher, with the margins on both sides of the
// similarity threshold, and every link judged otherwise than labelled.
//
//   build/bench/deep_quality                  the figures; exit 1 when a target is not met
//   build/bench/deep_quality --serve FOLDER   writes a shortcut per labelled link into FOLDER
//                                             and serves the web until stopped, for trying
//                                             quorvel-check --deep by hand

#include "deep/checkedweb.h"
#include "deep/quality.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include <unistd.h>

namespace
{

using namespace quorvel;

void printByLabel(const test::QualityFigures &figures)
{
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
}

int serve(const char *folder)
{
    test::WebSites web;
    if (std::filesystem::exists(folder)) {
        std::fprintf(stderr, "%s exists already; name a new folder\n", folder);
        return 2;
    }
    test::writeShortcuts(web, folder);
    std::printf("%zu shortcuts in %s, one sub-folder per site; serving until stopped\n",
                web.links().size(), folder);
    for (const auto &link : web.links())
        std::printf("  %-10s %-24s %s\n", link.site.c_str(), test::truthName(link.truth),
                    link.url.c_str());
    std::fflush(stdout);
    for (;;)
        ::pause();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--serve") == 0)
        return serve(argv[2]);

    test::WebSites web;
    cli::CheckSettings settings;
    settings.perHost = 4; // every site is 127.0.0.1 to the per-host limit
    const auto checked = test::measureWithChecker(web, deep::ParkingPhrases::builtIn(), settings);
    std::printf("Through quorvel-check --deep (--per-host 4):\n%s",
                test::describe(checked).c_str());
    printByLabel(checked);
    const bool met = checked.precision() >= 0.95 && checked.recall() >= 0.9;
    std::printf("targets (precision >= 0.95, recall >= 0.9): %s\n\n", met ? "met" : "NOT MET");

    const auto alone = test::measureQuality(web, deep::ParkingPhrases::builtIn());
    std::printf("The verdicts alone, pages fetched with plain libcurl:\n%s",
                test::describe(alone).c_str());
    return met ? 0 : 1;
}
