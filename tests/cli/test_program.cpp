// quorvel-check run as a user runs it: exit status, what goes to standard output and error,
// the report file, moves, the default folder, Ctrl+C and the progress bar on a terminal.

#include "checkprogram.h"
#include "platform/codepage.h"
#include "support/tempdir.h"
#include "support/testserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace
{

class ProgramTest : public ::testing::Test
{
protected:
    ProgramTest()
    {
        server.route("/ok", Reply::ok("fine"));
        server.route("/gone", Reply::status("HTTP/1.1 404 Not Found", "no"));
        server.route("/moved", Reply::redirect(301, "/ok"));
    }

    std::string favorites() const { return (temp.path() / "Favorites").string(); }
    void add(const std::string &relative, const std::string &url) const
    {
        temp.write(fs::path("Favorites") / relative, shortcut(url));
    }

    TestServer server;
    TempDir temp;
};

TEST_F(ProgramTest, ExitStatusTellsWhetherALinkIsDeadAndTheTextListsDeadAndSkippedOnly)
{
    add("Alive.url", server.url("/ok"));
    add("Mail.url", "mailto:someone@example.test");
    Finished allAlive = run({favorites()});
    EXPECT_EQ(allAlive.status, 0) << allAlive.err;
    EXPECT_EQ(allAlive.err, ""); // no progress bar when standard error is no terminal
    EXPECT_EQ(allAlive.out.find("Alive.url"), std::string::npos);
    EXPECT_NE(allAlive.out.find("skipped  Mail.url  mailto:someone@example.test"),
              std::string::npos);
    EXPECT_NE(allAlive.out.find("1 link checked"), std::string::npos) << allAlive.out;

    add("News/Gone.url", server.url("/gone"));
    Finished oneDead = run({favorites()});
    EXPECT_EQ(oneDead.status, 1) << oneDead.err;
    EXPECT_NE(oneDead.out.find("dead     News/Gone.url  " + server.url("/gone") +
                               "  (HTTP/1.1 404 NOT FOUND)"),
              std::string::npos)
        << oneDead.out;
    EXPECT_NE(oneDead.out.find("1 alive, 1 dead by 404 or 410, 0 other errors; 1 skipped"),
              std::string::npos)
        << oneDead.out;
}

TEST_F(ProgramTest, BadUsageAndAFolderThatCannotBeReadGiveStatusTwoAndAMessage)
{
    temp.write("a-file", "not a folder");
    const struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{(temp.path() / "missing").string()}, "cannot read folder"},
        {{(temp.path() / "a-file").string()}, "cannot read folder"},
        {{"--jobs", "0", "."}, "--jobs takes a whole number"},
        {{"--per-host=many", "."}, "--per-host takes a whole number"},
        {{"--timeout", "-1", "."}, "--timeout takes a number of seconds"},
        {{"--format", "xml", "."}, "--format takes text, json, csv or markdown"},
        {{"--dry-run", "."}, "--dry-run shows what --move-dead-to would move"},
        {{"--frobnicate", "."}, "unknown or ambiguous option '--frobnicate'"},
        {{"-x", "."}, "unknown option '-x'"},
        {{"--output"}, "needs a value"},
        {{"one", "two"}, "only one folder"},
        {{"--output", temp.str(), temp.str()}, "is a folder"},
        {{"--move-dead-to", (temp.path() / "a-file").string(), temp.str()}, "is not a folder"},
        {{"--suspect-is-dead", "--move-dead-to", "x", "."}, "--suspect-is-dead needs --deep"},
        {{"--deep", "--suspect-is-dead", "."}, "decides what --move-dead-to moves"},
        {{"--retries", "11", "."}, "--retries takes a whole number from 0 to 10"},
        {{"--exclude", "(ads", "."}, "--exclude: '(ads' is not a valid regular expression"},
        {{"--exclude-file", (temp.path() / "missing").string(), "."}, "--exclude-file: cannot read"},
        {{"--exclude-file", (temp.path() / "patterns").string(), "."}, "patterns, line 2: '[x'"},
    };
    temp.write("patterns", "# comment\n[x\n");
    for (const auto &c : cases) {
        const Finished done = run(c.args);
        EXPECT_EQ(done.status, 2) << c.message;
        EXPECT_EQ(done.out, "") << c.message;
        EXPECT_NE(done.err.find(c.message), std::string::npos) << done.err;
        EXPECT_EQ(done.err.rfind("quorvel-check: ", 0), 0u) << done.err;
    }
}

