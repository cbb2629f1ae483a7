// Bookmarks HTML files written the way browsers export them, and the looser ones people and older
// browsers write: what a check would see of each.

#include "bookmarks/htmlbookmarks.h"
#include "bookmarks/refusal.h"

#include <gtest/gtest.h>

using namespace quorvel::bookmarks;

namespace
{

// Firefox's export: upper-case tags, <p> after every <DL>, <DT> never closed, attributes on
// folders, a separator, a description, and titles full of character references.
const char *firefoxExport = R"html(<!DOCTYPE NETSCAPE-Bookmark-file-1>
<!-- This is an automatically generated file.
     It will be read and overwritten.
     DO NOT EDIT! -->
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'self'">
<TITLE>Bookmarks</TITLE>
<H1>Bookmarks Menu</H1>

<DL><p>
    <DT><A HREF="https://example.org/a?x=1&amp;y=2" ADD_DATE="1600000000" LAST_MODIFIED="1600000001">Fish &amp; Chips &lt;best&gt;</A>
    <HR>    <DT><H3 ADD_DATE="1500000000" LAST_MODIFIED="1500000001" PERSONAL_TOOLBAR_FOLDER="true">Bookmarks Toolbar</H3>
    <DL><p>
        <DT><H3>News</H3>
        <DL><p>
            <DT><H3>Old paper</H3>
            <DL><p>
                <DT><A HREF="http://example.com/caf%C3%A9">Caf&eacute; &#8211; &#x263A; Zürich</A>
                <DD>A description
   over two lines &amp; more
            </DL><p>
            <DT><A HREF="https://example.org/a?x=1&amp;y=2">Same URL again</A>
        </DL><p>
        <DT><H3>Empty</H3>
        <DL><p>
        </DL><p>
        <DT><A HREF="https://untitled.example/"></A>
        <DT><A HREF="javascript:void(0)">A bookmarklet</A>
    </DL><p>
</DL>
)html";

std::string repeated(const std::string &text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

} // namespace

TEST(HtmlBookmarks, FirefoxExportGivesEveryLinkWithItsFolderPathTitleAndDate)
{
    const BookmarkTree tree = readBookmarksHtml(firefoxExport, "bookmarks.html");
    const std::vector<BookmarkEntry> expected{
        {"Fish & Chips <best>", "", "https://example.org/a?x=1&y=2", 1600000000},
        {"Café – ☺ Zürich", "Bookmarks Toolbar/News/Old paper", "http://example.com/caf%C3%A9",
         std::nullopt},
        {"Same URL again", "Bookmarks Toolbar/News", "https://example.org/a?x=1&y=2", std::nullopt},
        {"", "Bookmarks Toolbar", "https://untitled.example/", std::nullopt},
        {"A bookmarklet", "Bookmarks Toolbar", "javascript:void(0)", std::nullopt},
    };
    EXPECT_EQ(flatten(tree), expected);
}

TEST(HtmlBookmarks, SeparatorsEmptyFoldersAndDescriptionsKeepTheirPlaces)
{
    const BookmarkTree tree = readBookmarksHtml(firefoxExport, "bookmarks.html");
    ASSERT_EQ(tree.root.children.size(), 3u);
    EXPECT_EQ(tree.root.children[1].kind, BookmarkNode::Kind::Separator);
    const BookmarkNode &toolbar = tree.root.children[2];
    EXPECT_EQ(toolbar.added, 1500000000);
    ASSERT_EQ(toolbar.children.size(), 4u);
    const BookmarkNode &empty = toolbar.children[1];
    EXPECT_EQ(empty.kind, BookmarkNode::Kind::Folder);
    EXPECT_EQ(empty.title, "Empty");
    EXPECT_TRUE(empty.children.empty());
    EXPECT_EQ(toolbar.children[0].children[0].children[0].description,
              "A description over two lines & more");
}

TEST(HtmlBookmarks, LettersCaseLooseMarkupAndDeclaredCharsetsAreReadAsBrowsersRead)
{
    struct Case {
        const char *name;
        std::string file;
        std::vector<BookmarkEntry> expected;
    };
    const std::vector<Case> cases{
        {"lower case, single quotes, unquoted values, no <p>",
         "<!doctype netscape-bookmark-file-1>\n<dl><dt><h3 add_date=1>F</h3><dl>"
         "<dt><a href='http://a.example/' add_date=7>A</a></dl></dl>",
         {{"A", "F", "http://a.example/", 7}}},
        {"windows-1252 declared in META",
         "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
         "CONTENT=\"text/html; charset=windows-1252\">\n<DL><p><DT><A HREF=\"http://b.example/\">"
         "Caf\xE9 \x80</A></DL><p>",
         {{"Café €", "", "http://b.example/", std::nullopt}}},
        {"a folder title with no list after it is an empty folder, not a parent",
         "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><H3>Lonely</H3>"
         "<DT><A HREF=\"http://c.example/\">C</A></DL>",
         {{"C", "", "http://c.example/", std::nullopt}}},
        {"markup and comments inside and between titles",
         "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><!-- <A HREF=\"http://no.example/\">x</A> -->"
         "<DT><A HREF=\"http://d.example/\"><b>Bold</b>   title</A></DL>",
         {{"Bold title", "", "http://d.example/", std::nullopt}}},
        {"an unescaped query in a URL keeps its & and =",
         "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"http://e.example/?a=1&copy=2&amp;"
         "b=&lt;&reg\">E</A></DL>",
         {{"E", "", "http://e.example/?a=1&copy=2&b=<®", std::nullopt}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(flatten(readBookmarksHtml(c.file, "x.html")), c.expected);
    }
}

TEST(HtmlBookmarks, TruncatedOrForeignFilesAreRefusedNamingTheFile)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"<html><body><a href=\"http://x/\">x</a></body></html>", "NETSCAPE-Bookmark-file-1"},
        {"<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"http://x/", "ends inside a tag"},
        {"<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"http://x/\">tit",
         "ends inside a title"},
        {"<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><H3>F</H3><DL><DT><A HREF=\"http://x/\">x</A>",
         "truncated"},
        {"<!DOCTYPE NETSCAPE-Bookmark-file-1><DL></DL></DL>", "never opened"},
        {"<!DOCTYPE NETSCAPE-Bookmark-file-1><DL>" + repeated("<DT><H3>F</H3><DL>", 100000),
         "deeper than 1000"},
    };
    for (const auto &[file, problem] : cases) {
        SCOPED_TRACE(file);
        quorvel::test::expectRefused([&] { readBookmarksHtml(file, "/home/u/cut.html"); },
                                     "/home/u/cut.html", problem);
    }
}
