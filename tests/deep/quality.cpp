#include "deep/quality.h"

#include "deep/pagefetch.h"
#include "deep/probe.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace quorvel::test
{

namespace
{

bool isDeadBehind2xx(Truth truth)
{
    return truth == Truth::SoftNotFound || truth == Truth::MovedHome || truth == Truth::Parked;
}

deep::SuspectReason reasonFor(Truth truth)
{
    switch (truth) {
    case Truth::SoftNotFound:
        return deep::SuspectReason::SoftNotFound;
    case Truth::MovedHome:
        return deep::SuspectReason::MovedToHomePage;
    case Truth::Parked:
        return deep::SuspectReason::Parked;
    default:
        return deep::SuspectReason::None;
    }
}

} // namespace

double QualityFigures::precision() const
{
    const int flagged = truePositives + falsePositives;
    return flagged == 0 ? 1.0 : static_cast<double>(truePositives) / flagged;
}

double QualityFigures::recall() const
{
    const int dead = truePositives + falseNegatives;
    return dead == 0 ? 1.0 : static_cast<double>(truePositives) / dead;
}

void countVerdict(QualityFigures &figures, JudgedLink judged)
{
    const bool dead = isDeadBehind2xx(judged.link.truth);
    if (judged.verdict.suspect() && dead) {
        ++figures.truePositives;
        if (judged.verdict.reason != reasonFor(judged.link.truth))
            ++figures.wrongReason;
    } else if (judged.verdict.suspect()) {
        ++figures.falsePositives;
    } else if (dead) {
        ++figures.falseNegatives;
    } else {
        ++figures.trueNegatives;
    }
    figures.judged.push_back(std::move(judged));
}

QualityFigures measureQuality(const WebSites &web, const deep::ParkingPhrases &phrases)
{
    QualityFigures figures;
    std::map<std::string, Fetched> probeCache;
    for (const LabelledLink &link : web.links()) {
        JudgedLink judged;
        judged.link = link;
        const Fetched fetched = fetchPage(link.url);
        figures.linkRequests += fetched.requests;
        judged.status = fetched.answer.status;
        judged.error = fetched.error;
        judged.verdict = deep::judgeLink(fetched.answer, nullptr, phrases);
        if (deep::wantsProbe(fetched.answer, judged.verdict)) {
            const std::string key = deep::probeKey(link.url);
            auto cached = probeCache.find(key);
            if (cached == probeCache.end()) {
                Fetched probe = fetchPage(deep::probeAddress(link.url));
                figures.probeRequests += probe.requests;
                ++figures.probes;
                cached = probeCache.emplace(key, std::move(probe)).first;
            }
            const deep::DeepAnswer &probe = cached->second.answer;
            judged.verdict = deep::judgeLink(fetched.answer, &probe, phrases);
        }
        countVerdict(figures, std::move(judged));
    }
    return figures;
}

std::string describe(const QualityFigures &figures)
{
    char line[256];
    std::snprintf(
        line, sizeof line,
        "%zu links: %d suspects found rightly, %d wrongly, %d missed, %d alive left alone "
        "(%d found for another reason than labelled)\n"
        "precision %.3f, recall %.3f\n"
        "requests: %d for the links, %d for %d probes (+%.1f%%)\n",
        figures.judged.size(), figures.truePositives, figures.falsePositives,
        figures.falseNegatives, figures.trueNegatives, figures.wrongReason, figures.precision(),
        figures.recall(), figures.linkRequests, figures.probeRequests, figures.probes,
        figures.linkRequests == 0 ? 0.0 : 100.0 * figures.probeRequests / figures.linkRequests);
    std::string out = line;

    // How far the decision is from both sides: the soft 404 least like its probe and the live
    // page most like its probe, by share of word triples and by triples of their own.
    const auto own = [](const JudgedLink &judged) {
        return std::max(judged.verdict.comparison->onlyInFirst,
                        judged.verdict.comparison->onlyInSecond);
    };
    const JudgedLink *dead[2] = {nullptr, nullptr};  // lowest share, most own triples
    const JudgedLink *alive[2] = {nullptr, nullptr}; // highest share, fewest own triples
    for (const JudgedLink &judged : figures.judged) {
        if (!judged.verdict.comparison)
            continue;
        const double share = judged.verdict.comparison->similarity;
        if (judged.link.truth == Truth::SoftNotFound) {
            if (!dead[0] || share < dead[0]->verdict.comparison->similarity)
                dead[0] = &judged;
            if (!dead[1] || own(judged) > own(*dead[1]))
                dead[1] = &judged;
        } else if (judged.link.truth == Truth::Alive) {
            if (!alive[0] || share > alive[0]->verdict.comparison->similarity)
                alive[0] = &judged;
            if (!alive[1] || own(judged) < own(*alive[1]))
                alive[1] = &judged;
        }
    }
    const std::pair<const char *, const JudgedLink *> extremes[] = {
        {"soft 404 least alike", dead[0]},
        {"soft 404 with most own triples", dead[1]},
        {"live page most alike", alive[0]},
        {"live page with fewest own triples", alive[1]}};
    for (const auto &[name, judged] : extremes) {
        if (!judged)
            continue;
        std::snprintf(line, sizeof line, "%s: similarity %.3f, %zu own triples (%s %s)\n", name,
                      judged->verdict.comparison->similarity, own(*judged),
                      judged->link.site.c_str(), judged->link.url.c_str());
        out += line;
    }
    for (const JudgedLink &judged : figures.judged) {
        const bool flagged = judged.verdict.suspect();
        const deep::SuspectReason expected = reasonFor(judged.link.truth);
        if (flagged == (expected != deep::SuspectReason::None) && judged.verdict.reason == expected)
            continue;
        out += "  " + judged.link.site + " " + judged.link.url + ": labelled " +
               truthName(judged.link.truth) + ", found " +
               (flagged ? std::string(deep::reasonText(judged.verdict.reason)) + " (" +
                              judged.verdict.evidence + ")"
                        : std::string("alive")) +
               (judged.error.empty() ? "" : " [" + judged.error + "]") + "\n";
    }
    return out;
}

} // namespace quorvel::test
