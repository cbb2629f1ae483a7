// quorvel-check with its history, run as a user runs it: confirmation over several checks,
// dead_since, the journal and undo, stores that cannot be used, and two runs at once.

#include "checkprogram.h"
#include "support/tempdir.h"
#include "support/testserver.h"
#include "support/unprivileged.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <thread>

using namespace quorvel::test;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace
{

const Reply gone = Reply::status("HTTP/1.1 404 Not Found", "no");
const Reply fine = Reply::ok("fine");

class HistoryProgramTest : public ::testing::Test
{
protected:
    std::string favorites() const { return (temp.path() / "Favorites").string(); }
    std::string dead() const { return (temp.path() / "Dead").string(); }
    std::string store() const { return (temp.path() / "history.db").string(); }
    fs::path add(const std::string &relative, const std::string &url) const
    {
        return temp.write(fs::path("Favorites") / relative, shortcut(url));
    }

    // The JSON report's results by shortcut path.
    static std::map<std::string, QJsonObject> results(const Finished &finished)
    {
        std::map<std::string, QJsonObject> byPath;
        const QJsonObject report =
            QJsonDocument::fromJson(QByteArray::fromStdString(finished.out)).object();
        for (const auto &value : report["results"].toArray())
            byPath[value.toObject()["path"].toString().toStdString()] = value.toObject();
        return byPath;
    }

    static QJsonObject summary(const Finished &finished)
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(finished.out))
            .object()["summary"]
            .toObject();
    }

    static std::string moveResult(const QJsonObject &result)
    {
        return result["move"].toObject()["result"].toString().toStdString();
    }

    Finished check(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"--history", store(), "--move-dead-to", dead()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(favorites());
        return run(args);
    }

    TestServer server;
    TempDir temp;
};

TEST_F(HistoryProgramTest, ConfirmTwoMovesLinksDeadTwiceOnlyAndALinkBackAliveStartsAgain)
{
    server.route("/always", std::vector<Reply>{gone});
    server.route("/later", std::vector<Reply>{fine, gone});
    server.route("/comeback", std::vector<Reply>{gone, fine, gone});
    add("News/Always.url", server.url("/always"));
    add("Later.url", server.url("/later"));
    add("Comeback.url", server.url("/comeback"));

    const Finished first = check({"--confirm", "2", "-f", "json"});
    EXPECT_EQ(first.status, 1) << first.err;
    auto r = results(first);
    EXPECT_EQ(r["News/Always.url"]["dead_runs"].toInt(), 1);
    EXPECT_EQ(moveResult(r["News/Always.url"]), "unconfirmed");
    EXPECT_TRUE(r["Later.url"]["dead_since"].isNull());
    EXPECT_EQ(summary(first)["unconfirmed"].toInt(), 2);
    EXPECT_EQ(summary(first)["moved"].toInt(), 0);
    const QString since = r["News/Always.url"]["dead_since"].toString();
    EXPECT_EQ(since.size(), 20) << since.toStdString(); // 2026-11-02T14:03:09Z
    EXPECT_FALSE(fs::exists(fs::path(dead())));

    std::this_thread::sleep_for(std::chrono::milliseconds(1100)); // a later second
    const Finished second = check({"--confirm", "2", "-f", "json"});
    EXPECT_EQ(second.status, 1) << second.err;
    r = results(second);
    EXPECT_EQ(r["News/Always.url"]["dead_runs"].toInt(), 2);
    EXPECT_EQ(r["News/Always.url"]["dead_since"].toString(), since) << "the first run's time";
    EXPECT_EQ(moveResult(r["News/Always.url"]), "moved");
    EXPECT_TRUE(fs::exists(fs::path(dead()) / "News/Always.url"));
    EXPECT_EQ(r["Later.url"]["dead_runs"].toInt(), 1);
    EXPECT_EQ(moveResult(r["Later.url"]), "unconfirmed");
    EXPECT_EQ(r["Comeback.url"]["dead_runs"].toInt(), 0);
    EXPECT_TRUE(r["Comeback.url"]["dead_since"].isNull());

    // The text report, and the CSV's columns.
    const Finished third =
        check({"--confirm", "2", "-f", "csv", "-o", (temp.path() / "report.csv").string()});
    EXPECT_EQ(third.status, 1) << third.err;
    EXPECT_NE(third.out.find("unconfirmed Comeback.url: dead in 1 run in a row"), std::string::npos)
        << third.out << "\nback alive in between, so it starts again";
    EXPECT_NE(third.out.find("1 dead but not yet confirmed: dead in fewer than 2 runs"),
              std::string::npos)
        << third.out;
    EXPECT_NE(third.out.find("Later.url  " + server.url("/later") +
                             "  (HTTP/1.1 404 NOT FOUND)  dead since " +
                             since.left(10).toStdString() + " ("),
              std::string::npos)
        << third.out;
    const std::string csv = readFile(temp.path() / "report.csv");
    // The columns by their header's names; these rows hold no quoted field.
    auto cells = [](const std::string &line) {
        std::vector<std::string> out;
        std::size_t start = 0;
        for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos;
             start = comma + 1)
            out.push_back(line.substr(start, comma - start));
        out.push_back(line.substr(start));
        return out;
    };
    const auto header = cells(csv.substr(0, csv.find("\r\n")));
    const auto rowStart = csv.find("\r\nLater,");
    ASSERT_NE(rowStart, std::string::npos) << csv;
    const auto later =
        cells(csv.substr(rowStart + 2, csv.find("\r\n", rowStart + 2) - rowStart - 2));
    ASSERT_EQ(later.size(), header.size()) << csv;
    auto column = [&](const char *name) {
        return later[std::find(header.begin(), header.end(), name) - header.begin()];
    };
    EXPECT_EQ(column("move"), "moved");
    EXPECT_EQ(column("dead_runs"), "2");
    EXPECT_EQ(column("dead_since").size(), 20u) << csv;
}

