// The CSV report (RFC 4180): a header row, then one row per shortcut in catalogue order.

#include "cli/report.h"

#include "cli/pathbytes.h"
#include "platform/codepage.h"

#include <cstdio>

namespace quorvel::cli
{

namespace
{

bool startsAsFormula(std::string_view text)
{
    return !text.empty() &&
           std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

// A text cell. A spreadsheet takes a cell that starts with = + - @ (or a tab or carriage
// return before one) for a formula and runs it; a leading ' makes it text, and the
// spreadsheet does not show the quote. Numbers are written by number() and never changed.
std::string field(const std::string &raw)
{
    std::string text = platform::validUtf8(raw);
    if (startsAsFormula(text))
        text.insert(0, 1, '\'');
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

// A path's bytes. A first character that field() would prefix is encoded instead, so a script
// that decodes the cell gets the file's exact bytes.
std::string bytesField(const std::string &bytes)
{
    if (bytes.empty())
        return {};
    std::string encoded = percentEncodedBytes(bytes);
    if (startsAsFormula(encoded)) {
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(encoded[0]));
        encoded.replace(0, 1, escape);
    }
    return field(encoded);
}

} // namespace

void writeCsv(std::ostream &out, const Report &report)
{
    out << "name,path,path_bytes,url,result,reason,evidence,status,error,error_text,final_url,"
           "redirects,permanent_redirect,ms,move,move_to,move_to_bytes,tries,unverified,"
           "host_verdict,dead_runs,dead_since\r\n";
    for (const ReportEntry &entry : report.entries) {
        const CheckResult &r = entry.result;
        out << field(entry.name) << ',' << field(entry.path) << ',' << bytesField(entry.pathBytes)
            << ',' << field(entry.url) << ',' << kindName(r.kind) << ',' << field(r.reason) << ','
            << field(r.evidence) << ',' << number(r.status, r.status != 0) << ','
            << number(r.error, r.error != 0) << ',' << field(r.errorText) << ','
            << field(r.finalUrl) << ',' << number(r.redirects, r.milliseconds >= 0) << ','
            << field(r.permanentUrl) << ',' << number(r.milliseconds, r.milliseconds >= 0) << ','
            << moveStateName(r.move) << ',' << field(r.moveTo) << ',' << bytesField(r.moveToBytes)
            << ',' << r.tries << ',' << (r.unverified ? "true" : "false") << ','
            << (r.hostVerdict ? "true" : "false") << ',' << r.deadRuns << ','
            << field(r.deadSince) << "\r\n";
    }
}

} // namespace quorvel::cli
