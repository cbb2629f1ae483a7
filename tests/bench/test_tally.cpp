// Reading quorvel-check's JSON report and holding it against the web's answers: the fields
// later versions add are read when present and not required, and every link the report leaves
// out or does not call dead counts against a dead link.

#include "simweb/reportread.h"
#include "simweb/tally.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace quorvel::simweb;
namespace fs = std::filesystem;

namespace
{

Plan webOf(std::initializer_list<Category> categories)
{
    Plan plan;
    plan.hosts.emplace_back();
    for (const Category category : categories) {
        Link link;
        link.category = category;
        link.url = "http://h.test/" + std::to_string(plan.links.size());
        plan.links.push_back(link);
    }
    return plan;
}

fs::path writeReport(const std::string &text)
{
    const fs::path file =
        fs::temp_directory_path() / ("quorvel-test-tally-" + std::to_string(::getpid()) + ".json");
    std::ofstream(file) << text;
    return file;
}

TEST(ReportTally, ReadsTheFieldsOfLaterVersionsWhenPresentAndDoesWithoutThem)
{
    const fs::path file = writeReport(R"({"folder": "/f", "complete": true,
      "summary": {"shortcuts": 2, "seconds": 1.5, "network_down": false},
      "results": [
        {"url": "http://h.test/0", "result": "alive", "reason": null, "status": 429, "ms": 20,
         "tries": 3, "unverified": true, "host_verdict": false},
        {"url": "http://h.test/1", "result": "dead", "reason": "error", "status": null,
         "ms": null, "host_verdict": true,
         "move": {"result": "moved", "to": "/d/x.url"}}]})");
    const Reported reported = readReport(file);
    fs::remove(file);
    ASSERT_EQ(reported.error, "");
    EXPECT_TRUE(reported.complete);
    ASSERT_TRUE(reported.networkDown.has_value());
    EXPECT_FALSE(*reported.networkDown);
    const ReportedLink &first = reported.byUrl.at("http://h.test/0");
    EXPECT_EQ(first.status, 429);
    EXPECT_EQ(first.tries, 3);
    EXPECT_TRUE(first.unverified);
    const ReportedLink &second = reported.byUrl.at("http://h.test/1");
    EXPECT_EQ(second.result, "dead");
    EXPECT_EQ(second.tries, 0);
    EXPECT_EQ(second.ms, -1);
    EXPECT_TRUE(second.hostVerdict);
    EXPECT_EQ(second.move, "moved");

    const fs::path old = writeReport(R"({"complete": false, "summary": {}, "results": []})");
    const Reported older = readReport(old);
    fs::remove(old);
    EXPECT_EQ(older.error, "");
    EXPECT_FALSE(older.networkDown.has_value());
    EXPECT_NE(readReport("/nonexistent/report.json").error, "");
}

TEST(ReportTally, CountsLiveReportedDeadAndDeadMissedByTheWebsAnswer)
{
    const Plan plan =
        webOf({Category::Live, Category::Flaky503, Category::BotWall, Category::Gone410,
               Category::RateLimited404, Category::Stalled, Category::Refused});
    Reported reported;
    const auto said = [](const char *result, bool unverified = false, int tries = 0) {
        ReportedLink link;
        link.result = result;
        link.unverified = unverified;
        link.tries = tries;
        return link;
    };
    reported.byUrl["http://h.test/0"] = said("alive");
    reported.byUrl["http://h.test/1"] = said("dead");        // live reported dead
    reported.byUrl["http://h.test/2"] = said("unchecked");   // neither
    reported.byUrl["http://h.test/3"] = said("alive");       // missed
    reported.byUrl["http://h.test/4"] = said("alive", true); // missed
    reported.byUrl["http://h.test/5"] = said("dead", false, 2);
    // The refused link is not in the report at all: missed.
    const Tally t = tally(plan, reported);
    EXPECT_EQ(t.alive, 3);
    EXPECT_EQ(t.liveDead, 1);
    EXPECT_EQ(t.dead, 4);
    EXPECT_EQ(t.deadMissed, 3);
    EXPECT_EQ(t.unverified, 1);
    EXPECT_TRUE(t.triesGiven);
    const auto row = [&](Category c) { return t.rows[static_cast<std::size_t>(c)]; };
    EXPECT_EQ(row(Category::Flaky503).wrong, 1);
    EXPECT_EQ(row(Category::BotWall).other, 1);
    EXPECT_EQ(row(Category::BotWall).wrong, 0);
    EXPECT_EQ(row(Category::Refused).other, 1);
    EXPECT_EQ(row(Category::Refused).wrong, 1);
    EXPECT_EQ(row(Category::Stalled).wrong, 0);
}

} // namespace
