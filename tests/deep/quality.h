#pragma once
// Measures the deeper checks on the loopback web: every labelled link is fetched, judged as the
// checker judges it (a probe per host and directory, only where it can change the verdict), and
// the verdicts are counted against the labels.

#include "deep/parking.h"
#include "deep/verdict.h"
#include "deep/websites.h"

#include <string>
#include <vector>

namespace quorvel::test
{

struct JudgedLink {
    LabelledLink link;
    int status = 0;
    std::string error;
    deep::DeepVerdict verdict;
};

struct QualityFigures {
    std::vector<JudgedLink> judged;
    int truePositives = 0;  // suspect, and really dead
    int falsePositives = 0; // suspect, but alive
    int falseNegatives = 0; // really dead behind a 2xx, not found suspect
    int trueNegatives = 0;
    int wrongReason = 0;  // suspects found for another reason than the label's
    int linkRequests = 0; // requests for the links themselves, redirects included
    int probeRequests = 0;
    int probes = 0;

    double precision() const;
    double recall() const;
};

QualityFigures measureQuality(const WebSites &web, const deep::ParkingPhrases &phrases);

// Counts one verdict against its link's label and keeps it in figures.judged.
void countVerdict(QualityFigures &figures, JudgedLink judged);

// The figures and every wrong verdict, as a few lines of text.
std::string describe(const QualityFigures &figures);

} // namespace quorvel::test
