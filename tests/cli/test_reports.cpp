// The report writers with awkward texts: file names in another encoding or with line breaks,
// URLs with quotes and commas, names that look like Markdown.

#include "cli/jsontext.h"
#include "cli/report.h"
#include "cli/reportdetail.h"
#include "deep/weburl.h"
#include "platform/codepage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

using namespace quorvel::cli;

namespace
{

ReportEntry entry(std::string path, std::string url, ResultKind kind, std::string why = {})
{
    ReportEntry e;
    e.name = path.substr(0, path.rfind('.'));
    e.path = path;
    e.file = "/fav/" + path;
    e.url = std::move(url);
    e.result.kind = kind;
    e.result.reason = std::move(why);
    if (kind == ResultKind::Alive || kind == ResultKind::Dead)
        e.result.milliseconds = 12;
    return e;
}

Report awkwardReport()
{
    Report report;
    report.folder = "/fav";
    report.entries.push_back(entry("Caf\xe9 latin1.url", "http://a.test/\"q\",x", ResultKind::Dead,
                                   std::string(reason::error)));
    report.entries.back().result.error = 12029;
    report.entries.back().result.errorText =
        "A connection with the server could not be established";
    report.entries.push_back(
        entry("Two\nlines.url", "http://b.test/", ResultKind::Dead, std::string(reason::notFound)));
    report.entries.back().result.evidence = "HTTP/1.1 404 NOT FOUND";
    report.entries.push_back(entry("*bold* | pipe.url", "mailto:x", ResultKind::Skipped,
                                   std::string(reason::otherScheme)));
    report.entries.push_back(entry("Fine.url", "http://c.test/", ResultKind::Alive));
    return report;
}

std::string written(void (*writer)(std::ostream &, const Report &), const Report &report)
{
    std::ostringstream out;
    writer(out, report);
    return out.str();
}

TEST(JsonText, EscapesControlsAndQuotesAndReplacesBytesThatAreNotUtf8)
{
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"line\nbreak\ttab\x01", "\"line\\nbreak\\ttab\\u0001\""},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\""},                           // valid UTF-8 stays
        {"caf\xe9", "\"caf\xef\xbf\xbd\""},                           // Latin-1 byte
        {"\xe2\x82", "\"\xef\xbf\xbd\xef\xbf\xbd\""},                 // cut sequence
        {"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},                 // overlong '/'
        {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""}, // surrogate
        {"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},                 // outside the BMP
    };
    for (const auto &c : cases)
        EXPECT_EQ(jsonString(c.text), c.json) << c.text;
}

TEST(Reports, JsonParsesWhateverTheNamesHold)
{
    const std::string json = written(writeJson, awkwardReport());
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
    const QJsonArray results = document.object()["results"].toArray();
    ASSERT_EQ(results.size(), 4);
    EXPECT_EQ(results[0].toObject()["url"].toString(), "http://a.test/\"q\",x");
    EXPECT_EQ(results[0].toObject()["error"].toInt(), 12029);
    EXPECT_EQ(results[1].toObject()["path"].toString(), "Two\nlines.url");
    EXPECT_EQ(results[2].toObject()["ms"].type(), QJsonValue::Null);
    EXPECT_EQ(results[3].toObject()["result"].toString(), "alive");
    EXPECT_EQ(document.object()["summary"].toObject()["other_errors"].toInt(), 1);
}

TEST(Reports, JsonKeepsTheOrderOfALongReportAndOfAnEmptyOne)
{
    // Long enough to be rendered in several pieces, with a last piece of its own.
    Report report;
    for (int i = 0; i < 10001; ++i) {
        ReportEntry entry;
        entry.name = "Link " + std::to_string(i);
        entry.path = entry.name + ".url";
        entry.url = "http://example.test/" + std::to_string(i);
        report.entries.push_back(entry);
    }
    const auto readBack = [](const Report &r) {
        QJsonParseError error{};
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(written(writeJson, r)), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError);
        std::vector<std::string> names;
        for (const auto &result : document.object()["results"].toArray())
            names.push_back(result.toObject()["name"].toString().toStdString());
        return names;
    };
    const std::vector<std::string> names = readBack(report);
    ASSERT_EQ(names.size(), report.entries.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(names[i], report.entries[i].name);
    EXPECT_TRUE(readBack(Report{}).empty());
}