TEST_F(ProgramTest, TheJsonReportHasOneObjectPerShortcutInCatalogueOrder)
{
    add("B.url", server.url("/gone"));
    add("A/Moved.url", server.url("/moved"));
    add("A/Dead host.url", "http://nowhere.invalid/x");
    temp.write("Favorites/NoUrl.url", "[InternetShortcut]\r\n");
    const std::string file = (temp.path() / "report.json").string();

    const Finished done = run({"--format=json", "--output", file, favorites()});
    EXPECT_EQ(done.status, 1) << done.err;
    // The text report still goes to standard output.
    EXPECT_NE(done.out.find("dead     B.url"), std::string::npos) << done.out;

    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(readFile(file)), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject root = document.object();
    EXPECT_TRUE(root["complete"].toBool());
    EXPECT_EQ(root["folder"].toString().toStdString(), favorites());
    EXPECT_EQ(root["summary"]["checked"].toInt(), 3);
    EXPECT_EQ(root["summary"]["dead_404"].toInt(), 1);
    EXPECT_EQ(root["summary"]["other_errors"].toInt(), 1);
    EXPECT_EQ(root["summary"]["skipped"].toInt(), 1);

    const QJsonArray results = root["results"].toArray();
    ASSERT_EQ(results.size(), 4);
    const struct {
        const char *name;
        const char *path;
        const char *result;
        int status;
        int error;
    } expected[] = {
        {"Dead host", "A/Dead host.url", "dead", 0, 12007},
        {"Moved", "A/Moved.url", "alive", 200, 0},
        {"B", "B.url", "dead", 404, 0},
        {"NoUrl", "NoUrl.url", "skipped", 0, 0},
    };
    for (int i = 0; i < 4; ++i) {
        const QJsonObject r = results[i].toObject();
        const auto &e = expected[i];
        EXPECT_EQ(r["name"].toString().toStdString(), e.name);
        EXPECT_EQ(r["path"].toString().toStdString(), e.path);
        EXPECT_EQ(r["result"].toString().toStdString(), e.result) << e.path;
        EXPECT_EQ(r["status"].toInt(), e.status) << e.path;
        EXPECT_EQ(r["error"].toInt(), e.error) << e.path;
        EXPECT_EQ(r["ms"].isNull(), std::string(e.result) == "skipped") << e.path;
    }
    EXPECT_EQ(results[1].toObject()["final_url"].toString().toStdString(), server.url("/ok"));
    EXPECT_EQ(results[1].toObject()["permanent_redirect"].toString().toStdString(),
              server.url("/ok"));
    EXPECT_EQ(results[0].toObject()["error_text"].toString().toStdString(),
              "The server name or address could not be resolved");
    EXPECT_EQ(results[3].toObject()["url"].toString().toStdString(), "no path");
    // What the tries showed, per link and for the run.
    EXPECT_EQ(results[2].toObject()["tries"].toInt(), 1);
    EXPECT_FALSE(results[2].toObject()["unverified"].toBool(true));
    EXPECT_FALSE(results[2].toObject()["host_verdict"].toBool(true));
    EXPECT_FALSE(root["summary"]["network_down"].toBool(true));
    EXPECT_EQ(root["summary"]["dead_410"].toInt(-1), 0);
    EXPECT_EQ(root["summary"]["unverified"].toInt(-1), 0);
}

TEST_F(ProgramTest, ExcludedAndPrivateLinksAreSkippedAndCheckedWhenAsked)
{
    add("Ads.url", server.url("/ok?ad=1"));
    add("Gone.url", server.url("/gone"));
    add("Intranet.url", "http://intranet/");
    add("Router.url", "http://192.168.1.1/");
    temp.write("patterns", "# the ad server\n\n  [?&]ad=  \n");

    const Finished skipped =
        run({"--exclude", "/gone$", "--exclude-file", (temp.path() / "patterns").string(),
             favorites()});
    EXPECT_EQ(skipped.status, 0) << skipped.out;
    for (const char *line : {"skipped  Ads.url", "skipped  Gone.url", "skipped  Intranet.url",
                             "skipped  Router.url"})
        EXPECT_NE(skipped.out.find(line), std::string::npos) << line << "\n" << skipped.out;
    EXPECT_EQ(server.requestCount("/gone"), 0);

    const Finished json = run({"--format", "json", "--exclude", "/gone$", favorites()});
    const QJsonArray results =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["results"].toArray();
    ASSERT_EQ(results.size(), 4);
    EXPECT_EQ(results[1].toObject()["reason"].toString().toStdString(), "excluded");
    EXPECT_EQ(results[2].toObject()["reason"].toString().toStdString(), "private");
    EXPECT_EQ(results[3].toObject()["reason"].toString().toStdString(), "private");
}

