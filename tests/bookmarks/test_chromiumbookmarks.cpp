// Chromium-family Bookmarks files as the browsers write them: roots, nested children, dates in
// microseconds since 1601, members in any order.

#include "bookmarks/chromiumbookmarks.h"
#include "bookmarks/refusal.h"

#include <gtest/gtest.h>

using namespace quorvel::bookmarks;

namespace
{

// Roots out of the browser's order, "children" before "type", escapes of every kind, a folder
// nobody named, members the reader has no use for, and a type it does not know.
const char *profileFile = R"json({
   "checksum": "0123456789abcdef0123456789abcdef",
   "roots": {
      "other": {
         "children": [ {
            "date_added": "13300000000000000", "guid": "g1", "id": "5",
            "meta_info": { "power_bookmark_meta": "" },
            "name": "Caf\u00e9 \"quoted\" \ud83d\ude00 \/ tab\there", "type": "url",
            "url": "https://example.org/caf%C3%A9"
         } ],
         "date_added": "0", "id": "2", "name": "Other bookmarks", "type": "folder"
      },
      "bookmark_bar": {
         "children": [ {
            "children": [ {
               "children": [ ], "name": "Empty", "type": "folder"
            }, {
               "name": "", "type": "url", "url": "http://untitled.example/"
            }, {
               "name": "Dup", "type": "url", "url": "https://example.org/caf%C3%A9"
            } ],
            "name": "News", "type": "folder", "date_added": "13000000000000000"
         }, {
            "name": "Note", "type": "note_from_the_future"
         } ],
         "id": "1", "name": "Bookmarks bar", "type": "folder"
      },
      "synced": { "children": [ ], "id": "3", "type": "folder" }
   },
   "version": 1
})json";

} // namespace

TEST(ChromiumBookmarks, RootsComeInTheBrowsersOrderWithEveryLinkTitleAndDate)
{
    const BookmarkTree tree = readChromiumBookmarks(profileFile, "Bookmarks");
    // 13300000000000000 µs after 1601 is 1655526400 s after 1970.
    const std::vector<BookmarkEntry> expected{
        {"", "Bookmarks bar/News", "http://untitled.example/", std::nullopt},
        {"Dup", "Bookmarks bar/News", "https://example.org/caf%C3%A9", std::nullopt},
        {"Café \"quoted\" 😀 / tab\there", "Other bookmarks", "https://example.org/caf%C3%A9",
         1655526400},
    };
    EXPECT_EQ(flatten(tree), expected);
    ASSERT_EQ(tree.root.children.size(), 3u);
    EXPECT_EQ(tree.root.children[2].title, "Mobile bookmarks");
    const BookmarkNode &news = tree.root.children[0].children.at(0);
    EXPECT_EQ(news.added, 1355526400);
    EXPECT_EQ(news.children.at(0).title, "Empty");
    EXPECT_EQ(tree.root.children[0].children.size(), 1u) << "the unknown type is not skipped";
}

TEST(ChromiumBookmarks, DamagedFilesAreRefusedNamingTheFileAndTheFault)
{
    const std::string whole = profileFile;
    const std::vector<std::pair<std::string, std::string>> cases{
        {whole.substr(0, whole.size() / 2), "truncated"},
        {whole.substr(0, whole.size() - 1), "truncated"},
        {R"({"roots": {"bookmark_bar": {"type": "folder", "children": [ {"type": "url",}]}}})",
         "malformed JSON at byte"},
        {R"({"roots": {}} trailing)", "after the end"},
        {R"({"name": "not a profile"})", "no \"roots\""},
        {R"({"roots": {"other": {"name": "bad \q escape"}}})", "bad escape"},
        {std::string(2000, '[') + std::string(2000, ']'), "no JSON object"},
        {"{\"roots\":" + std::string(2000, '[') + std::string(2000, ']') + "}",
         "nested too deeply"},
    };
    for (const auto &[file, problem] : cases) {
        SCOPED_TRACE(file.substr(0, 80));
        quorvel::test::expectRefused(
            [&] { readChromiumBookmarks(file, "/home/u/Default/Bookmarks"); },
            "/home/u/Default/Bookmarks", problem);
    }
}