TEST(Reports, CsvQuotesFieldsThatHoldCommasQuotesOrLineBreaks)
{
    const std::string csv = written(writeCsv, awkwardReport());
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "name,path,path_bytes,url,result,reason,evidence,status,error,error_text,final_url,"
              "redirects,permanent_redirect,ms,move,move_to,move_to_bytes,tries,unverified,"
              "host_verdict,dead_runs,dead_since");
    EXPECT_NE(csv.find(",\"http://a.test/\"\"q\"\",x\",dead,error,,,12029,"), std::string::npos)
        << csv;
    EXPECT_NE(csv.find("\"Two\nlines\",\"Two\nlines.url\""), std::string::npos) << csv;
    // Five rows: the header and one per shortcut; a line break inside quotes starts none.
    std::size_t rows = 0;
    for (std::size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2))
        ++rows;
    EXPECT_EQ(rows, 5u);
}

TEST(Reports, TextAndMarkdownKeepEachLinkOnOneLineAndTakeNamesLiterally)
{
    const Report report = awkwardReport();
    const std::string text = written(writeText, report);
    EXPECT_NE(text.find("dead     Two?lines.url  http://b.test/  (HTTP/1.1 404 NOT FOUND)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("(error 12029: A connection with the server could not be established)"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Fine.url"), std::string::npos);
    EXPECT_NE(text.find("3 links checked"), std::string::npos) << text;

    const std::string markdown = written(writeMarkdown, report);
    EXPECT_NE(markdown.find("| \\*bold\\* \\| pipe.url | mailto:x |"), std::string::npos)
        << markdown;
    EXPECT_NE(markdown.find("| Two?lines.url |"), std::string::npos) << markdown;
}

TEST(Reports, OnlyLinksMovedElsewherePermanentlyAreListedAsRedirects)
{
    Report report;
    report.listRedirects = true;
    report.entries.push_back(entry("New.url", "http://old.test/", ResultKind::Alive));
    report.entries.back().result.permanentUrl = "https://new.test/";
    report.entries.push_back(entry("Same.url", "http://same.test/", ResultKind::Alive));
    report.entries.back().result.permanentUrl = "http://same.test/";
    report.entries.push_back(entry("Plain.url", "http://plain.test/", ResultKind::Alive));

    const std::string text = written(writeText, report);
    EXPECT_NE(text.find("redirect New.url  http://old.test/ -> https://new.test/"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Same.url"), std::string::npos);
    EXPECT_EQ(text.find("Plain.url"), std::string::npos);
}

TEST(Reports, ASuspectsDetailNamesWhereItEndedOnce)
{
    const struct {
        const char *evidence;
        int redirects;
        const char *detail;
    } cases[] = {
        {"redirected to the home page http://c.test/", 1,
         "moved to the home page: redirected to the home page http://c.test/"},
        {"same page as the made-up address /a/qzvbnm... (similarity 0.91)", 1,
         "moved to the home page: same page as the made-up address /a/qzvbnm... (similarity "
         "0.91), at http://c.test/"},
        {"title matches 'domain for sale'", 0,
         "moved to the home page: title matches 'domain for sale'"},
    };
    for (const auto &c : cases) {
        ReportEntry e =
            entry("S.url", "http://c.test/a/b", ResultKind::Suspect, "moved to the home page");
        e.result.evidence = c.evidence;
        e.result.redirects = c.redirects;
        e.result.finalUrl = "http://c.test/";
        EXPECT_EQ(verdictDetail(e.result), c.detail);
    }
}

// RFC 4180 read back: rows of cells, each row keyed by the header's names.
std::vector<std::map<std::string, std::string>> csvRows(const std::string &csv)
{
    std::vector<std::vector<std::string>> rows(1);
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (quoted) {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"')
                cell += csv[++i];
            else if (c == '"')
                quoted = false;
            else
                cell += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(std::exchange(cell, {}));
        } else if (c == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n') {
            rows.back().push_back(std::exchange(cell, {}));
            rows.emplace_back();
            ++i;
        } else {
            cell += c;
        }
    }
    rows.pop_back(); // after the last line break
    std::vector<std::map<std::string, std::string>> keyed;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r].size(), rows[0].size()) << "row " << r;
        std::map<std::string, std::string> row;
        for (std::size_t k = 0; k < rows[0].size() && k < rows[r].size(); ++k)
            row[rows[0][k]] = rows[r][k];
        keyed.push_back(std::move(row));
    }
    return keyed;
}

using quorvel::deep::percentDecoded;