// Names copied from an old system are shown as the window shows them (decoded with the
// registry's code page, here 1251) and their own bytes come beside them, so a script can open
// the file; bytes a server sends cannot break a report either.
TEST_F(ProgramTest, EveryReportIsUtf8AndNamesFilesThatAreNotExactly)
{
    temp.write("config/quorvel/registry/HKEY_LOCAL_MACHINE.reg",
               "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n"
               "\"ACP\"=\"1251\"\r\n");
    const std::vector<std::string> env{"XDG_CONFIG_HOME=" + (temp.path() / "config").string()};
    server.route("/hostile", Reply::status("HTTP/1.1 404 \xff\xfe\xc0\xaf gone"));
    const std::string raw = "\xcf\xf0\xe8\xe2\xe5\xf2/%\xc4\xe0.url"; // "Привет/%Да.url"
    add(raw, server.url("/hostile"));
    const std::string dead = (temp.path() / "Dead").string();

    for (const char *format : {"json", "csv", "markdown", "text"}) {
        SCOPED_TRACE(format);
        const Finished done =
            run({"-f", format, "--move-dead-to", dead, "--dry-run", favorites()}, env);
        EXPECT_EQ(done.status, 1) << done.err;
        EXPECT_TRUE(quorvel::platform::isUtf8(done.out)) << done.out;
        const std::string shown =
            "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82/%\xd0\x94\xd0\xb0.url";
        EXPECT_NE(done.out.find(shown), std::string::npos) << done.out;
        if (std::string(format) == "json") {
            const QJsonObject r = QJsonDocument::fromJson(QByteArray::fromStdString(done.out))
                                      .object()["results"]
                                      .toArray()[0]
                                      .toObject();
            EXPECT_EQ(r["path"].toString().toStdString(), shown);
            EXPECT_EQ(r["path_bytes"].toString().toStdString(), "%CF%F0%E8%E2%E5%F2/%25%C4%E0.url");
            EXPECT_EQ(r["move"]["to_bytes"].toString().toStdString(),
                      dead + "/%CF%F0%E8%E2%E5%F2/%25%C4%E0.url");
            EXPECT_EQ(r["evidence"].toString().toStdString().substr(0, 13), "HTTP/1.1 404 ");
        }
        if (std::string(format) == "csv") {
            EXPECT_NE(done.out.find(",%CF%F0%E8%E2%E5%F2/%25%C4%E0.url,"), std::string::npos);
        }
    }
    EXPECT_TRUE(fs::exists(fs::path(favorites()) / raw)) << "a dry run moves nothing";
}

TEST_F(ProgramTest, DeadShortcutsMoveWithTheirSubFoldersAndNeverOverwrite)
{
    add("Top.url", server.url("/gone"));
    add("News/Sport/Deep.url", server.url("/gone"));
    add("News/Taken.url", server.url("/gone"));
    add("News/Alive.url", server.url("/ok"));
    const fs::path target = temp.path() / "Dead";
    temp.write("Dead/News/Taken.url", "already here");

    const Finished dry = run({"--move-dead-to", target.string(), "--dry-run", favorites()});
    EXPECT_EQ(dry.status, 1) << dry.err;
    EXPECT_NE(dry.out.find("would move News/Sport/Deep.url -> " +
                           (target / "News/Sport/Deep.url").string()),
              std::string::npos)
        << dry.out;
    EXPECT_NE(dry.out.find("Would move 3 links to " + target.string() + "."), std::string::npos)
        << dry.out;
    EXPECT_TRUE(fs::exists(fs::path(favorites()) / "Top.url"));
    EXPECT_FALSE(fs::exists(target / "Top.url"));

    const Finished moved = run({"--move-dead-to", target.string(), favorites()});
    EXPECT_EQ(moved.status, 1) << moved.err;
    EXPECT_TRUE(fs::exists(target / "Top.url"));
    EXPECT_TRUE(fs::exists(target / "News/Sport/Deep.url"));
    EXPECT_FALSE(fs::exists(fs::path(favorites()) / "News/Sport/Deep.url"));
    // The file in the way stays, and so does the shortcut that would have replaced it.
    EXPECT_EQ(readFile(target / "News/Taken.url"), "already here");
    EXPECT_TRUE(fs::exists(fs::path(favorites()) / "News/Taken.url"));
    EXPECT_TRUE(fs::exists(fs::path(favorites()) / "News/Alive.url"));
    EXPECT_NE(moved.out.find("Moved 2 links to " + target.string() + "."), std::string::npos)
        << moved.out;
    EXPECT_NE(moved.out.find("not moved  News/Taken.url"), std::string::npos) << moved.out;
}

