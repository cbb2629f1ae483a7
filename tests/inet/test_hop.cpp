// The hop policy both programs drive, fed libcurl's header lines and results directly, and the
// lookup threads both programs share.

#include "inet/hop.h"
#include "inet/inet.h"
#include "inet/inet_lookup.h"
#include "inet/inet_timeouts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace inet = quorvel::platform::inet;
using Line = inet::HopAnswer::Line;
using Kind = inet::HopAnswer::Outcome::Kind;

namespace
{

TEST(InetHop, AnInterimAnswerIsDroppedAndTheFinalBlockKeptWithoutTrailers)
{
    inet::HopAnswer answer;
    EXPECT_EQ(answer.takeHeaderLine("HTTP/1.1 100 Continue\r\n"), Line::StatusLine);
    EXPECT_EQ(answer.takeHeaderLine("\r\n"), Line::Interim);
    EXPECT_EQ(answer.outcome(CURLE_OK).error, inet::ERROR_HTTP_INVALID_SERVER_RESPONSE);
    EXPECT_EQ(answer.takeHeaderLine("HTTP/1.1 200 OK\r\n"), Line::StatusLine);
    EXPECT_EQ(answer.takeHeaderLine("Server: x\r\n"), Line::Header);
    EXPECT_EQ(answer.takeHeaderLine("\r\n"), Line::Ended);
    EXPECT_EQ(answer.takeHeaderLine("Trailer: t\r\n"), Line::Ignored);
    EXPECT_EQ(answer.head, "HTTP/1.1 200 OK\r\nServer: x\r\n\r\n");
    EXPECT_TRUE(answer.finalHeadArrived());
    EXPECT_EQ(answer.outcome(CURLE_OK).kind, Kind::Answered);
    // A body that fails after the headers is a failure with libcurl's error.
    const auto cut = answer.outcome(CURLE_RECV_ERROR);
    EXPECT_EQ(cut.kind, Kind::Failed);
    EXPECT_TRUE(cut.curlError);
}

TEST(InetHop, ARedirectIsFollowedOnlyWithALocationAndWhenAskedAndItsLongBodyIsCut)
{
    const struct {
        const char *location;
        bool follow;
        bool redirect;
    } cases[] = {
        {"Location: /next\r\n", true, true},
        {"Location: /next\r\n", false, false},
        {"Location:\r\n", true, false},
        {"X-Other: 1\r\n", true, false},
    };
    for (const auto &c : cases) {
        inet::HopAnswer answer;
        answer.followRedirects = c.follow;
        answer.takeHeaderLine("HTTP/1.1 302 Found\r\n");
        answer.takeHeaderLine(c.location);
        answer.takeHeaderLine("\r\n");
        EXPECT_EQ(answer.redirectTo.has_value(), c.redirect) << c.location << c.follow;
        EXPECT_EQ(answer.discardRedirectBody(10), c.redirect) << c.location;
    }

    inet::HopAnswer answer;
    answer.takeHeaderLine("HTTP/1.1 301 Moved\r\n");
    answer.takeHeaderLine("Location: /next\r\n");
    answer.takeHeaderLine("\r\n");
    EXPECT_TRUE(answer.discardRedirectBody(inet::redirectBodyLimit));
    EXPECT_FALSE(answer.discardCut);
    EXPECT_TRUE(answer.discardRedirectBody(1));
    EXPECT_TRUE(answer.discardCut);
    // Stopped for its long body, the redirect is followed all the same.
    EXPECT_EQ(answer.outcome(CURLE_WRITE_ERROR).kind, Kind::Redirect);
}

TEST(InetHop, AHeaderBlockOverItsLimitEndsAsHeadersTooLargeWhateverLibcurlSays)
{
    inet::HopAnswer answer;
    answer.takeHeaderLine("HTTP/1.1 200 OK\r\n");
    const std::string line = "X-Filler: " + std::string(8192, 'a') + "\r\n";
    Line last = Line::Header;
    while (last == Line::Header)
        last = answer.takeHeaderLine(line);
    EXPECT_EQ(last, Line::Refused);
    EXPECT_LE(answer.head.size(), inet::maxHeaderBlock);
    const auto end = answer.outcome(CURLE_WRITE_ERROR);
    EXPECT_EQ(end.kind, Kind::Failed);
    EXPECT_EQ(end.error, inet::ERROR_HTTP_HEADERS_TOO_LARGE);
    EXPECT_FALSE(answer.finalHeadArrived());
}

TEST(InetHop, RedirectsStopAtTheLimitAndAtOtherSchemes)
{
    inet::HopTarget target{false, "a.test", 80, "/"};
    std::string next;
    int hops = inet::maxRedirects - 1;
    EXPECT_EQ(inet::redirectHop(target, hops, "http://a.test/", "//[::1]:8080/x#f", next), 0u);
    EXPECT_EQ(target.host, "::1");
    EXPECT_EQ(target.port, 8080);
    EXPECT_EQ(target.object, "/x");
    EXPECT_EQ(inet::formHop(target), "http://[::1]:8080/x");
    EXPECT_EQ(inet::redirectHop(target, hops, next, "/y", next), inet::ERROR_HTTP_REDIRECT_FAILED);
    hops = 0;
    EXPECT_EQ(inet::redirectHop(target, hops, "http://a.test/", "ftp://a.test/", next),
              inet::ERROR_HTTP_REDIRECT_FAILED);
}

TEST(InetLookups, ManyLookupsAtOnceEachAnswerOnceOnTheSharedThreads)
{
    constexpr int lookups = 200; // more than the pool's threads: some wait for a thread
    std::mutex mutex;
    std::condition_variable done;
    int answered = 0;
    std::atomic<int> found{0};
    for (int i = 0; i < lookups; ++i) {
        inet::lookUpBeside([&, i] {
            const bool ok =
                !inet::lookUpAddresses(i % 2 ? "127.0.0.1" : "::1").addresses.empty();
            found += ok ? 1 : 0;
            const std::lock_guard lock(mutex);
            ++answered;
            done.notify_all();
        });
    }
    std::unique_lock lock(mutex);
    EXPECT_TRUE(done.wait_for(lock, std::chrono::seconds(60), [&] { return answered == lookups; }));
    EXPECT_EQ(found.load(), lookups);
}

} // namespace
