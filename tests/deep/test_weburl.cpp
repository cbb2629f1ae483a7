// Addresses as the deeper checks compare them, and the made-up addresses they probe with.

#include "deep/probe.h"
#include "deep/weburl.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace quorvel::deep;

namespace
{

TEST(WebAddress, PartsOfAnAddress)
{
    const struct {
        const char *url;
        const char *authority, *path, *query, *directory, *site;
    } cases[] = {
        {"HTTP://WWW.Example.COM/A/b.html?x=1#top", "www.example.com", "/A/b.html", "x=1", "/A/",
         "example.com"},
        {"https://example.com", "example.com", "/", "", "/", "example.com"},
        {"https://example.com?q", "example.com", "/", "q", "/", "example.com"},
        {"http://example.com:80/a/", "example.com", "/a/", "", "/a/", "example.com"},
        {"https://example.com:0443/", "example.com", "/", "", "/", "example.com"},
        {"http://127.0.0.1:8080/x", "127.0.0.1:8080", "/x", "", "/", "127.0.0.1:8080"},
        {"http://user:pw@example.com./p", "example.com", "/p", "", "/", "example.com"},
        {"http://[::1]:8080/p/q", "[::1]:8080", "/p/q", "", "/p/", "[::1]:8080"},
        {"http://example.com/%7Euser/a%20b", "example.com", "/%7Euser/a%20b", "", "/%7Euser/",
         "example.com"},
    };
    for (const auto &c : cases) {
        const auto address = parseWebAddress(c.url);
        ASSERT_TRUE(address) << c.url;
        EXPECT_EQ(address->authority(), c.authority) << c.url;
        EXPECT_EQ(address->path, c.path) << c.url;
        EXPECT_EQ(address->query, c.query) << c.url;
        EXPECT_EQ(address->directory(), c.directory) << c.url;
        EXPECT_EQ(siteOf(*address), c.site) << c.url;
    }
    for (const char *bad : {"ftp://example.com/", "mailto:a@b", "http://", "http:///path",
                            "http://[::1/", "example.com/page", ""})
        EXPECT_FALSE(parseWebAddress(bad)) << bad;
}

TEST(WebAddress, OneSpellingForComparisons)
{
    EXPECT_EQ(canonicalAddress("HTTP://Example.com:80"), "http://example.com/");
    EXPECT_EQ(canonicalAddress("https://example.com/a?b#c"), "https://example.com/a?b");
    EXPECT_NE(canonicalAddress("https://example.com/A"), canonicalAddress("https://example.com/a"))
        << "paths are case-sensitive";
    EXPECT_EQ(canonicalAddress("not an address"), "not an address");
}

TEST(WebAddress, HomePages)
{
    for (const char *url : {"http://a.example/", "http://a.example", "http://a.example/?ref=x",
                            "http://a.example/index.html", "http://a.example/Default.aspx",
                            "http://a.example/home", "http://a.example/index.php?lang=en"})
        EXPECT_TRUE(isHomePage(*parseWebAddress(url))) << url;
    for (const char *url :
         {"http://a.example/en/", "http://a.example/en/index.html", "http://a.example/homes",
          "http://a.example/about", "http://a.example//"})
        EXPECT_FALSE(isHomePage(*parseWebAddress(url))) << url;
}

TEST(Probe, MadeUpAddressesSitInTheLinksDirectory)
{
    const std::string probe = probeAddress("HTTPS://Shop.Example:8443/blog/2019/post.html?id=4");
    const std::string prefix = "https://shop.example:8443/blog/2019/";
    ASSERT_EQ(probe.size(), prefix.size() + probeLetters) << probe;
    EXPECT_EQ(probe.substr(0, prefix.size()), prefix);
    for (const char c : probe.substr(prefix.size()))
        EXPECT_TRUE(c >= 'a' && c <= 'z') << probe;

    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i)
        seen.insert(probeAddress("http://a.example/x"));
    EXPECT_EQ(seen.size(), 50u) << "probes must not repeat";
    EXPECT_EQ(probeAddress("ftp://a.example/x"), "");
}

TEST(Probe, OneProbePerHostAndDirectory)
{
    const auto key = [](const char *url) { return probeKey(url); };
    EXPECT_EQ(key("http://a.example/blog/one"), key("https://a.example/blog/two?x"))
        << "http and https of one host share their probe";
    EXPECT_EQ(key("http://A.example:80/blog/one"), key("http://a.example/blog/"));
    EXPECT_NE(key("http://a.example/blog/one"), key("http://a.example/blog/2019/one"));
    EXPECT_NE(key("http://a.example/blog/one"), key("http://www.a.example/blog/one"));
    EXPECT_NE(key("http://a.example:8080/x"), key("http://a.example:8081/x"));
    EXPECT_EQ(key("mailto:x@a.example"), "");
}

} // namespace
