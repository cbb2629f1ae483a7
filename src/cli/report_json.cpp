// The JSON report: the run's summary and one object per shortcut, in catalogue order.

#include "cli/report.h"

#include "cli/jsontext.h"
#include "cli/pathbytes.h"

namespace quorvel::cli
{

namespace
{

std::string textOrNull(const std::string &text)
{
    return text.empty() ? "null" : jsonString(text);
}

void writeEntry(std::ostream &out, const ReportEntry &entry)
{
    const CheckResult &r = entry.result;
    const bool requested = r.milliseconds >= 0;
    out << "{\"name\": " << jsonString(entry.name) << ", \"path\": " << jsonString(entry.path);
    if (!entry.pathBytes.empty())
        out << ", \"path_bytes\": " << jsonString(percentEncodedBytes(entry.pathBytes));
    out << ", \"url\": " << jsonString(entry.url)
        << ", \"result\": " << jsonString(kindName(r.kind))
        << ", \"reason\": " << textOrNull(r.reason) << ", \"evidence\": " << textOrNull(r.evidence)
        << ", \"status\": " << (r.status != 0 ? std::to_string(r.status) : "null")
        << ", \"error\": " << (r.error != 0 ? std::to_string(r.error) : "null")
        << ", \"error_text\": " << (r.error != 0 ? jsonString(r.errorText) : "null")
        << ", \"final_url\": " << textOrNull(r.finalUrl) << ", \"redirects\": " << r.redirects
        << ", \"permanent_redirect\": " << textOrNull(r.permanentUrl)
        << ", \"body_cut\": " << (r.bodyCut ? "true" : "false")
        << ", \"ms\": " << (requested ? std::to_string(r.milliseconds) : "null")
        << ", \"tries\": " << r.tries << ", \"unverified\": " << (r.unverified ? "true" : "false")
        << ", \"host_verdict\": " << (r.hostVerdict ? "true" : "false")
        << ", \"dead_runs\": " << r.deadRuns << ", \"dead_since\": " << textOrNull(r.deadSince);
    if (r.move != MoveState::None) {
        out << ", \"move\": {\"result\": " << jsonString(moveStateName(r.move))
            << ", \"to\": " << jsonString(r.moveTo);
        if (!r.moveToBytes.empty())
            out << ", \"to_bytes\": " << jsonString(percentEncodedBytes(r.moveToBytes));
        out << "}";
    }
    out << "}";
}

} // namespace

void writeJson(std::ostream &out, const Report &report)
{
    const Tally t = report.tally();
    out << "{\n  \"folder\": " << jsonString(report.folder);
    if (!report.storeKind.empty())
        out << ",\n  \"bookmarks\": " << jsonString(report.storeKind);
    out
        << ",\n  \"complete\": " << (report.complete ? "true" : "false")
        << ",\n  \"summary\": {\"shortcuts\": " << t.shortcuts << ", \"checked\": " << t.checked
        << ", \"alive\": " << t.alive << ", \"dead_404\": " << t.deadBy404
        << ", \"other_errors\": " << t.otherErrors << ", \"suspect\": " << t.suspect
        << ", \"skipped\": " << t.skipped << ", \"unchecked\": " << t.unchecked
        << ", \"seconds\": " << report.elapsedSeconds << ", \"dead_410\": " << t.deadBy410
        << ", \"unverified\": " << t.unverified
        << ", \"network_down\": " << (report.networkDown ? "true" : "false")
        << ", \"hosts_tried\": " << report.hostsTried;
    if (report.deep)
        out << ", \"deep\": true, \"probes\": " << report.probes;
    if (!report.moveTarget.empty())
        out << ", \"move_to\": " << jsonString(report.moveTarget)
            << ", \"dry_run\": " << (report.dryRun ? "true" : "false")
            << ", \"moved\": " << t.moved << ", \"confirm\": " << report.confirm
            << ", \"unconfirmed\": " << t.unconfirmed;
    if (!report.cleanedCopy.empty())
        out << ", \"cleaned_copy\": " << jsonString(report.cleanedCopy)
            << ", \"dead_links\": " << t.moved << ", \"confirm\": " << report.confirm
            << ", \"unconfirmed\": " << t.unconfirmed;
    if ((!report.moveTarget.empty() || !report.cleanedCopy.empty()) && report.deep)
        out << ", \"suspects_staying\": " << t.staying;
    out << "},\n  \"results\": [";
    bool first = true;
    for (const ReportEntry &entry : report.entries) {
        out << (first ? "\n    " : ",\n    ");
        first = false;
        writeEntry(out, entry);
    }
    out << (first ? "]\n}\n" : "\n  ]\n}\n");
}

} // namespace quorvel::cli