TEST_F(ProgramTest, CtrlCStopsWritesThePartialReportAndMovesNothing)
{
    Reply silent = Reply::ok("never");
    silent.delayBeforeHeaders = 1h;
    server.route("/silent", silent);
    add("A.url", server.url("/gone"));
    add("B.url", server.url("/silent"));
    add("C.url", server.url("/silent"));
    const std::string file = (temp.path() / "partial.json").string();
    const fs::path target = temp.path() / "Dead";

    Program program({"--jobs=1", "--format=json", "--output", file, "--move-dead-to",
                     target.string(), favorites()});
    ASSERT_TRUE(server.waitForRequests("/silent", 1));
    program.signal(SIGINT);
    const Finished done = program.finish();
    server.stop();

    EXPECT_EQ(done.status, 130) << done.err;
    EXPECT_NE(done.out.find("Interrupted after"), std::string::npos) << done.out;
    EXPECT_TRUE(fs::exists(fs::path(favorites()) / "A.url"));
    EXPECT_FALSE(fs::exists(target));
    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(readFile(file))).object();
    EXPECT_FALSE(root["complete"].toBool());
    const QJsonArray results = root["results"].toArray();
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0].toObject()["result"].toString(), "dead");
    EXPECT_EQ(results[1].toObject()["result"].toString(), "unchecked");
    EXPECT_EQ(results[2].toObject()["result"].toString(), "unchecked");
}

TEST_F(ProgramTest, WithoutAFolderTheWindowsFavoritesFolderIsChecked)
{
    // No hive file: the registry layer's default, ~/Favorites.
    add("Gone.url", server.url("/gone"));
    const std::vector<std::string> env = {"HOME=" + temp.str(),
                                          "XDG_CONFIG_HOME=" + (temp.path() / "config").string()};
    const Finished fromHome = run({}, env);
    EXPECT_EQ(fromHome.status, 1) << fromHome.err;
    EXPECT_NE(fromHome.out.find("dead     Gone.url"), std::string::npos) << fromHome.out;

    // The registry's value wins.
    temp.write("Elsewhere/Fine.url", shortcut(server.url("/ok")));
    temp.write("config/quorvel/registry/HKEY_CURRENT_USER.reg",
               "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
               "Shell Folders]\r\n\"Favorites\"=\"" +
                   (temp.path() / "Elsewhere").string() + "\"\r\n");
    const Finished fromRegistry = run({}, env);
    EXPECT_EQ(fromRegistry.status, 0) << fromRegistry.err << fromRegistry.out;
    EXPECT_NE(fromRegistry.out.find("1 link checked"), std::string::npos) << fromRegistry.out;
}

TEST_F(ProgramTest, AProgressBarIsDrawnOnATerminalAndClearedBeforeTheReport)
{
    for (int i = 0; i < 5; ++i)
        add("Link " + std::to_string(i) + ".url", server.url(i == 2 ? "/gone" : "/ok"));
    const Finished done = Program({favorites()}, {}, true).finish();
    EXPECT_EQ(done.status, 1);
    EXPECT_NE(done.err.find("5/5  dead 1"), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("\r["), std::string::npos) << done.err;
    // The last thing on the terminal clears the bar's line.
    EXPECT_EQ(done.err.substr(done.err.size() - 4), "\r\x1b[K");
}

// A site that answers every unknown address with a "not found" page and status 200.
class DeepProgramTest : public ProgramTest
{
protected:
    DeepProgramTest()
    {
        const auto html = [](const std::string &title, const std::string &text) {
            return Reply::ok("<html><head><title>" + title + "</title></head><body><h1>" + title +
                                 "</h1><p>" + text + "</p></body></html>",
                             "text/html; charset=utf-8");
        };
        server.route("/", html("Harbour Rowing Club", "We row on the harbour every Sunday."));
        server.route("/blog/regatta", html("Regatta results", "Our eight won the final by a "
                                                              "length in a strong head wind."));
        server.route("/blog/old", Reply::redirect(301, "/"));
        server.route("/sale",
                     html("rowing-club.test - This domain is for sale!", "Make an offer today."));
        server.fallback([html](const ReceivedRequest &) {
            return html("Not found", "Sorry, this page does not exist (any more).");
        });
    }
};

