#include "inet/inet_text.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

namespace quorvel::platform::inet
{
namespace
{

TEST(ResponseHead, StatusCodeIsTheThreeDigitsAfterTheFirstBlank)
{
    const struct {
        const char *line;
        int status;
    } cases[] = {
        {"HTTP/1.1 404 Not Found\r\n", 404},
        {"HTTP/1.0 200", 200},
        {"HTTP/2 301 \n", 301},
        {"HTTP/1.1 20", 0}, // too short
        {"HTTP/1.1 2x0 Bad", 0},
        {"HTTP/1.1  200 Two Blanks", 0},
        {"HTTP/1.1", 0},
        {"", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(statusCodeOf(c.line), c.status) << c.line;
}

TEST(ResponseHead, LinesAreKeptWithCrLfAndTheBlankLineEndsTheBlock)
{
    std::string block;
    EXPECT_FALSE(appendHeaderLine(block, "HTTP/1.1 302 Found\r\n"));
    EXPECT_FALSE(appendHeaderLine(block, "Location: /next\n"));
    EXPECT_FALSE(appendHeaderLine(block, "X-Bare: no line end"));
    EXPECT_FALSE(appendHeaderLine(block, "X-Inner: a\rb\r\r\n"));
    EXPECT_EQ(block, "HTTP/1.1 302 Found\r\nLocation: /next\r\nX-Bare: no line end\r\n"
                     "X-Inner: a\rb\r\n");
    for (const char *blank : {"\r\n", "\n", "\r", ""}) {
        std::string copy = block;
        EXPECT_TRUE(appendHeaderLine(copy, blank))
            << "blank line " << testing::PrintToString(blank);
        EXPECT_EQ(copy, block + "\r\n");
    }
}

TEST(ResponseHead, HeaderValueMatchesWholeNamesAndSkipsTheStatusLine)
{
    const std::string head = "HTTP/1.1 301 Moved: see Location: /wrong\r\n"
                             "X-Location: /not-this\r\n"
                             "location :  /first  \r\n"
                             "Location: /second\r\n"
                             "Empty:\r\n\r\n";
    EXPECT_EQ(headerValue(head, "Location"), "/first");
    EXPECT_EQ(headerValue(head, "EMPTY"), "");
    EXPECT_EQ(headerValue(head, "Moved"), std::nullopt);
    EXPECT_EQ(headerValue("", "Location"), std::nullopt);
}

TEST(ResponseHead, ChallengesOfEveryLineOfTheirHeaderAreOffered)
{
    const struct {
        const char *head;
        long server;
        long proxy;
    } cases[] = {
        {"WWW-Authenticate: Basic realm=\"a\"\r\n", CURLAUTH_BASIC, 0},
        {"WWW-Authenticate: Digest realm=\"a\", nonce=\"n\", NTLM\r\n"
         "www-authenticate: negotiate\r\n",
         CURLAUTH_DIGEST | CURLAUTH_NTLM | CURLAUTH_NEGOTIATE, 0},
        {"Proxy-Authenticate: NTLM\r\nWWW-Authenticate: Bearer\r\n", 0, CURLAUTH_NTLM},
        {"WWW-Authenticate: Basicx, realm=Basic\r\n", 0, 0},
        {"X-WWW-Authenticate: Basic\r\n", 0, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(offeredAuthSchemes(c.head, "WWW-Authenticate"), c.server) << c.head;
        EXPECT_EQ(offeredAuthSchemes(c.head, "Proxy-Authenticate"), c.proxy) << c.head;
    }
}

} // namespace
} // namespace quorvel::platform::inet
