// A folder checked while it is still being read gives the report of the folder read first and
// then checked: same entries in the same order, same verdicts, the progress complete.

#include "catalogue/catalogue.h"
#include "cli/checkrun.h"

#include "support/tempdir.h"
#include "support/testserver.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvel;
using namespace quorvel::cli;
using namespace quorvel::test;

namespace
{

TEST(CheckFolder, CheckingWhileReadingGivesTheReportOfReadingFirst)
{
    TestServer server;
    server.route("/ok", Reply::ok("fine"));
    server.route("/gone", Reply::status("HTTP/1.1 404 Not Found"));
    TempDir fav;
    // Enough shortcuts that they are read in many runs by several threads, with skipped links
    // and shortcuts without a URL among them.
    for (int i = 0; i < 1200; ++i) {
        const std::string name = "f" + std::to_string(i % 3) + "/s" + std::to_string(i) + ".url";
        std::string url = server.url(i % 5 == 0 ? "/gone" : "/ok") + "?" + std::to_string(i);
        if (i % 50 == 1)
            url = "ftp://files.example/" + std::to_string(i);
        fav.write(name, i % 77 == 2 ? std::string("[Other]\r\nx=1\r\n")
                                    : "[InternetShortcut]\r\nURL=" + url + "\r\n");
    }

    CheckSettings settings;
    settings.jobs = 8;
    settings.perHost = 8;
    std::size_t lastDone = 0;
    std::size_t lastTotal = 0;
    std::size_t lastDead = 0;
    const Report streamed =
        checkFolder(fav.str(), false, settings,
                    [&](std::size_t done, std::size_t total, std::size_t dead, std::size_t) {
                        EXPECT_GE(done, lastDone);
                        lastDone = done;
                        lastTotal = total;
                        lastDead = dead;
                    });
    Catalogue catalogue;
    SearchURL(fav.str(), catalogue);
    const Report whole = checkCatalogue(catalogue, fav.str(), false, settings);

    EXPECT_TRUE(streamed.complete);
    ASSERT_EQ(streamed.entries.size(), 1200u);
    ASSERT_EQ(streamed.entries.size(), whole.entries.size());
    for (std::size_t i = 0; i < whole.entries.size(); ++i) {
        const ReportEntry &a = streamed.entries[i];
        const ReportEntry &b = whole.entries[i];
        SCOPED_TRACE(b.path);
        ASSERT_EQ(a.name, b.name);
        ASSERT_EQ(a.path, b.path);
        ASSERT_EQ(a.file, b.file);
        ASSERT_EQ(a.url, b.url);
        ASSERT_EQ(a.result.kind, b.result.kind);
        ASSERT_EQ(a.result.status, b.result.status);
        ASSERT_EQ(a.result.reason, b.result.reason);
    }
    const Tally tally = streamed.tally();
    EXPECT_EQ(tally.skipped, whole.tally().skipped);
    EXPECT_GT(tally.skipped, 0u);
    EXPECT_EQ(lastDone, tally.checked);
    EXPECT_EQ(lastTotal, tally.checked);
    EXPECT_EQ(lastDead, tally.dead());
    server.stop();
}

} // namespace
