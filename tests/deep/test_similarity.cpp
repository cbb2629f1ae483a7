// Comparing a page with the site's answer for a made-up address: alike when the site served its
// "not found" page for both, whatever address that page repeats; unalike for real pages.

#include "deep/similarity.h"

#include "deep/pagetext.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvel::deep;

namespace
{

TextComparison compare(const std::string &htmlA, const std::string &urlA, const std::string &htmlB,
                       const std::string &urlB)
{
    const auto comparison = compareTexts(comparisonWords(htmlPageText(htmlA), urlA),
                                         comparisonWords(htmlPageText(htmlB), urlB));
    EXPECT_TRUE(comparison) << "nothing to compare";
    return comparison.value_or(TextComparison{});
}

double similarity(const std::string &htmlA, const std::string &urlA, const std::string &htmlB,
                  const std::string &urlB)
{
    return compare(htmlA, urlA, htmlB, urlB).similarity;
}

const std::string probeUrl = "http://shop.example/blog/qzvbnmlkjhgfdsapoiuytrew";

std::string notFoundPage(const std::string &echo)
{
    return "<title>" + echo + " - not found</title><h1>Sorry</h1><p>We looked everywhere for " +
           echo +
           " but it is not here. It may have moved, or the link you followed may be "
           "old.</p>";
}

TEST(Similarity, NotFoundPagesReadAlikeWhateverAddressTheyRepeat)
{
    const struct {
        const char *what;
        std::string link;
        std::string echo;      // as the dead link's page repeats it
        std::string probeEcho; // as the probe's page repeats it
    } cases[] = {
        {"the whole address", "http://shop.example/blog/old-post",
         "http://shop.example/blog/old-post", probeUrl},
        {"the path", "http://shop.example/blog/old-post", "/blog/old-post",
         "/blog/qzvbnmlkjhgfdsapoiuytrew"},
        {"the last segment as words", "http://shop.example/blog/old-post", "old post",
         "qzvbnmlkjhgfdsapoiuytrew"},
        {"the decoded path", "http://shop.example/blog/%C3%BCber%20uns", "/blog/über uns",
         "/blog/qzvbnmlkjhgfdsapoiuytrew"},
        {"the path escaped as written", "http://shop.example/blog/%C3%BCber%20uns",
         "/blog/%C3%BCber%20uns", "/blog/qzvbnmlkjhgfdsapoiuytrew"},
        {"a path escaped in Latin-1", "http://shop.example/blog/w%E4sche", "/blog/wäsche",
         "/blog/qzvbnmlkjhgfdsapoiuytrew"},
        {"nothing", "http://shop.example/blog/old-post", "", ""},
    };
    for (const auto &c : cases) {
        EXPECT_DOUBLE_EQ(
            similarity(notFoundPage(c.echo), c.link, notFoundPage(c.probeEcho), probeUrl), 1.0)
            << c.what;
    }
}

TEST(Similarity, NumbersThatChangeOnEveryRequestDoNotCount)
{
    const std::string a = "<p>Page unavailable. Served at 11:02:17 in 0.023 s, request a8f3e1.</p>";
    const std::string b = "<p>Page unavailable. Served at 11:02:18 in 0.031 s, request 9c0d2b.</p>";
    EXPECT_DOUBLE_EQ(similarity(a, "http://x.example/a/b", b, "http://x.example/a/c"), 1.0);
}

TEST(Similarity, RealPagesInASharedTemplateReadUnlikeTheNotFoundPage)
{
    const std::string furniture =
        "<header>Garden Club</header><nav>Home News Events Members Contact Join</nav>"
        "<aside>Recent: pruning roses, winter digging, seed swap, club outing</aside>"
        "<footer>Garden Club, founded 1921, meets on Tuesdays in the village hall</footer>";
    const std::string article =
        furniture + "<h1>Seed swap</h1><p>Bring your spare seed packets to the hall on Saturday; "
                    "tea and cake from ten.</p>";
    const std::string missing = furniture + "<h1>Not found</h1><p>No such page.</p>";
    EXPECT_LT(similarity(article, "http://club.example/news/seed-swap", missing, probeUrl), 0.2);

    // Without the template's landmarks the shared text weighs in, but a paragraph of the page's
    // own still keeps it well below the threshold.
    std::string divs;
    for (int i = 0; i < 4; ++i)
        divs += "<div>Garden Club, founded 1921, meets on Tuesdays in the village hall. Home "
                "News Events Members Contact Join.</div>";
    EXPECT_LT(similarity(divs + "<p>Bring your spare seed packets to the hall on Saturday; tea "
                                "and cake from ten, and plants for sale.</p>",
                         "http://club.example/news/seed-swap",
                         divs + "<h1>Not found</h1><p>No such page.</p>", probeUrl),
              sameTextSimilarity);
}

TEST(Similarity, ACaptionOfItsOwnKeepsAPageApartFromTheNotFoundPageInAHugeTemplate)
{
    std::string furniture;
    for (int i = 0; i < 40; ++i)
        furniture += "<div>Section " + std::string(1, static_cast<char>('a' + i % 26)) +
                     std::string(1, static_cast<char>('a' + i / 26)) + " of the daily paper</div>";
    const std::string video = furniture + "<p>Regatta highlights</p>";
    const std::string missing =
        furniture + "<h1>Sorry, this article is no longer available</h1><p>It may have moved.</p>";
    const TextComparison comparison =
        compare(video, "http://paper.example/v/regatta", missing, probeUrl);
    EXPECT_GT(comparison.similarity, 0.85) << "the share alone cannot tell these apart";
    EXPECT_FALSE(comparison.sameText());

    // While the same not-found page with a word or two changed is still that page.
    const TextComparison noisy =
        compare(missing + "<p>Served by node west</p>", "http://paper.example/v/old",
                missing + "<p>Served by node east</p>", probeUrl);
    EXPECT_TRUE(noisy.sameText()) << noisy.similarity << " " << noisy.onlyInFirst;
}

TEST(Similarity, EmptyAndShortTexts)
{
    using Words = std::vector<std::string>;
    EXPECT_FALSE(compareTexts({}, {})) << "two blank pages say nothing";
    EXPECT_DOUBLE_EQ(compareTexts(Words{"not", "found"}, {})->similarity, 0.0);
    // Texts shorter than a triple compare by shorter runs instead of not at all.
    EXPECT_TRUE(compareTexts(Words{"not", "found"}, Words{"not", "found"})->sameText());
    EXPECT_DOUBLE_EQ(compareTexts(Words{"not", "found"}, Words{"blue", "mug"})->similarity, 0.0);
    // The title counts with the text: two pages alike but for their titles are not one page.
    EXPECT_LT(similarity("<title>Blue mug</title><p>Add to basket</p>", "http://x.example/a/b",
                         "<title>Not found</title><p>Add to basket</p>", probeUrl),
              sameTextSimilarity);
}

} // namespace
