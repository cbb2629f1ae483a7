// The CSV report (RFC 4180): a header row, then one row per shortcut in catalogue order.

#include "cli/report.h"

namespace quorvel::cli
{

namespace
{

std::string field(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string number(long long value, bool present)
{
    return present ? std::to_string(value) : std::string();
}

} // namespace

void writeCsv(std::ostream &out, const Report &report)
{
    out << "name,path,url,result,reason,evidence,status,error,error_text,final_url,redirects,"
           "permanent_redirect,ms,move,move_to,tries,unverified,host_verdict,dead_runs,"
           "dead_since\r\n";
    for (const ReportEntry &entry : report.entries) {
        const CheckResult &r = entry.result;
        out << field(entry.name) << ',' << field(entry.path) << ',' << field(entry.url) << ','
            << kindName(r.kind) << ',' << field(r.reason) << ',' << field(r.evidence) << ','
            << number(r.status, r.status != 0) << ',' << number(r.error, r.error != 0) << ','
            << field(r.errorText) << ',' << field(r.finalUrl) << ','
            << number(r.redirects, r.milliseconds >= 0) << ',' << field(r.permanentUrl) << ','
            << number(r.milliseconds, r.milliseconds >= 0) << ',' << moveStateName(r.move) << ','
            << field(r.moveTo) << ',' << r.tries << ',' << (r.unverified ? "true" : "false") << ','
            << (r.hostVerdict ? "true" : "false") << ',' << r.deadRuns << ','
            << field(r.deadSince) << "\r\n";
    }
}

} // namespace quorvel::cli
