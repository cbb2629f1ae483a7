// Reading a page's title and visible text out of markup, however broken the markup is.

#include "deep/pagetext.h"

#include <gtest/gtest.h>

#include <string>

using quorvel::deep::htmlPageText;
using quorvel::deep::PageText;

namespace
{

struct TextCase {
    const char *what;
    std::string html;
    std::string title;
    std::string text;
};

TEST(PageText, VisibleTextLeavesOutMarkupScriptsStylesAndComments)
{
    const TextCase cases[] = {
        {"scripts, styles, comments and doctype are not text",
         "<!DOCTYPE html><html><head><title>T</title><style>p{color:red}</style>"
         "<script>var a = '<p>not me</p>';</script></head><body><!-- hidden <b>x</b> -->"
         "<p>Shown</p></body></html>",
         "T", "Shown"},
        {"noscript and template content is not what a browser shows",
         "<p>a</p><noscript>enable scripts</noscript><template><p>later</p></template><p>b</p>", "",
         "a b"},
        {"block elements split words, inline ones do not",
         "<p>one</p><p>two</p>W<b>or</b>d<br>next<span>s</span>", "", "one two Word nexts"},
        {"an end tag named like the skipped element must really be its end",
         "<script>if (a </scripts && b) {}</script >after", "", "after"},
        {"whitespace and no-break spaces collapse", "  lots \n\t of&nbsp;&nbsp;space\xC2\xA0here  ",
         "", "lots of space here"},
        {"a '>' inside a quoted attribute does not end the tag",
         "<a title=\"a > b\" href='x>y'>link</a> text", "", "link text"},
        {"a '<' that starts no tag is text", "1 < 2 and 3 <4 and x<", "", "1 < 2 and 3 <4 and x<"},
        {"the first title counts, an svg's title does not",
         "<title>Page</title><svg><title>icon</title></svg><title>second</title><p>x</p>", "Page",
         "x"},
        {"textarea content is visible", "<textarea>typed &amp; kept</textarea>", "",
         "typed & kept"},
        {"CDATA and processing instructions are skipped", "<?xml version=\"1.0\"?>a<![CDATA[x]]>b",
         "", "ab"},
    };
    for (const auto &c : cases) {
        const PageText page = htmlPageText(c.html);
        EXPECT_EQ(page.title, c.title) << c.what;
        EXPECT_EQ(page.text, c.text) << c.what;
    }
}

TEST(PageText, CharacterReferencesAreDecoded)
{
    const struct {
        const char *html;
        const char *text;
    } cases[] = {
        {"caf&eacute; &amp; cr&egrave;me", "café & crème"},
        {"&#233;&#xE9;&#XE9;", "ééé"},
        {"&#150; &#x80;", "– €"}, // numeric C1 references mean windows-1252 characters
        {"&euro;5 &hellip; &ldquo;q&rdquo;", "€5 … “q”"},
        {"&eacute without semicolon, &amp too", "é without semicolon, & too"},
        {"&unknown; &hellip &#; &#xZZ; & alone", "&unknown; &hellip &#; &#xZZ; & alone"},
        {"&#0; &#xD800; &#99999999999;", "\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"},
        {"<title>Caf&eacute;s</title>", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(htmlPageText(c.html).text, c.text) << c.html;
    EXPECT_EQ(htmlPageText("<title>Caf&eacute;s &amp; more</title>").title, "Cafés & more");
}

TEST(PageText, MainTextLeavesOutTheSitesFurnitureButTextKeepsIt)
{
    const PageText page = htmlPageText(
        "<header>Site name</header><nav><a>Home</a><nav>inner</nav><a>Blog</a></nav>"
        "<main><h1>Article</h1><p>Body</p><select><option>Country</option></select></main>"
        "<aside>Recent posts</aside><footer>Copyright</footer><p>after</p>");
    EXPECT_EQ(page.text, "Site name Home inner Blog Article Body Country Recent posts Copyright "
                         "after");
    EXPECT_EQ(page.mainText, "Article Body after");

    // A stray end tag does not open the furniture's count below zero.
    EXPECT_EQ(htmlPageText("</nav></nav><p>kept</p><nav>gone</nav><p>too</p>").mainText,
              "kept too");
}

TEST(PageText, BrokenMarkupEndsWhereABrowserWouldEndIt)
{
    const TextCase cases[] = {
        {"an unterminated comment hides the rest", "before<!-- never closed <p>text</p>", "",
         "before"},
        {"an unterminated script hides the rest", "before<script>var x = 1; <p>text</p>", "",
         "before"},
        {"an unterminated tag is dropped", "before<p class=\"a", "", "before"},
        {"an unterminated title is the rest", "<title>All of this <p>", "All of this <p>", ""},
        {"an end tag at the very end", "text</", "", "text</"},
        {"a lone ampersand at the end", "fish &", "", "fish &"},
    };
    for (const auto &c : cases) {
        const PageText page = htmlPageText(c.html);
        EXPECT_EQ(page.title, c.title) << c.what;
        EXPECT_EQ(page.text, c.text) << c.what;
    }
}

TEST(PageText, HostileInputEndsWithBoundedOutput)
{
    const std::size_t size = 256 * 1024;
    std::string nested;
    while (nested.size() < size)
        nested += "<nav><div><b>";
    std::string binary(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        binary[i] = static_cast<char>((i * 131 + 7) % 256);
    std::string references;
    while (references.size() < size)
        references += "&#x10FFFF;&hellip;";
    const std::string inputs[] = {nested,
                                  std::string(size, '<'),
                                  std::string(size, '&'),
                                  "<a " + std::string(size, '"'),
                                  "<script>" + std::string(size, '<') + "/",
                                  binary,
                                  references};
    for (const auto &input : inputs) {
        const PageText page = htmlPageText(input);
        // Each reference is at most as long decoded as written, and text only shrinks.
        EXPECT_LE(page.text.size(), input.size());
        EXPECT_LE(page.mainText.size(), page.text.size());
        EXPECT_LE(page.title.size(), input.size());
    }
    EXPECT_EQ(htmlPageText(nested + "</nav><p>x</p>").mainText, "");
}

} // namespace