TEST_F(DeepProgramTest, SuspectsAppearInEveryReportAndMakeTheExitStatusOne)
{
    add("Regatta.url", server.url("/blog/regatta"));
    add("Blog/Gone.url", server.url("/blog/gone-away"));
    add("Blog/Old.url", server.url("/blog/old"));
    add("Sale.url", server.url("/sale"));
    const std::string file = (temp.path() / "report.json").string();

    // Without --deep they are all alive.
    const Finished plain = run({favorites()});
    EXPECT_EQ(plain.status, 0) << plain.err << plain.out;
    EXPECT_EQ(plain.out.find("suspect"), std::string::npos) << plain.out;

    const Finished deep = run({"--deep", "-f", "json", "-o", file, favorites()});
    EXPECT_EQ(deep.status, 1) << deep.err;
    EXPECT_EQ(deep.err, "");
    for (const std::string &line :
         {"suspect  Blog/Gone.url  " + server.url("/blog/gone-away") +
              "  (soft 404: same page as the made-up address /blog/",
          "suspect  Blog/Old.url  " + server.url("/blog/old") +
              "  (moved to the home page: redirected to the home page " + server.url("/") + ")",
          "suspect  Sale.url  " + server.url("/sale") + "  (parked: title matches ",
          std::string("4 links checked"),
          std::string("1 alive, 0 dead by 404 or 410, 0 other errors, "
                      "3 suspect; 0 skipped")})
        EXPECT_NE(deep.out.find(line), std::string::npos) << line << "\n" << deep.out;
    EXPECT_EQ(deep.out.find("Regatta"), std::string::npos) << deep.out;

    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(readFile(file))).object();
    EXPECT_EQ(root["summary"]["suspect"].toInt(), 3);
    EXPECT_EQ(root["summary"]["alive"].toInt(), 1);
    EXPECT_EQ(root["summary"]["probes"].toInt(), 1);
    const QJsonArray results = root["results"].toArray();
    ASSERT_EQ(results.size(), 4);
    const struct {
        const char *path;
        const char *result;
        const char *reason;
    } expected[] = {{"Blog/Gone.url", "suspect", "soft 404"},
                    {"Blog/Old.url", "suspect", "moved to the home page"},
                    {"Regatta.url", "alive", ""},
                    {"Sale.url", "suspect", "parked"}};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject r = results[i].toObject();
        EXPECT_EQ(r["path"].toString().toStdString(), expected[i].path);
        EXPECT_EQ(r["result"].toString().toStdString(), expected[i].result) << expected[i].path;
        EXPECT_EQ(r["reason"].toString().toStdString(), expected[i].reason) << expected[i].path;
        EXPECT_EQ(r["evidence"].isNull(), *expected[i].reason == '\0') << expected[i].path;
        EXPECT_EQ(r["status"].toInt(), 200) << expected[i].path;
    }

    const Finished csv = run({"--deep", "-f", "csv", favorites()});
    EXPECT_NE(csv.out.find(",suspect,soft 404,same page as the made-up address /blog/"),
              std::string::npos)
        << csv.out;
    const Finished markdown = run({"--deep", "-f", "markdown", favorites()});
    EXPECT_NE(markdown.out.find("## Suspect links"), std::string::npos) << markdown.out;
    EXPECT_NE(markdown.out.find("| Blog/Gone.url | "), std::string::npos) << markdown.out;
}

