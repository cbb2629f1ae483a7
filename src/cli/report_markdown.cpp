// The Markdown report: the summary, then tables of the dead, suspect and skipped links, the
// permanent redirects when asked for, and the moves.

#include "cli/report.h"

#include "cli/reportdetail.h"
#include "verify/deadlinkmover.h"

namespace quorvel::cli
{

namespace
{

// A table cell: pipes and backslashes escaped, markup characters taken literally.
std::string cell(const std::string &text)
{
    std::string out;
    for (char c : printable(text)) {
        if (c == '|' || c == '\\' || c == '`' || c == '*' || c == '_' || c == '[' || c == ']' ||
            c == '<' || c == '>')
            out += '\\';
        out += c;
    }
    return out;
}

// The first column's heading: what the report's links are.
std::string_view itemHeading(const Report &report)
{
    return report.storeKind.empty() ? "Shortcut" : "Bookmark";
}

void table(std::ostream &out, const Report &report, const std::string &title, ResultKind kind)
{
    bool any = false;
    for (const ReportEntry &entry : report.entries) {
        if (entry.result.kind != kind)
            continue;
        if (!any)
            out << "\n## " << title << "\n\n| " << itemHeading(report)
                << " | URL | Why |\n|---|---|---|\n";
        any = true;
        out << "| " << cell(entry.path) << " | " << cell(entry.url) << " | "
            << cell(verdictDetail(entry.result)) << " |\n";
    }
}

} // namespace

void writeMarkdown(std::ostream &out, const Report &report)
{
    const Tally t = report.tally();
    out << (report.storeKind.empty() ? "# Favorites check of " : "# Bookmarks check of ")
        << cell(report.folder) << "\n\n";
    out << summaryLine(report) << "\n\n";
    if (report.deep)
        out << "| Links checked | Alive | Dead by 404 or 410 | Other errors | Suspect | Skipped |\n"
               "|---:|---:|---:|---:|---:|---:|\n"
            << "| " << t.checked << " | " << t.alive << " | " << t.deadBy404 + t.deadBy410 << " | "
            << t.otherErrors << " | " << t.suspect << " | " << t.skipped << " |\n";
    else
        out << "| Links checked | Alive | Dead by 404 or 410 | Other errors | Skipped |\n"
               "|---:|---:|---:|---:|---:|\n"
            << "| " << t.checked << " | " << t.alive << " | " << t.deadBy404 + t.deadBy410 << " | "
            << t.otherErrors << " | " << t.skipped << " |\n";
    table(out, report, "Dead links", ResultKind::Dead);
    table(out, report, "Suspect links", ResultKind::Suspect);
    table(out, report, "Skipped", ResultKind::Skipped);

    if (report.listRedirects) {
        bool any = false;
        for (const ReportEntry &entry : report.entries) {
            if (!permanentlyRedirected(entry))
                continue;
            if (!any)
                out << "\n## Permanent redirects\n\n| " << itemHeading(report)
                    << " | URL | Now at |\n|---|---|---|\n";
            any = true;
            out << "| " << cell(entry.path) << " | " << cell(entry.url) << " | "
                << cell(entry.result.permanentUrl) << " |\n";
        }
    }

    if (const std::string copy = cleanedCopyLine(report); !copy.empty()) {
        out << "\n## Cleaned copy\n\n" << cell(copy) << "\n";
        if (t.staying > 0)
            out << "\n" << cell(stayingLine(t)) << "\n";
        if (t.unconfirmed > 0)
            out << "\n" << cell(unconfirmedLine(t, report.confirm)) << "\n";
    }
    if (!report.moveTarget.empty() && report.complete) {
        out << "\n## " << (report.dryRun ? "Moves (dry run)" : "Moves") << "\n\n";
        if (report.dryRun)
            out << "Would move " << countOf(t.toMove, "link", "links") << " to "
                << cell(report.moveTarget) << ".\n";
        else
            out << cell(moveReport(t.moved, report.moveTarget).text) << "\n";
        if (t.staying > 0)
            out << "\n" << cell(stayingLine(t)) << "\n";
        bool any = false;
        for (const ReportEntry &entry : report.entries) {
            if (entry.result.move == MoveState::None)
                continue;
            if (!any)
                out << "\n| Shortcut | Result | To |\n|---|---|---|\n";
            any = true;
            out << "| " << cell(entry.path) << " | " << moveStateName(entry.result.move) << " | "
                << cell(entry.result.moveTo) << " |\n";
        }
    }
}

} // namespace quorvel::cli