TEST_F(HistoryProgramTest, UndoPutsBackWhatCanGoBackNamesWhatStaysAndNeverOverwrites)
{
    server.route("/gone", gone);
    const fs::path deep = add("News/Sport/Deep.url", server.url("/gone"));
    const fs::path top = add("Top.url", server.url("/gone"));
    ASSERT_EQ(check().status, 1);
    ASSERT_FALSE(fs::exists(deep));
    fs::remove_all(fs::path(favorites()) / "News");
    temp.write("Favorites/Top.url", "a new shortcut in its place");

    const Finished moves = run({"--history", store(), "--moves"});
    EXPECT_EQ(moves.status, 0) << moves.err;
    EXPECT_NE(moves.out.find("quorvel-check      2       0  " + favorites() + " -> " + dead()),
              std::string::npos)
        << moves.out;

    const Finished dry = run({"--history", store(), "--undo", "--dry-run"});
    EXPECT_EQ(dry.status, 1) << dry.out;
    EXPECT_NE(dry.out.find("would go back " + dead() + "/News/Sport/Deep.url -> " + deep.string()),
              std::string::npos)
        << dry.out;
    EXPECT_FALSE(fs::exists(deep));

    const Finished undo = run({"--history", store(), "--undo"});
    EXPECT_EQ(undo.status, 1) << undo.out << undo.err;
    EXPECT_NE(undo.out.find("stays         " + dead() + "/Top.url: its old place " + top.string() +
                            " is taken"),
              std::string::npos)
        << undo.out;
    EXPECT_NE(undo.out.find("Put back 1 of 2 files."), std::string::npos) << undo.out;
    EXPECT_EQ(readFile(deep), shortcut(server.url("/gone"))) << "its sub-folders made again";
    EXPECT_EQ(readFile(top), "a new shortcut in its place");
    EXPECT_EQ(readFile(fs::path(dead()) / "Top.url"), shortcut(server.url("/gone")));

    fs::remove(top);
    const Finished again = run({"--history", store(), "--undo=1"});
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(readFile(top), shortcut(server.url("/gone")));
    const Finished nothing = run({"--history", store(), "--undo"});
    EXPECT_EQ(nothing.status, 0);
    EXPECT_NE(nothing.out.find("Nothing to undo"), std::string::npos) << nothing.out;
}

