// The kind of a bookmark store comes from what the file holds, whatever it is called; a file of
// no known kind, or none at all, is refused naming it.

#include "bookmarks/bookmarkfile.h"
#include "bookmarks/placesfile.h"
#include "bookmarks/refusal.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace quorvel::bookmarks;
using quorvel::test::TempDir;

TEST(BookmarkFile, KindComesFromContentNotName)
{
    const TempDir home;
    {
        quorvel::test::PlacesFile places(home.path() / "Bookmarks.html");
        places.link(places.menu(), "F", "http://f.example/");
    }
    const auto html =
        home.write("places.sqlite", "\xEF\xBB\xBF  <!DOCTYPE NETSCAPE-Bookmark-file-1>"
                                    "<DL><DT><A HREF=\"http://h.example/\">H</A></DL>");
    const auto json =
        home.write("bookmarks.html", "\n {\"roots\": {\"other\": {\"type\": "
                                     "\"folder\", \"children\": [{\"type\": \"url\", "
                                     "\"name\": \"C\", \"url\": \"http://c.example/\"}]}}}");
    const std::vector<std::tuple<std::filesystem::path, StoreKind, std::string>> cases{
        {home.path() / "Bookmarks.html", StoreKind::Firefox, "http://f.example/"},
        {html, StoreKind::Html, "http://h.example/"},
        {json, StoreKind::Chromium, "http://c.example/"},
    };
    for (const auto &[file, kind, url] : cases) {
        SCOPED_TRACE(file.string());
        const BookmarkTree tree = readBookmarkFile(file);
        EXPECT_EQ(tree.kind, kind);
        ASSERT_EQ(flatten(tree).size(), 1u);
        EXPECT_EQ(flatten(tree)[0].url, url);
    }
}

TEST(BookmarkFile, UnknownEmptyMissingAndFolderInputsAreRefusedNamingThem)
{
    const TempDir home;
    const std::vector<std::pair<std::filesystem::path, std::string>> cases{
        {home.write("notes.txt", "just some text\n"), "not a bookmarks file of a kind known"},
        {home.write("plain.html", "<html><body>hi</body></html>"), "not a bookmarks file"},
        {home.write("empty", ""), "is empty"},
        {home.write("cut.json", "{\"roots\": {\"bookmark_bar\": {\"chi"), "truncated"},
        {home.path() / "missing", "cannot be opened"},
        {home.path(), "is a folder"},
    };
    for (const auto &[file, problem] : cases) {
        SCOPED_TRACE(file.string());
        quorvel::test::expectRefused([&] { readBookmarkFile(file); }, file.string(), problem);
    }
}
