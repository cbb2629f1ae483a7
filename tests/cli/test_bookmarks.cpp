// quorvel-check on browsers' bookmark stores, run as a user runs it against a local server:
// bookmarks HTML, a Chromium profile's Bookmarks and Firefox's places.sqlite found by --browser
// under a home folder of the test's own, the cleaned copy read back, refusals and the history.

#include "bookmarks/bookmarkfile.h"
#include "bookmarks/placesfile.h"
#include "checkprogram.h"
#include "support/tempdir.h"
#include "support/testserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace quorvel::test;
namespace bm = quorvel::bookmarks;
namespace fs = std::filesystem;

namespace
{

class BookmarkCheck : public ::testing::Test
{
protected:
    BookmarkCheck()
    {
        server.route("/ok", Reply::ok("fine"));
        server.route("/gone", Reply::status("HTTP/1.1 404 Not Found", "no"));
    }

    // A bookmarks HTML file as browsers export it: nested folders, a separator, a twin of one
    // bookmark in its own folder, links that are not http.
    fs::path htmlStore() const
    {
        return temp.write("exported.html",
                          "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                          "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                          "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
                          "<DT><H3 ADD_DATE=\"1500000000\">Bookmarks Toolbar</H3>\n<DL><p>\n"
                          "<DT><H3>News</H3>\n<DL><p>\n"
                          "<DT><A HREF=\"" + server.url("/gone") +
                              "\" ADD_DATE=\"1500000001\">Old paper</A>\n"
                              "<DT><A HREF=\"" + server.url("/ok") + "\">Today</A>\n"
                              "<HR>\n"
                              "<DT><A HREF=\"" + server.url("/gone") +
                              "\" ADD_DATE=\"1500000001\">Old paper</A>\n"
                              "</DL><p>\n"
                              "<DT><A HREF=\"javascript:alert(1)\">Bookmarklet</A>\n"
                              "</DL><p>\n"
                              "<DT><A HREF=\"place:sort=8\">Most visited</A>\n"
                              "<DT><A HREF=\"file:///etc/hostname\">Local file</A>\n"
                              "<DT><A HREF=\"" + server.url("/gone?top") + "\">Top gone</A>\n"
                              "</DL><p>\n");
    }

    std::vector<std::string> history() const
    {
        return {"--history", (temp.path() / "history.db").string()};
    }