TEST_F(HistoryProgramTest, AStoreThatIsNotSqliteStopsEveryRunAndIsLeftByteForByte)
{
    server.route("/gone", gone);
    const fs::path file = add("Gone.url", server.url("/gone"));
    const std::string notes = "my notes\n\0\1\2 and more"s;
    temp.write("history.db", notes);
    for (const auto &args : std::vector<std::vector<std::string>>{
             {"--history", store(), "--move-dead-to", dead(), favorites()},
             {"--history", store(), favorites()},
             {"--history", store(), "--undo"},
             {"--history", store(), "--moves"}}) {
        const Finished finished = run(args);
        EXPECT_EQ(finished.status, 2) << args[2];
        EXPECT_NE(finished.err.find("'" + store() + "' is not a Quorvel history store"),
                  std::string::npos)
            << finished.err;
    }
    EXPECT_EQ(readFile(store()), notes);
    EXPECT_FALSE(fs::exists(store() + "-wal"));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(fs::path(dead())));
}

TEST_F(HistoryProgramTest, AStoreThatCannotBeWrittenStopsMovesButNotAPlainCheck)
{
    server.route("/gone", gone);
    const fs::path file = add("Gone.url", server.url("/gone"));
    ASSERT_EQ(run({"--history", store(), favorites()}).status, 1);
    const std::string before = readFile(store());

    // A file-size limit fails the store's writes as a full disk does.
    auto limited = [&](const std::vector<std::string> &args) {
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 1024;
        ::setrlimit(RLIMIT_FSIZE, &small);
        Program program(args);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        return program.finish();
    };
    const Finished moving = limited({"--history", store(), "--move-dead-to", dead(), favorites()});
    EXPECT_EQ(moving.status, 2) << moving.out;
    EXPECT_NE(moving.err.find("'" + store() + "'"), std::string::npos) << moving.err;
    EXPECT_TRUE(fs::exists(file)) << "nothing moves without its journal entry";
    EXPECT_EQ(readFile(store()), before);

    const Finished plain = limited({"--history", store(), favorites()});
    EXPECT_EQ(plain.status, 1) << plain.err;
    EXPECT_NE(plain.err.find("checking without history"), std::string::npos) << plain.err;
    EXPECT_NE(plain.out.find("dead     Gone.url"), std::string::npos);
    EXPECT_EQ(readFile(store()), before);
}

TEST_F(HistoryProgramTest, TwoRunsAtOnceOnOneStoreBothFinishAndBothAreRecorded)
{
    server.route("/gone", gone);
    server.route("/ok", fine);
    for (int i = 0; i < 300; ++i)
        add("Sub" + std::to_string(i % 10) + "/Link" + std::to_string(i) + ".url",
            server.url(i % 3 == 0 ? "/gone" : "/ok"));
    Program a({"--history", store(), favorites()});
    Program b({"--history", store(), "--move-dead-to", dead(), favorites()});
    const Finished doneA = a.finish();
    const Finished doneB = b.finish();
    EXPECT_EQ(doneA.status, 1) << doneA.err;
    EXPECT_EQ(doneB.status, 1) << doneB.err;
    EXPECT_EQ(doneA.err + doneB.err, "");

    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(store().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    auto number = [&](const char *sql) {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
        const long long value =
            sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
        sqlite3_finalize(statement);
        return value;
    };
    EXPECT_EQ(number("SELECT count(*) FROM runs WHERE completed = 1"), 2);
    EXPECT_EQ(number("SELECT count(*) FROM results"), 600);
    EXPECT_EQ(number("SELECT count(*) FROM moves WHERE state = 'moved'"), 100);
    EXPECT_EQ(number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"),
              1);
    sqlite3_close(db);
}

TEST_F(HistoryProgramTest, NoHistoryWritesNothingAndBadHistoryUsageIsRefused)
{
    server.route("/gone", gone);
    add("Gone.url", server.url("/gone"));
    const fs::path state = temp.path() / "state";
    const Finished plain = run({"--no-history", "--move-dead-to", dead(), favorites()},
                               {"XDG_STATE_HOME=" + state.string()});
    EXPECT_EQ(plain.status, 1) << plain.err;
    EXPECT_TRUE(fs::exists(fs::path(dead()) / "Gone.url"));
    EXPECT_FALSE(fs::exists(state));

    const struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"--confirm", "0", "--move-dead-to", dead(), "."}, "--confirm takes a whole number"},
        {{"--confirm", "2", "."}, "--confirm decides what --move-dead-to moves"},
        {{"--confirm", "2", "--no-history", "--move-dead-to", dead(), "."}, "--no-history"},
        {{"--undo=last"}, "--undo=ID takes the number of a run"},
        {{"--moves", "."}, "leave the folder out"},
        {{"--undo", "--no-history"}, "cannot go with --no-history"},
        {{"--history", store(), "--no-history", "."}, "cannot go together"},
        {{"--history", store(), "--undo=99"}, "no history store"},
    };
    for (const auto &c : cases) {
        const Finished finished = run(c.args);
        EXPECT_EQ(finished.status, 2) << c.args[0];
        EXPECT_NE(finished.err.find(c.message), std::string::npos) << finished.err;
    }
}