TEST_F(DeepProgramTest, SuspectsMoveOnlyWithSuspectIsDeadAndTheDryRunShowsThem)
{
    add("Dead.url", server.url("/gone"));
    add("Blog/Gone.url", server.url("/blog/gone-away"));
    const fs::path target = temp.path() / "Dead";
    const std::string to = target.string();

    const Finished dry = run({"--deep", "--move-dead-to", to, "--dry-run", favorites()});
    EXPECT_EQ(dry.status, 1) << dry.err;
    for (const std::string &line :
         {"would move Dead.url -> " + (target / "Dead.url").string(),
          std::string("stays      Blog/Gone.url: a suspect"), "Would move 1 link to " + to + ".",
          std::string("1 suspect stays where it is")})
        EXPECT_NE(dry.out.find(line), std::string::npos) << line << "\n" << dry.out;
    const Finished dryAll =
        run({"--deep", "--suspect-is-dead", "--move-dead-to", to, "--dry-run", favorites()});
    EXPECT_NE(dryAll.out.find("would move Blog/Gone.url -> " + (target / "Blog/Gone.url").string()),
              std::string::npos)
        << dryAll.out;
    EXPECT_NE(dryAll.out.find("Would move 2 links"), std::string::npos) << dryAll.out;
    EXPECT_FALSE(fs::exists(target));

    const Finished moved = run({"--deep", "--move-dead-to", to, favorites()});
    EXPECT_EQ(moved.status, 1);
    EXPECT_TRUE(fs::exists(target / "Dead.url"));
    EXPECT_TRUE(fs::exists(fs::path(favorites()) / "Blog/Gone.url"));
    EXPECT_EQ(moved.out.find("stays      Blog"), std::string::npos) << moved.out;
    EXPECT_NE(moved.out.find("1 suspect stays where it is"), std::string::npos) << moved.out;

    const Finished movedAll =
        run({"--deep", "--suspect-is-dead", "--move-dead-to", to, favorites()});
    EXPECT_EQ(movedAll.status, 1);
    EXPECT_TRUE(fs::exists(target / "Blog/Gone.url"));
    EXPECT_FALSE(fs::exists(fs::path(favorites()) / "Blog/Gone.url"));
    EXPECT_NE(movedAll.out.find("Moved 1 link to " + to + "."), std::string::npos) << movedAll.out;
}

TEST_F(ProgramTest, HelpNamesEveryOptionAndVersionNamesTheProgram)
{
    const Finished help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *option :
         {"--jobs", "--per-host", "--timeout", "--http-only", "--user-agent", "--format",
          "--output", "--move-dead-to", "--dry-run", "--report-redirects", "--deep",
          "--suspect-is-dead", "--retries", "--include-private", "--exclude", "--exclude-file",
          "--force-move", "--history", "--no-history", "--confirm", "--moves", "--undo",
          "--help", "--version", "Exit status", "  3  "})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const Finished version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("quorvel-check ", 0), 0u) << version.out;
}

} // namespace

// A network namespace of its own, with only loopback and a resolver address where nothing
// listens: the machine without a network that a laptop offline is.
TEST_F(ProgramTest, WithoutANetworkNothingIsMovedAndTheExitStatusIsThree)
{
    if (std::system("unshare -n -m true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no network namespace can be made here (it takes root and unshare)";
    add("One.url", "http://one.example/");
    add("News/Two.url", "http://two.example/page");
    add("News/Three.url", "https://three.example/");
    add("Local.url", "http://intranet/");
    temp.write("resolv.conf", "nameserver 127.0.0.1\n");
    const fs::path dead = temp.path() / "Dead";
    const auto offline = [&](const std::string &extra) {
        const std::string script =
            "export QUORVEL_CHECK_RETRY_WAIT_MS=20 XDG_STATE_HOME='" + (temp.path() / "state").string() + "'; ip link set lo up 2>/dev/null; mount --bind '" + (temp.path() / "resolv.conf").string() +
            "' /etc/resolv.conf && exec '" + QUORVEL_CHECK_PROGRAM + "' " + extra +
            " --move-dead-to '" + dead.string() + "' '" + favorites() + "' >'" +
            (temp.path() / "out").string() + "' 2>'" + (temp.path() / "err").string() + "'";
        const int status = std::system(("unshare -n -m sh -c \"" + script + "\"").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const auto read = [&](const char *name) {
        std::ifstream in(temp.path() / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    EXPECT_EQ(offline(""), 3);
    EXPECT_EQ(read("err"), "The network looks unreachable: no host answered (3 hosts tried). "
                           "Nothing was moved.\n");
    EXPECT_TRUE(fs::exists(fs::path(favorites()) / "One.url"));
    EXPECT_TRUE(fs::exists(fs::path(favorites()) / "News" / "Two.url"));
    EXPECT_FALSE(fs::exists(dead / "One.url"));
    EXPECT_NE(read("out").find("skipped  Local.url  http://intranet/"), std::string::npos);

    // For a folder of only dead hosts, the user may move by the verdicts all the same.
    EXPECT_EQ(offline("--force-move"), 1);
    EXPECT_TRUE(fs::exists(dead / "One.url"));
    EXPECT_TRUE(fs::exists(dead / "News" / "Three.url"));
    EXPECT_TRUE(fs::exists(fs::path(favorites()) / "Local.url"));
}