    TestServer server;
    TempDir temp;
};

QJsonObject jsonOf(const std::string &text)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// result and path of every entry, by path (the twins share one, so they are counted).
std::multimap<std::string, std::string> resultsOf(const QJsonObject &report)
{
    std::multimap<std::string, std::string> results;
    for (const auto value : report["results"].toArray()) {
        const QJsonObject entry = value.toObject();
        results.emplace(entry["path"].toString().toStdString(),
                        entry["result"].toString().toStdString());
    }
    return results;
}

// Every link of a tree as "folder path|title|url", in order.
std::vector<std::string> linksOf(const bm::BookmarkTree &tree)
{
    std::vector<std::string> links;
    for (const bm::BookmarkEntry &e : bm::flatten(tree))
        links.push_back(e.folderPath + "|" + e.title + "|" + e.url);
    return links;
}

TEST_F(BookmarkCheck, HtmlStoreIsCheckedByTitleAndFolderPathAndTheCleanedCopyKeepsEveryBookmark)
{
    const fs::path store = htmlStore();
    const fs::path cleaned = temp.path() / "cleaned.html";
    const Finished done =
        run({"--no-history", "--format", "json", "--bookmarks", store.string(),
             "--write-bookmarks", cleaned.string()});
    EXPECT_EQ(done.status, 1) << done.err;
    const QJsonObject report = jsonOf(done.out);
    EXPECT_EQ(report["bookmarks"].toString(), "html");
    EXPECT_EQ(report["folder"].toString().toStdString(), store.string());
    EXPECT_EQ(report["summary"].toObject()["dead_links"].toInt(), 3);
    const std::multimap<std::string, std::string> expected{
        {"Bookmarks Toolbar/News/Old paper", "dead"},
        {"Bookmarks Toolbar/News/Today", "alive"},
        {"Bookmarks Toolbar/News/Old paper", "dead"},
        {"Bookmarks Toolbar/Bookmarklet", "skipped"},
        {"Most visited", "skipped"},
        {"Local file", "skipped"},
        {"Top gone", "dead"},
    };
    EXPECT_EQ(resultsOf(report), expected);
    EXPECT_EQ(report["results"].toArray()[0].toObject()["name"].toString(), "Old paper");
    EXPECT_EQ(report["results"].toArray()[0].toObject()["move"].toObject()["to"].toString(),
              "Dead links/Bookmarks Toolbar/News/Old paper");

    // Read back: the same links, each once, the dead ones below "Dead links" in their folders,
    // the rest where they were, in their order, with their dates.
    const bm::BookmarkTree copy = bm::readBookmarkFile(cleaned);
    const std::string gone = server.url("/gone");
    const std::vector<std::string> links{
        "Bookmarks Toolbar/News|Today|" + server.url("/ok"),
        "Bookmarks Toolbar|Bookmarklet|javascript:alert(1)",
        "|Most visited|place:sort=8",
        "|Local file|file:///etc/hostname",
        "Dead links/Bookmarks Toolbar/News|Old paper|" + gone,
        "Dead links/Bookmarks Toolbar/News|Old paper|" + gone,
        "Dead links|Top gone|" + server.url("/gone?top"),
    };
    EXPECT_EQ(linksOf(copy), links);
    EXPECT_EQ(bm::flatten(copy)[4].added, 1500000001);
    // The input is left exactly as it was.
    EXPECT_NE(readFile(store).find("<HR>"), std::string::npos);

    // The text report says where the copy went; the copy may be written again over itself.
    const Finished text = run({"--no-history", "--bookmarks", store.string(),
                               "--write-bookmarks", cleaned.string()});
    EXPECT_EQ(text.status, 1) << text.err;
    EXPECT_NE(text.out.find("dead     Bookmarks Toolbar/News/Old paper  " + gone), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("skipped  Most visited  place:sort=8  (not an http or https link)"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("(7 bookmarks)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Wrote the cleaned copy " + cleaned.string() +
                            ": 7 bookmarks, 3 of them in \"Dead links\"."),
              std::string::npos)
        << text.out;
}

TEST_F(BookmarkCheck, BrowserFindsFirefoxAndChromiumUnderHomeAndSaysWhichFileItRead)
{
    const TempDir home;
    home.write(".mozilla/firefox/profiles.ini",
               "[Profile0]\nName=default-release\nIsRelative=1\nPath=abc.default-release\n"
               "Default=1\n");
    const fs::path places = home.path() / ".mozilla/firefox/abc.default-release/places.sqlite";
    fs::create_directories(places.parent_path());
    // Held open in WAL mode, as a running Firefox holds it: its latest bookmarks are in the WAL.
    PlacesFile firefox(places);
    const auto news = firefox.folder(firefox.toolbar(), "News");
    firefox.link(news, "Old paper", server.url("/gone"), 1500000000000000);
    firefox.link(firefox.menu(), "Fine", server.url("/ok"));
    firefox.link(firefox.unfiled(), "Query", "place:type=6");
    const fs::path chromium = home.write(
        ".config/chromium/Default/Bookmarks",
        R"({"roots": {"bookmark_bar": {"name": "Bookmarks bar", "type": "folder", "children": [
             {"name": "Shop", "type": "folder", "children": [
               {"name": "Gone shop", "type": "url", "url": ")" +
            server.url("/gone") + R"("}]}]},
           "other": {"name": "Other bookmarks", "type": "folder", "children": [
             {"name": "Fine", "type": "url", "url": ")" +
            server.url("/ok") + R"("}]},
           "synced": {"name": "Mobile bookmarks", "type": "folder", "children": []}},
         "version": 1})");
    const std::vector<std::string> env{"HOME=" + home.str()};

    const Finished list = run({"--browser", "list"}, env);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "firefox   " + places.string() + "\nchromium  " + chromium.string() + "\n");

    const auto before = readFile(places);
    const Finished fx = run({"--no-history", "--format", "json", "--browser", "firefox"}, env);
    EXPECT_EQ(fx.status, 1) << fx.err;
    EXPECT_NE(fx.err.find(places.string()), std::string::npos) << fx.err;
    const QJsonObject fxReport = jsonOf(fx.out);
    EXPECT_EQ(fxReport["bookmarks"].toString(), "firefox");
    const auto fxResults = resultsOf(fxReport);
    EXPECT_EQ(fxResults.count("Bookmarks Toolbar/News/Old paper"), 1u) << fx.out;
    EXPECT_EQ(fxResults.find("Bookmarks Toolbar/News/Old paper")->second, "dead");
    EXPECT_EQ(readFile(places), before); // never written

    const Finished cr = run({"--no-history", "--browser", "chromium"}, env);
    EXPECT_EQ(cr.status, 1) << cr.err;
    EXPECT_NE(cr.err.find(chromium.string()), std::string::npos) << cr.err;
    EXPECT_NE(cr.out.find("dead     Bookmarks bar/Shop/Gone shop  " + server.url("/gone")),
              std::string::npos)
        << cr.out;
    EXPECT_NE(cr.out.find("1 alive, 1 dead by 404 or 410"), std::string::npos) << cr.out;

    // A browser without a store is named, with where to look next.
    const Finished none = run({"--browser", "vivaldi"}, env);
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("--browser vivaldi: no bookmarks"), std::string::npos) << none.err;
    const TempDir empty;
    const Finished nothing = run({"--browser", "list"}, {"HOME=" + empty.str()});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_NE(nothing.out.find("No browser's bookmarks found"), std::string::npos);
}