TEST(Reports, CsvCellsThatASpreadsheetWouldRunAsFormulasAreTextButNumbersStayNumbers)
{
    Report report;
    for (const char *name : {"=HYPERLINK(\"http:evil\",\"x\")", "+1", "-2", "@SUM(A1)", "\t=1",
                             "\r=1", "a=1", "'quoted"}) {
        report.entries.push_back(entry(std::string(name) + ".url", name, ResultKind::Dead,
                                       std::string(reason::notFound)));
        report.entries.back().result.evidence = name;
        report.entries.back().result.status = 404;
        report.entries.back().result.redirects = -1;
    }
    const auto rows = csvRows(written(writeCsv, report));
    ASSERT_EQ(rows.size(), report.entries.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string name = report.entries[i].url;
        const bool formula = std::string("=+-@\t\r").find(name[0]) != std::string::npos;
        const std::string expected = (formula ? "'" : "") + name;
        for (const char *column : {"name", "url", "evidence"})
            EXPECT_EQ(rows[i].at(column), expected) << column;
        EXPECT_EQ(rows[i].at("path"), expected + ".url");
        EXPECT_EQ(rows[i].at("status"), "404");
        EXPECT_EQ(rows[i].at("ms"), "12");
        EXPECT_EQ(rows[i].at("redirects"), "-1") << "a number keeps its sign";
    }
}

// Every report is UTF-8 whatever bytes it is given; a path that was not UTF-8 is shown decoded
// and its own bytes come beside it, percent-encoded, so a script can still open the file.
TEST(Reports, EveryFormatIsUtf8AndJsonAndCsvGiveTheExactBytesOfPathsThatAreNot)
{
    Report report;
    report.folder = "/fav";
    report.moveTarget = "/dead";
    ReportEntry e = entry("-Caf\xc3\xa9 100%.url", "http://a.test/\xff", ResultKind::Dead,
                          std::string(reason::notFound));
    e.pathBytes = "-Caf\xe9 100%.url"; // as an old system wrote it
    e.result.evidence = "HTTP/1.1 404 Nicht gefunden \xfc\xc0\xaf \x1b[2J\xc2\x9b"
                        "2J\xc2\xa0";
    e.result.finalUrl = "http://a.test/\xe2\x82";
    e.result.errorText = "\xed\xa0\x80";
    e.result.move = MoveState::WouldMove;
    e.result.moveTo = "/dead/Caf\xc3\xa9.url";
    e.result.moveToBytes = "/dead/Caf\xe9.url";
    report.entries.push_back(e);
    report.entries.push_back(
        entry("Plain.url", "http://b.test/", ResultKind::Dead, std::string(reason::notFound)));

    for (auto writer : {writeText, writeMarkdown, writeJson, writeCsv})
        EXPECT_TRUE(quorvel::platform::isUtf8(written(writer, report)));
    EXPECT_NE(written(writeText, report).find("dead     -Caf\xc3\xa9 100%.url"), std::string::npos);
    EXPECT_NE(written(writeMarkdown, report).find("| -Caf\xc3\xa9 100%.url |"), std::string::npos);
    EXPECT_NE(written(writeText, report)
                  .find("gefunden \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd ?[2J?2J\xc2\xa0)"),
              std::string::npos)
        << "no byte a server sent may steer the terminal";

    const QJsonArray results =
        QJsonDocument::fromJson(QByteArray::fromStdString(written(writeJson, report)))
            .object()["results"]
            .toArray();
    ASSERT_EQ(results.size(), 2);
    const QJsonObject first = results[0].toObject();
    EXPECT_EQ(first["path"].toString().toStdString(), "-Caf\xc3\xa9 100%.url");
    EXPECT_EQ(first["path_bytes"].toString().toStdString(), "-Caf%E9 100%25.url");
    EXPECT_EQ(percentDecoded(first["path_bytes"].toString().toStdString()), e.pathBytes);
    EXPECT_EQ(first["move"].toObject()["to_bytes"].toString().toStdString(), "/dead/Caf%E9.url");
    EXPECT_FALSE(results[1].toObject().contains("path_bytes")) << "only for paths not UTF-8";

    const auto rows = csvRows(written(writeCsv, report));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("path_bytes"), "%2DCaf%E9 100%25.url") << "never taken for a formula";
    EXPECT_EQ(percentDecoded(rows[0].at("path_bytes")), e.pathBytes);
    EXPECT_EQ(percentDecoded(rows[0].at("move_to_bytes")), e.result.moveToBytes);
    EXPECT_EQ(rows[1].at("path_bytes"), "");
}

} // namespace
