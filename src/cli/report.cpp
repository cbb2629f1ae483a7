#include "cli/report.h"

namespace quorvel::cli
{

Tally Report::tally() const
{
    Tally t;
    t.shortcuts = entries.size();
    for (const ReportEntry &entry : entries) {
        const CheckResult &r = entry.result;
        switch (r.kind) {
        case ResultKind::Alive:
            ++t.checked;
            ++t.alive;
            if (r.unverified) {
                ++t.unverified;
                ++(r.networkLost ? t.networkLost : t.rateLimited);
            }
            break;
        case ResultKind::Dead:
            ++t.checked;
            if (r.reason == reason::notFound)
                ++t.deadBy404;
            else if (r.reason == reason::gone)
                ++t.deadBy410;
            else
                ++t.otherErrors;
            break;
        case ResultKind::Suspect:
            ++t.checked;
            ++t.suspect;
            break;
        case ResultKind::Skipped:
            ++t.skipped;
            break;
        case ResultKind::Unchecked:
            ++t.unchecked;
            break;
        }
        if (r.move == MoveState::Moved)
            ++t.moved;
        if (r.move == MoveState::SuspectStays)
            ++t.staying;
        else if (r.move == MoveState::Unconfirmed)
            ++t.unconfirmed;
        else if (r.move != MoveState::None)
            ++t.toMove;
    }
    return t;
}

bool permanentlyRedirected(const ReportEntry &entry)
{
    return !entry.result.permanentUrl.empty() && entry.result.permanentUrl != entry.url;
}

void writeReport(std::ostream &out, const Report &report, ReportFormat format)
{
    switch (format) {
    case ReportFormat::Text:
        writeText(out, report);
        return;
    case ReportFormat::Json:
        writeJson(out, report);
        return;
    case ReportFormat::Csv:
        writeCsv(out, report);
        return;
    case ReportFormat::Markdown:
        writeMarkdown(out, report);
        return;
    }
}

} // namespace quorvel::cli
