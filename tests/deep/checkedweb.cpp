#include "deep/checkedweb.h"

#include "catalogue/catalogue.h"
#include "cli/checkrun.h"
#include "deep/probe.h"
#include "deep/weburl.h"
#include "support/tempdir.h"

#include <algorithm>
#include <fstream>
#include <map>

namespace quorvel::test
{

namespace
{

deep::SuspectReason reasonNamed(const std::string &text)
{
    for (const auto reason : {deep::SuspectReason::SoftNotFound,
                              deep::SuspectReason::MovedToHomePage, deep::SuspectReason::Parked}) {
        if (deep::reasonText(reason) == text)
            return reason;
    }
    return deep::SuspectReason::None;
}

bool isProbeAddress(const std::string &url)
{
    const auto address = deep::parseWebAddress(url);
    if (!address)
        return false;
    const std::string segment = address->lastSegment();
    return segment.size() == deep::probeLetters &&
           std::all_of(segment.begin(), segment.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

} // namespace

void writeShortcuts(const WebSites &web, const std::filesystem::path &folder)
{
    int number = 0;
    for (const LabelledLink &link : web.links()) {
        const auto file = folder / link.site / ("Link " + std::to_string(++number) + ".url");
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << "[InternetShortcut]\r\nURL=" << link.url << "\r\n";
    }
}

QualityFigures measureWithChecker(const WebSites &web, const deep::ParkingPhrases &phrases,
                                  const cli::CheckSettings &settings)
{
    TempDir temp;
    const std::string folder = (temp.path() / "Favorites").string();
    writeShortcuts(web, folder);
    const auto check = [&](const deep::ParkingPhrases *deepPhrases) {
        Catalogue catalogue;
        SearchURL(folder, catalogue);
        return cli::checkCatalogue(std::move(catalogue), folder, false, settings, {}, deepPhrases);
    };

    QualityFigures figures;
    const std::size_t before = web.requestedUrls().size();
    check(nullptr);
    const std::size_t plain = web.requestedUrls().size();
    const cli::Report report = check(&phrases);
    const std::size_t deep = web.requestedUrls().size();
    figures.linkRequests = static_cast<int>(plain - before);
    figures.probeRequests = static_cast<int>(deep - plain) - figures.linkRequests;
    figures.probes = static_cast<int>(report.probes);

    std::map<std::string, const LabelledLink *> labels;
    for (const LabelledLink &link : web.links())
        labels[link.url] = &link;
    for (const cli::ReportEntry &entry : report.entries) {
        const auto label = labels.find(entry.url);
        if (label == labels.end())
            continue;
        JudgedLink judged;
        judged.link = *label->second;
        const cli::CheckResult &r = entry.result;
        judged.status = r.status;
        if (r.kind == cli::ResultKind::Suspect) {
            judged.verdict.reason = reasonNamed(r.reason);
            judged.verdict.evidence = r.evidence;
        }
        // A plain 404 is the checker's business without --deep; anything else dead is wrong.
        const bool expectDead = judged.link.truth == Truth::Dead;
        if (r.kind == cli::ResultKind::Unchecked || r.kind == cli::ResultKind::Skipped ||
            (r.kind == cli::ResultKind::Dead) != expectDead)
            judged.error = std::string(cli::kindName(r.kind)) + " " + r.reason + " " + r.evidence +
                           r.errorText;
        countVerdict(figures, std::move(judged));
    }
    return figures;
}

int mostProbesInOneDirectory(const std::vector<std::string> &urls)
{
    std::map<std::string, int> byDirectory;
    int most = 0;
    for (const std::string &url : urls) {
        if (isProbeAddress(url))
            most = std::max(most, ++byDirectory[deep::probeKey(url)]);
    }
    return most;
}

} // namespace quorvel::test
