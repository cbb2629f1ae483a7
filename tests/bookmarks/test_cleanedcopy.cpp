// The cleaned copy read back by our own reader: every bookmark exactly once, the live ones where
// they were, the dead ones under "Dead links" in the folders they came from.

#include "bookmarks/bookmarkerror.h"
#include "bookmarks/cleanedcopy.h"
#include "bookmarks/htmlbookmarks.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace quorvel::bookmarks;
using quorvel::test::TempDir;

namespace
{

// Two folders of one name side by side, titles and URLs that need escaping, a separator, an
// empty folder, a duplicate URL, an untitled link, dates on some.
BookmarkTree sampleTree()
{
    BookmarkTree tree;
    tree.kind = StoreKind::Firefox;
    BookmarkNode toolbar = BookmarkNode::folder("Bookmarks Toolbar");
    toolbar.added = 1500000000;
    BookmarkNode news = BookmarkNode::folder("News");
    BookmarkNode paper = BookmarkNode::folder("Old paper");
    paper.children.push_back(
        BookmarkNode::link("Fish & \"Chips\" <b>", "https://a.example/?x=1&y=\"2\"", 1600000000));
    paper.children.push_back(BookmarkNode::separator());
    paper.children.push_back(BookmarkNode::link("", "https://b.example/"));
    news.children.push_back(std::move(paper));
    news.children.push_back(BookmarkNode::link("Same again", "https://b.example/"));
    news.children.push_back(BookmarkNode::folder("Empty"));
    toolbar.children.push_back(std::move(news));
    BookmarkNode news2 = BookmarkNode::folder("News");
    news2.children.push_back(BookmarkNode::link("Zürich – café", "http://c.example/"));
    news2.children.back().description = "kept <as> is";
    toolbar.children.push_back(std::move(news2));
    tree.root.children.push_back(std::move(toolbar));
    tree.root.children.push_back(BookmarkNode::folder("Other Bookmarks"));
    tree.root.children.back().children.push_back(BookmarkNode::link("Loose", "http://d.example/"));
    return tree;
}

} // namespace

TEST(CleanedCopy, EveryBookmarkComesBackOnceAndTheDeadOnesUnderDeadLinksInTheirFolders)
{
    const BookmarkTree tree = sampleTree();
    const std::vector<BookmarkEntry> entries = flatten(tree);
    ASSERT_EQ(entries.size(), 5u);
    const std::vector<bool> dead{true, false, true, true, false};

    const BookmarkTree back = readBookmarksHtml(cleanedBookmarksHtml(tree, dead), "clean.html");
    std::vector<BookmarkEntry> expected;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!dead[i])
            expected.push_back(entries[i]);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (dead[i]) {
            expected.push_back(entries[i]);
            expected.back().folderPath = "Dead links/" + entries[i].folderPath;
        }
    }
    EXPECT_EQ(flatten(back), expected);

    // The two folders called News stay two folders under "Dead links", as they were.
    const BookmarkNode &deadLinks = back.root.children.back();
    ASSERT_EQ(deadLinks.title, "Dead links");
    ASSERT_EQ(deadLinks.children.size(), 1u);
    const BookmarkNode &deadToolbar = deadLinks.children[0];
    EXPECT_EQ(deadToolbar.added, 1500000000);
    ASSERT_EQ(deadToolbar.children.size(), 2u);
    EXPECT_EQ(deadToolbar.children[0].children.at(0).title, "Old paper");
    EXPECT_EQ(deadToolbar.children[1].children.at(0).description, "kept <as> is");

    // What is left keeps its separator and its emptied and empty folders.
    const BookmarkNode &liveNews = back.root.children[0].children.at(0);
    ASSERT_EQ(liveNews.children.size(), 2u);
    ASSERT_EQ(liveNews.children[0].children.size(), 2u);
    EXPECT_EQ(liveNews.children[0].children[0].kind, BookmarkNode::Kind::Separator);
    EXPECT_EQ(liveNews.children[1].title, "Empty");
}

TEST(CleanedCopy, NothingDeadGivesTheSameTreeAndNoDeadLinksFolder)
{
    const BookmarkTree tree = sampleTree();
    const std::string text = cleanedBookmarksHtml(tree, {});
    EXPECT_EQ(text.find("Dead links"), std::string::npos);
    EXPECT_NE(text.find("charset=UTF-8"), std::string::npos);
    EXPECT_NE(text.find("<TITLE>Bookmarks</TITLE>"), std::string::npos);
    EXPECT_EQ(flatten(readBookmarksHtml(text, "clean.html")), flatten(tree));
}

TEST(CleanedCopy, AnEarlierCleanedFileIsReplacedWholeAndNothingElseIsOverwritten)
{
    const TempDir home;
    const auto earlier = home.write("clean.html", "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL></DL>");
    writeCleanedBookmarks(earlier, sampleTree(), {true});
    EXPECT_EQ(flatten(readBookmarksHtml(quorvel::test::readFile(earlier), earlier)).size(), 5u);
    EXPECT_FALSE(std::filesystem::exists(earlier.string() + ".partial"));

    const std::vector<std::pair<std::string, std::string>> stores{
        {"places.sqlite", std::string("SQLite format 3\0", 16) + "pages"},
        {"Bookmarks", "{\"roots\": {}}"},
        {"notes.txt", "keep me"},
    };
    for (const auto &[name, content] : stores) {
        SCOPED_TRACE(name);
        const auto file = home.write(name, content);
        EXPECT_THROW(writeCleanedBookmarks(file, sampleTree(), {}), BookmarkError);
        EXPECT_EQ(quorvel::test::readFile(file), content);
    }
    EXPECT_THROW(writeCleanedBookmarks(home.path() / "no" / "such.html", sampleTree(), {}),
                 BookmarkError);
    EXPECT_THROW(writeCleanedBookmarks(home.path(), sampleTree(), {}), BookmarkError);
}
