// The JSON report: the run's summary and one object per shortcut, in catalogue order.

#include "cli/report.h"

#include "cli/jsontext.h"
#include "cli/pathbytes.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <future>
#include <system_error>

namespace quorvel::cli
{

namespace
{

// Entries are built straight into a buffer and written in large pieces: a report of 100,000
// entries spends its time in stream insertions otherwise.
class EntryText
{
public:
    explicit EntryText(std::string &out) : text_(out) {}

    EntryText &raw(std::string_view text)
    {
        text_ += text;
        return *this;
    }
    EntryText &key(std::string_view name)
    {
        text_ += ", \"";
        text_ += name;
        text_ += "\": ";
        return *this;
    }
    void null() { text_ += "null"; }
    void string(std::string_view value) { appendJsonString(text_, value); }
    void stringOrNull(std::string_view value)
    {
        if (value.empty())
            null();
        else
            string(value);
    }
    void number(long long value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        text_.append(digits, end);
    }
    void numberOrNull(long long value, bool present)
    {
        if (present)
            number(value);
        else
            null();
    }
    void boolean(bool value) { text_ += value ? "true" : "false"; }

private:
    std::string &text_;
};

void appendEntry(const ReportEntry &entry, EntryText &e)
{
    const CheckResult &r = entry.result;
    e.raw("{\"name\": ").string(entry.name);
    e.key("path").string(entry.path);
    if (!entry.pathBytes.empty())
        e.key("path_bytes").string(percentEncodedBytes(entry.pathBytes));
    e.key("url").string(entry.url);
    e.key("result").string(kindName(r.kind));
    e.key("reason").stringOrNull(r.reason);
    e.key("evidence").stringOrNull(r.evidence);
    e.key("status").numberOrNull(r.status, r.status != 0);
    e.key("error").numberOrNull(r.error, r.error != 0);
    if (r.error != 0)
        e.key("error_text").string(r.errorText);
    else
        e.key("error_text").null();
    e.key("final_url").stringOrNull(r.finalUrl);
    e.key("redirects").number(r.redirects);
    e.key("permanent_redirect").stringOrNull(r.permanentUrl);
    e.key("body_cut").boolean(r.bodyCut);
    e.key("ms").numberOrNull(r.milliseconds, r.milliseconds >= 0);
    e.key("tries").number(r.tries);
    e.key("unverified").boolean(r.unverified);
    e.key("host_verdict").boolean(r.hostVerdict);
    e.key("dead_runs").number(r.deadRuns);
    e.key("dead_since").stringOrNull(r.deadSince);
    if (r.move != MoveState::None) {
        e.key("move").raw("{\"result\": ").string(moveStateName(r.move));
        e.key("to").string(r.moveTo);
        if (!r.moveToBytes.empty())
            e.key("to_bytes").string(percentEncodedBytes(r.moveToBytes));
        e.raw("}");
    }
    e.raw("}");
}

constexpr std::size_t entriesPerChunk = 2048;

// The entries [begin, end) of the results array, each after its separator.
std::string chunkText(const Report &report, std::size_t begin, std::size_t end)
{
    std::string chunk;
    EntryText e(chunk);
    for (std::size_t i = begin; i < end; ++i) {
        e.raw(i == 0 ? "\n    " : ",\n    ");
        appendEntry(report.entries[i], e);
    }
    return chunk;
}

// A long report is rendered in chunks on two threads, every other chunk on a helper, and
// written in order: rendering, not writing, is what a report of 100,000 links waits for.
void writeResults(std::ostream &out, const Report &report)
{
    const std::size_t count = report.entries.size();
    const auto write = [&out](const std::string &text) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    };
    for (std::size_t begin = 0; begin < count; begin += 2 * entriesPerChunk) {
        const std::size_t middle = std::min(count, begin + entriesPerChunk);
        const std::size_t end = std::min(count, middle + entriesPerChunk);
        std::future<std::string> second;
        if (middle < end) {
            try {
                second = std::async(std::launch::async, chunkText, std::cref(report), middle, end);
            } catch (const std::system_error &) {
                // No thread to be had: this one renders both.
            }
        }
        write(chunkText(report, begin, middle));
        write(second.valid() ? second.get() : chunkText(report, middle, end));
    }
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
    writeResults(out, report);
    out << (report.entries.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

} // namespace quorvel::cli
