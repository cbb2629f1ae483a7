// Firefox's places.sqlite made as Firefox makes it, read as quorvel-check would while Firefox
// runs: its changes still in the -wal file, its connection holding the database locked.

#include "bookmarks/bookmarkerror.h"
#include "bookmarks/bookmarkfile.h"
#include "bookmarks/firefoxplaces.h"
#include "bookmarks/placesfile.h"
#include "bookmarks/refusal.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <fstream>

using namespace quorvel::bookmarks;
using quorvel::test::PlacesFile;
using quorvel::test::TempDir;

namespace
{

std::string bytesOf(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void fillProfile(PlacesFile &places)
{
    const auto news = places.folder(places.toolbar(), "News", 1500000000000000);
    places.link(news, "Old & \"quoted\" <paper>", "https://paper.example/", 1600000000123456);
    places.separator(news);
    const auto old = places.folder(news, "Ærchive");
    places.link(old, "", "https://paper.example/");
    places.link(news, "Recent tags", "place:type=6&sort=14&maxResults=10");
    places.folder(news, "Empty");
    places.link(places.menu(), "Menu link", "http://menu.example/");
    places.link(places.tags(), "a tag's entry", "http://tagged.example/");
    places.link(places.unfiled(), "Loose", "http://loose.example/");
    places.link(places.mobile(), "Phone", "http://phone.example/");
}

const std::vector<BookmarkEntry> profileEntries{
    {"Menu link", "Bookmarks Menu", "http://menu.example/", std::nullopt},
    {"Old & \"quoted\" <paper>", "Bookmarks Toolbar/News", "https://paper.example/", 1600000000},
    {"", "Bookmarks Toolbar/News/Ærchive", "https://paper.example/", std::nullopt},
    {"Recent tags", "Bookmarks Toolbar/News", "place:type=6&sort=14&maxResults=10", std::nullopt},
    {"Loose", "Other Bookmarks", "http://loose.example/", std::nullopt},
    {"Phone", "Mobile Bookmarks", "http://phone.example/", std::nullopt},
};

} // namespace

TEST(FirefoxPlaces, RootsFoldersAndOrderAreFirefoxsQueriesStayAndTagsAreLeftOut)
{
    const TempDir home;
    const auto file = home.path() / "places.sqlite";
    {
        PlacesFile places(file, PlacesFile::Journal::Delete);
        fillProfile(places);
    }
    const BookmarkTree tree = readBookmarkFile(file);
    EXPECT_EQ(tree.kind, StoreKind::Firefox);
    EXPECT_EQ(flatten(tree), profileEntries);
    const BookmarkNode &news = tree.root.children.at(1).children.at(0);
    EXPECT_EQ(news.added, 1500000000);
    ASSERT_EQ(news.children.size(), 5u);
    EXPECT_EQ(news.children[1].kind, BookmarkNode::Kind::Separator);
    EXPECT_EQ(news.children[4].title, "Empty");
}

// The fault caught: reading the main file alone, which lacks what Firefox has not yet
// checkpointed; and writing to the original (its bytes must not change).
TEST(FirefoxPlaces, ChangesStillInTheWalAreReadAndTheOriginalIsUntouched)
{
    const TempDir home;
    const auto file = home.path() / "places.sqlite";
    PlacesFile places(file); // stays open, as Firefox does, so nothing is checkpointed
    places.exec("PRAGMA wal_autocheckpoint=0");
    fillProfile(places);
    const std::string before = bytesOf(file);
    const std::string walBefore = bytesOf(file.string() + "-wal");
    ASSERT_FALSE(walBefore.empty());

    EXPECT_EQ(flatten(readFirefoxPlaces(file)), profileEntries);
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_EQ(bytesOf(file.string() + "-wal"), walBefore);
}

// Firefox keeps its connection in exclusive locking mode; a reader that opens the original waits
// for a lock that never comes. Both journal modes: the lock lives in different places.
TEST(FirefoxPlaces, AnExclusivelyLockedDatabaseIsReadWithoutWaitingForTheLock)
{
    for (const auto journal : {PlacesFile::Journal::Wal, PlacesFile::Journal::Delete}) {
        SCOPED_TRACE(journal == PlacesFile::Journal::Wal ? "WAL" : "rollback journal");
        const TempDir home;
        const auto file = home.path() / "places.sqlite";
        PlacesFile places(file, journal);
        fillProfile(places);
        places.exec("PRAGMA locking_mode=EXCLUSIVE");
        places.exec("BEGIN EXCLUSIVE");
        places.link(places.menu(), "Not yet committed", "http://pending.example/");

        const auto started = std::chrono::steady_clock::now();
        try {
            EXPECT_EQ(flatten(readFirefoxPlaces(file)), profileEntries);
        } catch (const BookmarkError &error) {
            // A clear refusal is acceptable too; a hang or a crash is not.
            EXPECT_NE(std::string(error.what()).find("locked"), std::string::npos) << error.what();
        }
        // The reader's own busy wait is bounded at 2 s; 10 s leaves room for a loaded machine.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        places.exec("COMMIT");
    }
}

TEST(FirefoxPlaces, DatabasesThatAreNotFirefoxsOrAreDamagedAreRefusedClearly)
{
    const TempDir home;
    const auto other = home.path() / "other.sqlite";
    {
        sqlite3 *db = nullptr;
        sqlite3_open(other.c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE notes (text TEXT)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const auto damaged = home.write("damaged.sqlite", std::string("SQLite format 3\0", 16) +
                                                          std::string(5000, '\x7f'));
    const std::vector<std::pair<std::filesystem::path, std::string>> cases{
        {other, "without Firefox's bookmarks"},
        {damaged, "damaged"},
        {home.path() / "missing.sqlite", "cannot be read"},
    };
    for (const auto &[file, problem] : cases) {
        SCOPED_TRACE(file.string());
        quorvel::test::expectRefused([&] { readFirefoxPlaces(file); }, file.string(), problem);
    }
}
