// The verdicts on links that answered 2xx, from their answers and their probes' answers, without
// any HTTP: each case is a situation the real web produces.

#include "deep/verdict.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvel::deep;

namespace
{

const std::string notFoundHtml =
    "<title>Not found</title><h1>Sorry</h1><p>That page is not here any more; try the search "
    "box above or start again from the home page.</p>";
const std::string articleHtml =
    "<title>Pruning roses</title><h1>Pruning roses</h1><p>Cut back to an outward facing bud "
    "in late winter, and burn what you cut to keep black spot away.</p>";
const std::string probeUrl = "http://site.example/blog/qzvbnmlkjhgfdsapoiuytrew";

DeepAnswer answer(const std::string &requested, const std::string &final, int status,
                  const std::string &html)
{
    return readAnswer(requested, final, status, "text/html; charset=utf-8", html);
}

struct VerdictCase {
    const char *what;
    DeepAnswer link;
    std::optional<DeepAnswer> probe;
    SuspectReason reason;
    const char *evidence; // null: not checked
};

TEST(Verdict, EachSituationGetsItsReason)
{
    const std::string link = "http://site.example/blog/old-post";
    const VerdictCase cases[] = {
        {"a live article beside a soft 404 site", answer(link, link, 200, articleHtml),
         answer(probeUrl, probeUrl, 200, notFoundHtml), SuspectReason::None, nullptr},
        {"the site's not-found page with 200", answer(link, link, 200, notFoundHtml),
         answer(probeUrl, probeUrl, 200, notFoundHtml), SuspectReason::SoftNotFound,
         "same page as the made-up address /blog/qzvbnm... (similarity 1.00)"},
        {"a probe answered 404 shows real error pages", answer(link, link, 200, notFoundHtml),
         answer(probeUrl, probeUrl, 404, notFoundHtml), SuspectReason::None, nullptr},
        {"and so does 410", answer(link, link, 200, notFoundHtml),
         answer(probeUrl, probeUrl, 410, notFoundHtml), SuspectReason::None, nullptr},
        {"a probe that failed compares nothing", answer(link, link, 200, notFoundHtml),
         answer(probeUrl, probeUrl, 0, ""), SuspectReason::None, nullptr},
        {"a probe refused with 403 compares nothing", answer(link, link, 200, notFoundHtml),
         answer(probeUrl, probeUrl, 403, notFoundHtml), SuspectReason::None, nullptr},
        {"a link that did not answer 2xx is not judged", answer(link, link, 404, notFoundHtml),
         answer(probeUrl, probeUrl, 200, notFoundHtml), SuspectReason::None, nullptr},
        {"the home page is never a soft 404",
         answer("http://site.example/", "http://site.example/", 200, notFoundHtml),
         answer("http://site.example/qzvbnmlkjhgfdsapoiuytrew",
                "http://site.example/qzvbnmlkjhgfdsapoiuytrew", 200, notFoundHtml),
         SuspectReason::None, nullptr},
        {"nor is its index document",
         answer("http://site.example/index.php", "http://site.example/index.php", 200,
                notFoundHtml),
         answer("http://site.example/qzvbnmlkjhgfdsapoiuytrew",
                "http://site.example/qzvbnmlkjhgfdsapoiuytrew", 200, notFoundHtml),
         SuspectReason::None, nullptr},
        {"a deep link redirected to its site's home page",
         answer(link, "https://www.site.example/", 200, articleHtml), std::nullopt,
         SuspectReason::MovedToHomePage, "redirected to the home page https://www.site.example/"},
        {"an index document redirected to the home page is the home page",
         answer("http://site.example/index.html", "http://site.example/", 200, articleHtml),
         std::nullopt, SuspectReason::None, nullptr},
        {"a short link to another site's home page is that site's home page",
         answer("http://sho.rt/x7", "http://other.example/", 200, articleHtml), std::nullopt,
         SuspectReason::None, nullptr},
        {"unless made-up addresses end there too",
         answer(link, "http://newbrand.example/", 200, articleHtml),
         answer(probeUrl, "http://newbrand.example/", 200, articleHtml),
         SuspectReason::MovedToHomePage,
         "redirected to the home page http://newbrand.example/, as is the made-up address "
         "/blog/qzvbnm..."},
        {"redirected where made-up addresses are redirected",
         answer(link, "http://site.example/404.html", 200, articleHtml),
         answer(probeUrl, "http://site.example/404.html", 200, articleHtml),
         SuspectReason::SoftNotFound,
         "redirected to http://site.example/404.html, as is the made-up address /blog/qzvbnm..."},
        {"a link to the page where made-up addresses land is that page",
         answer("http://site.example/blog/search", "http://site.example/blog/search", 200,
                articleHtml),
         answer(probeUrl, "http://site.example/blog/search", 200, notFoundHtml),
         SuspectReason::None, nullptr},
        {"a sign-in page is the same for every protected page",
         answer(link, "http://site.example/login?next=/blog/old-post", 200, notFoundHtml),
         answer(probeUrl, "http://site.example/login?next=/blog/qzv", 200, notFoundHtml),
         SuspectReason::None, nullptr},
        {"and so when both are sent to the very same one",
         answer(link, "http://site.example/account/sign-in", 200, notFoundHtml),
         answer(probeUrl, "http://site.example/account/sign-in", 200, notFoundHtml),
         SuspectReason::None, nullptr},
        {"a consent page elsewhere stands before every page of some sites",
         answer(link, "https://consent.portal.example/v2/collectConsent?sessionId=81", 200,
                notFoundHtml),
         answer(probeUrl, "https://consent.portal.example/v2/collectConsent?sessionId=82", 200,
                notFoundHtml),
         SuspectReason::None, nullptr},
        {"pages drawn by scripts have no text to compare",
         answer(link, link, 200, "<title>App</title><div id=root></div><script>go()</script>"),
         answer(probeUrl, probeUrl, 200,
                "<title>App</title><div id=root></div><script>go()</script>"),
         SuspectReason::None, nullptr},
        {"a parked page, found by its title",
         answer(link, link, 200, "<title>This domain is for sale</title>"), std::nullopt,
         SuspectReason::Parked, "title matches 'this domain is for sale'"},
        {"a link sent to a parked page on another host",
         answer(link, "http://parking.example/?d=site", 200, "<p>Buy this domain</p>"),
         std::nullopt, SuspectReason::Parked,
         "redirected to parking.example, whose text matches 'buy this domain'"},
        {"a parked home page is parked too",
         answer("http://site.example/", "http://site.example/", 200,
                "<p>Dit domein is te koop</p>"),
         std::nullopt, SuspectReason::Parked, "text matches 'dit domein is te koop'"},
        {"an image is no page to judge", readAnswer(link, link, 200, "image/png", "\x89PNG\r\n"),
         readAnswer(probeUrl, probeUrl, 200, "image/png", "\x89PNG\r\n"), SuspectReason::None,
         nullptr},
    };
    for (const auto &c : cases) {
        const DeepVerdict verdict =
            judgeLink(c.link, c.probe ? &*c.probe : nullptr, ParkingPhrases::builtIn());
        EXPECT_EQ(reasonText(verdict.reason), reasonText(c.reason)) << c.what;
        if (c.evidence) {
            EXPECT_EQ(verdict.evidence, c.evidence) << c.what;
        }
    }
}

TEST(Verdict, AProbeIsWantedOnlyWhereItCanChangeTheVerdict)
{
    const auto wants = [](const DeepAnswer &link) {
        return wantsProbe(link, judgeLink(link, nullptr, ParkingPhrases::builtIn()));
    };
    const std::string deep = "http://site.example/a/b";
    EXPECT_TRUE(wants(answer(deep, deep, 200, articleHtml)));
    EXPECT_TRUE(wants(answer(deep, "http://elsewhere.example/c", 204, "")));
    EXPECT_FALSE(wants(answer("http://site.example/", "http://site.example/", 200, articleHtml)))
        << "a home page is never a soft 404";
    EXPECT_FALSE(wants(answer(deep, deep, 404, articleHtml)));
    EXPECT_FALSE(wants(answer(deep, deep, 301, articleHtml)));
    EXPECT_FALSE(wants(answer(deep, "http://site.example/", 200, articleHtml)))
        << "already moved to the home page";
    EXPECT_FALSE(wants(answer(deep, deep, 200, "<title>Buy this domain</title>")))
        << "already parked";
}

TEST(Verdict, OnlyTheFirstPartOfALargeBodyIsRead)
{
    std::string body = "<p>start</p>" + std::string(maxBodyBytes, ' ') + "<p>beyond</p>";
    const DeepAnswer read = readAnswer("http://a.example/x", "", 200, "text/html", body);
    EXPECT_EQ(read.page.text, "start");
    EXPECT_EQ(read.finalUrl, "http://a.example/x") << "no redirect: the final URL is the link";
}

} // namespace
