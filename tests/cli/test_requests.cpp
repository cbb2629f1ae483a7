// Which links are requested, where each request goes, and how an outcome becomes a verdict.

#include "cli/classify.h"
#include "cli/requesttarget.h"
#include "inet/hop.h"
#include "inet/inet.h"

#include <gtest/gtest.h>

using namespace quorvel::cli;
namespace inet = quorvel::platform::inet;

namespace
{

// Where quorvel-check's redirect goes: the facility's hop policy, from the hop at from.
std::optional<RequestTarget> redirectTarget(const RequestTarget &from, const std::string &fromUrl,
                                            const std::string &location, std::string &combined)
{
    RequestTarget next = from;
    int hops = 0;
    if (inet::redirectHop(next, hops, fromUrl, location, combined) != 0)
        return std::nullopt;
    inet::formHop(next);
    return next;
}

TEST(SkipReason, OnlyHttpAndHttpsAreRequestedAndHttpsNotWithHttpOnly)
{
    const struct {
        const char *url;
        bool httpOnly;
        std::optional<std::string_view> reason;
    } cases[] = {
        {"http://a.test/", false, std::nullopt},
        {"HTTP://A.TEST/", true, std::nullopt},
        {"https://a.test/", false, std::nullopt},
        {"HTTPS://a.test/", true, reason::httpOnly},
        {"no path", false, reason::noPath},
        {"ftp://a.test/", false, reason::otherScheme},
        {"mailto:someone@a.test", false, reason::otherScheme},
        {" http://a.test/", false, reason::otherScheme}, // the window skips it too
        {"", false, reason::otherScheme},
    };
    for (const auto &c : cases)
        EXPECT_EQ(skipReason(c.url, c.httpOnly), c.reason) << c.url;
}

TEST(RequestTarget, HostsThatCannotBeOneOrLieUnderInvalidAreRefusedWithoutALookUp)
{
    const struct {
        const char *host;
        bool refused;
    } cases[] = {
        {"example.test", false},
        {"127.0.0.1", false},
        {"::1", false},
        {"nowhere.invalid", true},
        {"NOWHERE.INVALID.", true},
        {"invalid", true},
        {"invalid.example", false},
        {"", true},
        {"a b", true},
        {"a/b", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(refusedHost(c.host) != 0, c.refused) << c.host;
}

TEST(RequestTarget, TheRequestIsBuiltFromTheSplitUrlAsTheWindowBuildsIt)
{
    std::uint32_t error = 0;
    auto target = prepareRequest("HTTP://User:Pw@Example.TEST:80/a%20b?x=1", error);
    ASSERT_TRUE(target);
    EXPECT_EQ(hopUrl(*target), "http://example.test/a%20b?x=1");
    EXPECT_EQ(hostKey(*target), "example.test");
    EXPECT_EQ(target->user, "User");
    EXPECT_EQ(target->password, "Pw");

    target = prepareRequest("https://[::1]:8443", error);
    ASSERT_TRUE(target);
    EXPECT_TRUE(target->secure);
    EXPECT_EQ(hopUrl(*target), "https://[::1]:8443/");

    EXPECT_FALSE(prepareRequest("http://host:99999/", error));
    EXPECT_NE(error, 0u);
}

TEST(RequestTarget, ANameBeyondAsciiGoesOutInItsIdnaFormAndThePathAsUtf8Escapes)
{
    // The shortcut's URL as the catalogue reads it: UTF-8 text, as the window's facility gets it.
    std::uint32_t error = 0;
    const auto target =
        prepareRequest("http://\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84/"
                       "\xD1\x81\xD1\x82\xD0\xB0\xD1\x82\xD1\x8C\xD1\x8F",
                       error);
    ASSERT_TRUE(target);
    EXPECT_EQ(hopUrl(*target), "http://xn--e1afmkfd.xn--p1ai/%D1%81%D1%82%D0%B0%D1%82%D1%8C%D1%8F");
    EXPECT_EQ(refusedHost(target->host), 0u);

    // A redirect to such a name goes to its IDNA form as well.
    std::string combined;
    const auto next =
        redirectTarget(*target, hopUrl(*target), "http://\xE4\xBE\x8B\xE5\xAD\x90.test/", combined);
    ASSERT_TRUE(next);
    EXPECT_EQ(hostKey(*next), "xn--fsqu00a.test");
}

TEST(RequestTarget, RedirectsGoToHttpOrHttpsOnlyAndKeepEscapesAsSent)
{
    std::uint32_t error = 0;
    const auto from = prepareRequest("http://a.test/dir/page", error);
    ASSERT_TRUE(from);
    std::string combined;

    auto next = redirectTarget(*from, hopUrl(*from), "other%2Fpage#part", combined);
    ASSERT_TRUE(next);
    EXPECT_EQ(hopUrl(*next), "http://a.test/dir/other%2Fpage");

    next = redirectTarget(*from, hopUrl(*from), "https://b.test:444/x", combined);
    ASSERT_TRUE(next);
    EXPECT_EQ(combined, "https://b.test:444/x");
    EXPECT_EQ(hostKey(*next), "b.test");
    EXPECT_EQ(next->user, from->user);

    EXPECT_FALSE(redirectTarget(*from, hopUrl(*from), "ftp://a.test/file", combined));
    EXPECT_FALSE(redirectTarget(*from, hopUrl(*from), "mailto:x@a.test", combined));
}

LinkOutcome outcome(std::uint32_t error, int status = 0, std::vector<std::string> lines = {})
{
    LinkOutcome made;
    made.error = error;
    made.status = status;
    made.headerLines = std::move(lines);
    return made;
}

TEST(ClassifyOutcome, A404LineOrAFailureIsDeadAndEverythingElseAlive)
{
    const struct {
        LinkOutcome outcome;
        ResultKind kind;
        std::string_view why;
    } cases[] = {
        {outcome(0, 200, {"HTTP/1.1 200 OK"}), ResultKind::Alive, ""},
        {outcome(0, 500, {"HTTP/1.1 500 Oops"}), ResultKind::Alive, ""},
        {outcome(0, 404, {"HTTP/1.1 404 Not Found"}), ResultKind::Dead, reason::notFound},
        {outcome(0, 404, {"HTTP/1.0 404 Not Found"}), ResultKind::Dead, reason::notFound},
        // The window's rule looks at lines, not at the status: an HTTP/2-style line is no 404.
        {outcome(0, 404, {"HTTP/2 404"}), ResultKind::Alive, ""},
        {outcome(0, 200, {"HTTP/1.1 200 OK", "X-Note: http/1.1 404"}), ResultKind::Dead,
         reason::notFound},
        {outcome(inet::ERROR_INTERNET_TIMEOUT, 0, {}), ResultKind::Dead, reason::error},
        // A body that failed after a 404 is still the 404.
        {outcome(inet::ERROR_INTERNET_CONNECTION_RESET, 404, {"HTTP/1.1 404 Not Found"}),
         ResultKind::Dead, reason::notFound},
    };
    for (const auto &c : cases) {
        const CheckResult result = classifyOutcome(c.outcome);
        EXPECT_EQ(result.kind, c.kind) << c.outcome.status;
        EXPECT_EQ(result.reason, c.why) << c.outcome.status;
    }

    const CheckResult failed = classifyOutcome(outcome(inet::ERROR_INTERNET_NAME_NOT_RESOLVED));
    EXPECT_EQ(failed.errorText, "The server name or address could not be resolved");
    EXPECT_EQ(classifyOutcome(outcome(0, 404, {"HTTP/1.1 404 Gone away"})).evidence,
              "HTTP/1.1 404 GONE AWAY");
}

} // namespace