TEST_F(BookmarkCheck, BadFilesAndRefusedRequestsGiveStatusTwoNamingTheFileAndChangeNothing)
{
    const fs::path store = htmlStore();
    const std::string whole = readFile(store);
    const fs::path chromium =
        temp.write("Bookmarks", R"({"roots": {"bookmark_bar": {"type": "folder", "children": [)");
    const fs::path unknown = temp.write("notes.txt", "just some notes\n");
    const fs::path places = temp.write("places.sqlite", std::string("SQLite format 3\0", 16) +
                                                            std::string(100, 'x'));
    const fs::path keep = temp.write("keep.txt", "my own notes\n");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"--bookmarks", chromium.string()}, chromium.string() + ": "},
        {{"--bookmarks", unknown.string()}, unknown.string() + ": is not a bookmarks file"},
        {{"--bookmarks", places.string()}, places.string() + ": "},
        {{"--bookmarks", (temp.path() / "missing.html").string()}, "missing.html: cannot be opened"},
        {{"--bookmarks", store.string(), "--move-dead-to", (temp.path() / "Dead").string()},
         "--move-dead-to moves shortcut files; a bookmark store is never changed"},
        {{"--bookmarks", store.string(), "--write-bookmarks", store.string()},
         "is the store being checked"},
        {{"--bookmarks", store.string(), "--write-bookmarks", keep.string()},
         "exists and is not a bookmarks HTML file"},
        {{"--bookmarks", store.string(), temp.str()}, "instead of a folder"},
        {{"--write-bookmarks", (temp.path() / "x.html").string(), temp.str()},
         "give --bookmarks FILE or --browser NAME"},
        {{"--browser", "netscape"}, "--browser takes firefox, chromium"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args{"--no-history"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.message);
        const Finished done = run(args);
        EXPECT_EQ(done.status, 2) << done.out;
        EXPECT_NE(done.err.find(c.message), std::string::npos) << done.err;
        EXPECT_EQ(done.out, "");
    }
    EXPECT_EQ(readFile(store), whole);
    EXPECT_EQ(readFile(keep), "my own notes\n");
    EXPECT_FALSE(fs::exists(temp.path() / "Dead"));
}

TEST_F(BookmarkCheck, HistoryCountsABookmarksDeadRunsByStoreFolderPathAndUrl)
{
    const fs::path store = htmlStore();
    std::vector<std::string> args = history();
    args.insert(args.end(), {"--format", "json", "--bookmarks", store.string()});
    const Finished first = run(args);
    ASSERT_EQ(first.status, 1) << first.err;
    EXPECT_EQ(first.err.find("not kept"), std::string::npos) << first.err;
    const Finished second = run(args);
    ASSERT_EQ(second.status, 1) << second.err;
    EXPECT_EQ(second.err, "");
    std::map<std::string, int> deadRuns;
    for (const auto value : jsonOf(second.out)["results"].toArray()) {
        const QJsonObject entry = value.toObject();
        deadRuns[entry["path"].toString().toStdString()] += entry["dead_runs"].toInt();
    }
    EXPECT_EQ(deadRuns["Bookmarks Toolbar/News/Old paper"], 4); // the twins, two runs each
    EXPECT_EQ(deadRuns["Top gone"], 2);
    EXPECT_EQ(deadRuns["Bookmarks Toolbar/News/Today"], 0);

    // --confirm 4 keeps links dead in three runs out of "Dead links", and takes them at four.
    const fs::path cleaned = temp.path() / "cleaned.html";
    args.insert(args.end(), {"--confirm", "4", "--write-bookmarks", cleaned.string()});
    args[3] = "text";
    const Finished third = run(args);
    EXPECT_EQ(third.status, 1) << third.err;
    EXPECT_NE(third.out.find("0 of them in \"Dead links\""), std::string::npos) << third.out;
    args.back() = (temp.path() / "again.html").string();
    const Finished fourth = run(args);
    EXPECT_NE(fourth.out.find("3 of them in \"Dead links\""), std::string::npos) << fourth.out;
}

} // namespace
