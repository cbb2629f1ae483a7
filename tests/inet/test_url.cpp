#include "inet/url.h"

#include <gtest/gtest.h>

#include "inet/inet.h"

namespace quorvel::platform
{
namespace
{

using namespace inet;

struct CrackCase {
    const char *url;
    UrlScheme scheme;
    const char *host;
    std::uint16_t port;
    const char *user;
    const char *password;
    const char *path;
    const char *extra;
};

TEST(UrlCrack, PartsComeOutDecodedWithDefaultPortsAndLeadingMarkKept)
{
    const CrackCase cases[] = {
        {"http://localhost/", UrlScheme::Http, "localhost", 80, "", "", "/", ""},
        {"http://h:8080/a%20b?x=1", UrlScheme::Http, "h", 8080, "", "", "/a b", "?x=1"},
        {"https://example.test", UrlScheme::Https, "example.test", 443, "", "", "", ""},
        {"HTTP://Host.Test/Path#frag", UrlScheme::Http, "Host.Test", 80, "", "", "/Path", "#frag"},
        {"http://u%40x:p%3Aw@h/p", UrlScheme::Http, "h", 80, "u@x", "p:w", "/p", ""},
        {"http://user@h:81", UrlScheme::Http, "h", 81, "user", "", "", ""},
        {"ftp://files.test/pub/", UrlScheme::Ftp, "files.test", 21, "", "", "/pub/", ""},
        {"http://[::1]:8000/x", UrlScheme::Http, "[::1]", 8000, "", "", "/x", ""},
        {"http://h:/x", UrlScheme::Http, "h", 80, "", "", "/x", ""},
        {"http://h/?q#f", UrlScheme::Http, "h", 80, "", "", "/", "?q#f"},
        {"http://h/100%", UrlScheme::Http, "h", 80, "", "", "/100%", ""},
        {"http://h/%e4%zz?a=%41", UrlScheme::Http, "h", 80, "", "", "/\xe4%zz", "?a=A"},
        {"  http://h/trimmed \r\n", UrlScheme::Http, "h", 80, "", "", "/trimmed", ""},
        {"file:///home/a.txt", UrlScheme::File, "", 0, "", "", "/home/a.txt", ""},
        {"mailto:someone@test", UrlScheme::Other, "", 0, "", "", "someone@test", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url);
        UrlParts parts;
        ASSERT_TRUE(InternetCrackUrl(c.url, parts)) << GetLastError();
        EXPECT_EQ(parts.scheme, c.scheme);
        EXPECT_EQ(parts.hostName, c.host);
        EXPECT_EQ(parts.port, c.port);
        EXPECT_EQ(parts.userName, c.user);
        EXPECT_EQ(parts.password, c.password);
        EXPECT_EQ(parts.urlPath, c.path);
        EXPECT_EQ(parts.extraInfo, c.extra);
    }
}

TEST(UrlCrack, BadUrlsFailWithTheirCodeAndLeavePartsUntouched)
{
    const std::string longHost(256, 'h');
    const std::string longPath = "/" + std::string(2047, 'p');
    const std::string longQuery = "?" + std::string(2047, 'q');
    const std::string longUser(128, 'u');
    const struct {
        std::string url;
        std::uint32_t error;
    } cases[] = {
        {"", ERROR_INTERNET_INVALID_URL},
        {"   ", ERROR_INTERNET_INVALID_URL},
        {"localhost/path", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {"foo://h/", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {"1http://h/", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {"http:no-slashes", ERROR_INTERNET_INVALID_URL},
        {"http:///nohost", ERROR_INTERNET_INVALID_URL},
        {"http://h:99999/", ERROR_INTERNET_INVALID_URL},
        {"http://h:8x/", ERROR_INTERNET_INVALID_URL},
        {"http://[::1/", ERROR_INTERNET_INVALID_URL},
        {"http://" + longHost + "/", ERROR_INSUFFICIENT_BUFFER},
        {"http://h" + longPath, ERROR_INSUFFICIENT_BUFFER},
        {"http://h/" + longQuery, ERROR_INSUFFICIENT_BUFFER},
        {"http://" + longUser + "@h/", ERROR_INSUFFICIENT_BUFFER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url.substr(0, 40));
        UrlParts parts;
        parts.hostName = "untouched";
        SetLastError(0);
        EXPECT_FALSE(InternetCrackUrl(c.url, parts));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(parts.hostName, "untouched");
    }
}

TEST(UrlCrack, PartsAtTheirLimitsStillFit)
{
    UrlParts parts;
    const std::string host(255, 'h');
    const std::string path = "/" + std::string(2046, 'p');
    ASSERT_TRUE(InternetCrackUrl("http://" + host + path + "?" + std::string(2046, 'q'), parts));
    EXPECT_EQ(parts.hostName.size(), 255u);
    EXPECT_EQ(parts.urlPath.size(), 2047u);
    EXPECT_EQ(parts.extraInfo.size(), 2047u);
}

TEST(UrlCombine, ResolvesReferencesAsABrowserDoes)
{
    // The reference resolution examples of RFC 3986 section 5.4, and what the component builds.
    const char *base = "http://a/b/c/d;p?q";
    const struct {
        const char *base;
        const char *relative;
        const char *expected;
    } cases[] = {
        {base, "g", "http://a/b/c/g"},
        {base, "./g", "http://a/b/c/g"},
        {base, "g/", "http://a/b/c/g/"},
        {base, "/g", "http://a/g"},
        {base, "//g", "http://g/"},
        {base, "?y", "http://a/b/c/d;p?y"},
        {base, "g?y", "http://a/b/c/g?y"},
        {base, "#s", "http://a/b/c/d;p?q#s"},
        {base, "", "http://a/b/c/d;p?q"},
        {base, ".", "http://a/b/c/"},
        {base, "..", "http://a/b/"},
        {base, "../g", "http://a/b/g"},
        {base, "../../g", "http://a/g"},
        {base, "../../../../g", "http://a/g"},
        {base, "/./g", "http://a/g"},
        {base, "/../g", "http://a/g"},
        {base, "g.", "http://a/b/c/g."},
        {base, "./../g", "http://a/b/g"},
        {base, "g;x=1/../y", "http://a/b/c/y"},
        {base, "g#s/../x", "http://a/b/c/g#s/../x"},
        {base, "https://other/x/../y", "https://other/y"},
        {"http://localhost", "/", "http://localhost/"},
        {"http://localhost", "", "http://localhost/"},
        {"http://localhost:8080", "/?x=1", "http://localhost:8080/?x=1"},
        {"https://localhost:443", "/a b/c?d e#f g", "https://localhost:443/a%20b/c?d%20e#f%20g"},
        {"http://h/dir/", "x%41y", "http://h/dir/x%41y"},
        // Backslashes before the query of an http(s) URL are slashes, as in browsers.
        {base, "..\\g\\h", "http://a/b/g/h"},
        {base, "\\g", "http://a/g"},
        {base, "\\\\other\\x", "http://other/x"},
        {base, "g?a\\b#c\\d", "http://a/b/c/g?a\\b#c\\d"},
        {"http:\\\\a\\b\\c", "d", "http://a/b/d"},
        {base, "https:\\\\s\\t", "https://s/t"},
        {"ftp://f/a/b", "..\\c", "ftp://f/a/..\\c"},
        // The base's own dot segments are resolved before the reference is merged.
        {"http://a/b/c/../d", "e", "http://a/b/e"},
        {"http://a/b/..", "e", "http://a/e"},
        {"http://a/b/./c/..", "", "http://a/b/"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + c.relative);
        std::string result = "stale";
        ASSERT_TRUE(InternetCombineUrl(c.base, c.relative, result));
        EXPECT_EQ(result, c.expected);
    }
}

TEST(UrlCombine, ResultThatDoesNotFitTheBufferFailsAndKeepsTheOldText)
{
    const std::string base = "http://h";
    const std::string path = "/" + std::string(2045, 'p'); // "http://h" + path = 2054 chars
    std::string result = "old";
    EXPECT_TRUE(InternetCombineUrl(base, path, result));
    EXPECT_EQ(result.size(), 2054u);

    result = "old";
    EXPECT_FALSE(InternetCombineUrl(base, path + "p", result));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(result, "old");

    // Encoding a space makes it three bytes, which is what has to fit.
    EXPECT_FALSE(InternetCombineUrl(base, "/" + std::string(2044, 'p') + " ", result));
}

TEST(UrlCombine, BaseWithoutSchemeIsRefused)
{
    std::string result;
    EXPECT_FALSE(InternetCombineUrl("no-scheme/path", "x", result));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_URL);
}

} // namespace
} // namespace quorvel::platform