TEST_F(HistoryProgramTest, AProcessKilledWhileMovingLeavesAJournalFromWhichUndoBringsAllBack)
{
    server.route("/gone", gone);
    std::vector<fs::path> files;
    for (int i = 0; i < 200; ++i)
        files.push_back(add("Sub" + std::to_string(i % 7) + "/Gone" + std::to_string(i) + ".url",
                            server.url("/gone")));
    Program moving({"--history", store(), "--move-dead-to", dead(), favorites()});
    // Killed as soon as the first file has moved: wherever that falls, between a journal entry
    // and its move or after, no file may be lost to undo.
    const auto limit = std::chrono::steady_clock::now() + 30s;
    auto anyMoved = [&] {
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(dead(), error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_regular_file())
                return true;
        }
        return false;
    };
    while (!anyMoved() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(1ms);
    moving.signal(SIGKILL);
    moving.finish();

    const Finished undo = run({"--history", store(), "--undo"});
    EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
    for (const fs::path &file : files)
        EXPECT_EQ(readFile(file), shortcut(server.url("/gone"))) << file;
}

TEST_F(HistoryProgramTest, AnAnswerThatProvesNothingNeitherEndsNorExtendsAStreak)
{
    const Reply busy = Reply::status("HTTP/1.1 503 Service Unavailable", "later");
    server.route("/flaky", std::vector<Reply>{gone, busy, gone});
    add("Flaky.url", server.url("/flaky"));
    auto deadRuns = [&] {
        const Finished finished =
            run({"--history", store(), "--retries", "0", "-f", "json", favorites()});
        return results(finished)["Flaky.url"]["dead_runs"].toInt();
    };
    EXPECT_EQ(deadRuns(), 1);
    EXPECT_EQ(deadRuns(), 0) << "unverified: not dead in this run";
    EXPECT_EQ(deadRuns(), 2) << "the 503 in between did not make it alive again";
}

TEST_F(HistoryProgramTest, AReadOnlyStoreStopsMovesAndIsLeftAsItIs)
{
    server.route("/gone", gone);
    const fs::path file = add("Gone.url", server.url("/gone"));
    ASSERT_EQ(run({"--history", store(), favorites()}).status, 1);
    fs::permissions(store(), fs::perms::owner_read | fs::perms::group_read);
    const std::string before = readFile(store());
    // Root may write a read-only file: the moving run is made as a user the permissions bind.
    const auto moving = runUnprivileged({temp.path()}, [&] {
        const Finished finished =
            run({"--history", store(), "--move-dead-to", dead(), favorites()});
        return std::to_string(finished.status) + "\n" + finished.err;
    });
    if (!moving.ran)
        GTEST_SKIP() << moving.whyNot;
    EXPECT_EQ(moving.result.substr(0, 2), "2\n") << moving.result;
    EXPECT_NE(moving.result.find("'" + store() + "'"), std::string::npos) << moving.result;
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(readFile(store()), before);
    const Finished listed = run({"--history", store(), "--moves"});
    EXPECT_EQ(listed.status, 0) << listed.err;
}

} // namespace
