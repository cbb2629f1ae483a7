// The human report: one line per dead, suspect or skipped link, the moves, the permanent
// redirects when asked for, and a summary.

#include "cli/report.h"

#include "cli/reportdetail.h"
#include "verify/deadlinkmover.h"

namespace quorvel::cli
{

namespace
{

void writeMove(std::ostream &out, const ReportEntry &entry, bool dryRun, int confirm,
               bool copy)
{
    const CheckResult &r = entry.result;
    if (r.move == MoveState::None || r.move == MoveState::NotTried)
        return;
    // The cleaned copy moves nothing: its dead links are listed above, and the line after the
    // summary says where they went.
    if (copy && r.move != MoveState::Unconfirmed)
        return;
    const std::string path = printable(entry.path);
    const std::string to = printable(r.moveTo);
    switch (r.move) {
    case MoveState::Moved:
        out << "moved      " << path << " -> " << to << '\n';
        break;
    case MoveState::WouldMove:
        out << "would move " << path << " -> " << to << '\n';
        break;
    case MoveState::DestinationExists:
        out << "not moved  " << path << ": " << to << " already exists\n";
        break;
    case MoveState::Failed:
        out << "not moved  " << path << ": it could not be moved to " << to << '\n';
        break;
    case MoveState::SuspectStays:
        // A real run's suspects are listed above already, and counted after the summary.
        if (dryRun)
            out << "stays      " << path << ": a suspect, moved only with --suspect-is-dead\n";
        break;
    case MoveState::Unconfirmed:
        out << "unconfirmed " << path << ": dead in "
            << countOf(static_cast<std::size_t>(r.deadRuns), "run", "runs")
            << " in a row, --confirm asks for " << confirm << '\n';
        break;
    case MoveState::None:
    case MoveState::NotTried:
        break;
    }
}

// "dead since 2026-11-02 (3 runs)" for a link dead in more than this run.
std::string deadSince(const CheckResult &r)
{
    if (r.deadRuns < 2 || r.deadSince.size() < 10)
        return {};
    return "  dead since " + r.deadSince.substr(0, 10) + " (" + std::to_string(r.deadRuns) +
           " runs)";
}

} // namespace

std::string summaryLine(const Report &report)
{
    const Tally t = report.tally();
    std::string line;
    if (!report.complete)
        line = "Interrupted after " + formatSeconds(report.elapsedSeconds) + ": " +
               std::to_string(t.checked) + " of " + std::to_string(t.checked + t.unchecked) +
               " links checked";
    else
        line = countOf(t.checked, "link", "links") + " checked in " +
               formatSeconds(report.elapsedSeconds);
    line += ": " + std::to_string(t.alive) + " alive, " + std::to_string(t.deadBy404 + t.deadBy410) +
            " dead by 404 or 410, " + countOf(t.otherErrors, "other error", "other errors");
    if (report.deep)
        line += ", " + std::to_string(t.suspect) + " suspect";
    line += "; " + std::to_string(t.skipped) + " skipped (" +
            (report.storeKind.empty() ? countOf(t.shortcuts, "shortcut", "shortcuts")
                                      : countOf(t.shortcuts, "bookmark", "bookmarks")) +
            ").";
    // Alive by the rule, but without a verdict: counted apart so that nobody reads them as fine.
    if (t.rateLimited > 0)
        line += "\n" + std::to_string(t.rateLimited) +
                " unverified: the server asked to come back later.";
    if (t.networkLost > 0)
        line += "\n" + std::to_string(t.networkLost) +
                " unverified: the network stopped answering before their last try.";
    return line;
}

std::string stayingLine(const Tally &tally)
{
    if (tally.staying == 0)
        return {};
    return (tally.staying == 1 ? std::string("1 suspect stays where it is")
                               : std::to_string(tally.staying) + " suspects stay where they are") +
           " (--suspect-is-dead moves suspects too).";
}

std::string cleanedCopyLine(const Report &report)
{
    if (!report.cleanedNotWritten.empty())
        return "The cleaned copy was not written: " + report.cleanedNotWritten + ".";
    if (report.cleanedCopy.empty())
        return {};
    const Tally t = report.tally();
    return "Wrote the cleaned copy " + report.cleanedCopy + ": " +
           countOf(t.shortcuts, "bookmark", "bookmarks") + ", " + std::to_string(t.moved) + " of them in \"Dead links\".";
}

std::string unconfirmedLine(const Tally &tally, int confirm)
{
    if (tally.unconfirmed == 0)
        return {};
    return std::to_string(tally.unconfirmed) + " dead but not yet confirmed: dead in fewer than " +
           std::to_string(confirm) + " runs";
}

void writeText(std::ostream &out, const Report &report)
{
    for (const ReportEntry &entry : report.entries) {
        const CheckResult &r = entry.result;
        // Every kind but the unremarkable ones gets its line, kinds added later included.
        if ((r.kind == ResultKind::Alive && !r.unverified) || r.kind == ResultKind::Unchecked)
            continue;
        const std::string label = r.unverified ? "unverified" : std::string(kindName(r.kind));
        out << label << std::string(label.size() < 9 ? 9 - label.size() : 1, ' ')
            << printable(entry.path) << "  " << printable(entry.url) << "  ("
            << printable(verdictDetail(r)) << ")" << deadSince(r) << "\n";
    }
    if (report.listRedirects) {
        for (const ReportEntry &entry : report.entries) {
            if (permanentlyRedirected(entry))
                out << "redirect " << printable(entry.path) << "  " << printable(entry.url)
                    << " -> " << printable(entry.result.permanentUrl) << '\n';
        }
    }
    for (const ReportEntry &entry : report.entries)
        writeMove(out, entry, report.dryRun, report.confirm, !report.storeKind.empty());

    out << summaryLine(report) << '\n';
    if (const std::string copy = cleanedCopyLine(report); !copy.empty()) {
        const Tally t = report.tally();
        out << printable(copy) << '\n';
        if (t.staying > 0)
            out << stayingLine(t) << '\n';
        if (t.unconfirmed > 0)
            out << unconfirmedLine(t, report.confirm) << '\n';
    }
    if (!report.moveTarget.empty() && report.complete) {
        const Tally t = report.tally();
        if (report.dryRun)
            out << "Would move " << countOf(t.toMove, "link", "links") << " to "
                << printable(report.moveTarget) << ".\n";
        else
            out << printable(moveReport(t.moved, report.moveTarget).text) << '\n';
        if (t.staying > 0)
            out << stayingLine(t) << '\n';
        if (t.unconfirmed > 0)
            out << unconfirmedLine(t, report.confirm) << '\n';
    }
}

} // namespace quorvel::cli
