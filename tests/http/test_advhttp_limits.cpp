// Hostile servers against the component's limits: a body without end, one that dribbles in and
// one past the size limit are cut short and still complete by their status line; long header
// blocks arrive whole; no successful request leaves an error behind.

#include "http/advhttp.h"

#include "inet/inet.h"
#include "inet/inet_timeouts.h"
#include "support/pump.h"
#include "support/testserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>

using namespace quorvel;
using quorvel::test::pumpFor;
using quorvel::test::pumpUntil;
using quorvel::test::Reply;
using quorvel::test::TestServer;
namespace inet = quorvel::platform::inet;
using namespace std::chrono_literals;
using Cut = TAdvHttp::TBodyCut;

namespace
{

// Header lines of `lines` * about 1 KiB each.
std::vector<std::string> bulkyHeaders(int lines)
{
    std::vector<std::string> headers;
    for (int i = 0; i < lines; ++i)
        headers.push_back("Set-Cookie: c" + std::to_string(i) + "=" + std::string(1000, 'v'));
    return headers;
}

class AdvHttpLimits : public ::testing::Test
{
protected:
    // A request may take 0.5 s to connect plus 1 s, instead of 10 s plus a minute.
    AdvHttpLimits() { inet::setTransferTimeLimit(1000ms); }
    ~AdvHttpLimits() override { inet::setTransferTimeLimit(60s); }

    void SetUp() override
    {
        http = std::make_unique<TAdvHttp>(&owner);
        http->setConnectTimeout(500);
        http->setRaiseExceptions(false);
        http->setDefaultUi(false);
        http->setOnRequestComplete([this](TAdvHttp *h) {
            ++completes;
            headers = h->ResponseHeaders();
            errorAtComplete = h->LastError();
            cut = h->BodyCut();
        });
        http->setOnError([this](TAdvHttp *h) { errors.push_back(h->LastError()); });
        http->setOnDataAvailable([this](TAdvHttp *) { ++blocks; });
    }

    void TearDown() override { http.reset(); }

    // Runs one request to the end; returns the time it took.
    std::chrono::milliseconds run(const std::string &path, bool synchronous)
    {
        completes = 0;
        blocks = 0;
        errors.clear();
        http->setURL(server.url(path));
        const auto start = std::chrono::steady_clock::now();
        http->Execute(synchronous);
        EXPECT_TRUE(pumpUntil([&] { return (completes == 1 || !errors.empty()) && !http->Busy(); }))
            << path;
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }

    QWidget owner;
    std::unique_ptr<TAdvHttp> http;
    TestServer server;
    int completes = 0;
    int blocks = 0;
    StringList headers;
    std::uint32_t errorAtComplete = 0xFFFFFFFF;
    Cut cut = Cut::None;
    std::vector<std::uint32_t> errors;
};

TEST_F(AdvHttpLimits, BodyThatNeverEndsIsCutShortAndCountsByItsStatusLine)
{
    // On loopback an endless body usually fills the size limit before the time is up (either
    // will do); a slower one, or one that dribbles in, runs into the time limit.
    struct Case {
        const char *name;
        Reply reply;
        std::optional<Cut> expected;
    } cases[] = {
        {"endless and fast", Reply::streamed({std::nullopt, 65536, 0ms}, Reply::Framing::Chunked),
         std::nullopt},
        {"endless and slow", Reply::streamed({std::nullopt, 16384, 20ms}, Reply::Framing::Chunked),
         Cut::TimeLimit},
        {"one byte at a time", Reply::streamed({100000, 1, 100ms}), Cut::TimeLimit},
        {"endless 404", Reply::streamed({std::nullopt, 4096, 10ms}, Reply::Framing::CloseDelimited),
         Cut::TimeLimit},
    };
    cases[3].reply.statusLine = "HTTP/1.1 404 Not Found";
    for (const Case &c : cases) {
        server.route("/body", c.reply);
        for (bool synchronous : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (synchronous ? " sync" : " async"));
            const auto took = run("/body", synchronous);
            // A 200 that never ends is alive: no OnError, which would make it dead.
            EXPECT_TRUE(errors.empty()) << errors.front();
            ASSERT_EQ(completes, 1);
            EXPECT_NE(cut, Cut::None);
            if (c.expected) {
                EXPECT_EQ(cut, *c.expected);
            }
            EXPECT_EQ(errorAtComplete, 0u);
            EXPECT_EQ(http->LastError(), 0u);
            ASSERT_FALSE(headers.empty());
            EXPECT_EQ(headers[0], c.reply.statusLine);
            if (cut == Cut::TimeLimit) {
                EXPECT_GE(took, http->RequestTimeLimit() - 100ms);
            }
            // About the limit on an idle machine (1.5 s); the bound only has to tell a cut from
            // a body that never ends, with room for a busy machine.
            EXPECT_LT(took, http->RequestTimeLimit() + 6s);
            EXPECT_GT(http->Response().size(), 0u);
            EXPECT_LE(http->Response().size(), TAdvHttp::MaxResponseSize);
            EXPECT_TRUE(http->Response() == quorvel::test::patternBody(http->Response().size()));
        }
    }
}

TEST_F(AdvHttpLimits, BodyPastTheSizeLimitIsCutThereAndItsMemoryGoesWithTheNextRequest)
{
    // Time enough for 16 MiB in a slow (sanitizer) build on a busy machine.
    inet::setTransferTimeLimit(60s);
    const std::uint64_t size = TAdvHttp::MaxResponseSize + 3 * 1024 * 1024;
    server.route("/huge", Reply::streamed({size, 65536, 0ms}));
    server.route("/huge-chunked", Reply::streamed({size, 65536, 0ms}, Reply::Framing::Chunked));
    server.route("/small", Reply::ok("small"));
    for (const char *path : {"/huge", "/huge-chunked"}) {
        SCOPED_TRACE(path);
        run(path, false);
        EXPECT_TRUE(errors.empty());
        ASSERT_EQ(completes, 1);
        EXPECT_EQ(cut, Cut::SizeLimit);
        EXPECT_EQ(errorAtComplete, 0u);
        EXPECT_EQ(http->Response().size(), TAdvHttp::MaxResponseSize);
        EXPECT_EQ(static_cast<std::size_t>(http->TotalBytesRead()), TAdvHttp::MaxResponseSize);
        EXPECT_TRUE(http->Response() == quorvel::test::patternBody(TAdvHttp::MaxResponseSize));

        run("/small", false);
        EXPECT_EQ(cut, Cut::None);
        EXPECT_EQ(http->Response(), "small");
        // Emptied the way that frees it: a cleared string would keep its 16 MiB.
        EXPECT_LT(http->Response().capacity(), 1024u * 1024u);
    }
}

TEST_F(AdvHttpLimits, LongHeaderBlocksArriveWholeAndCountAsUsual)
{
    Reply alive = Reply::ok("fine");
    alive.headers = bulkyHeaders(20);
    Reply missing = Reply::status("HTTP/1.1 404 Not Found", "gone");
    missing.headers = bulkyHeaders(20);
    missing.headers.push_back("X-Note: http/1.1 404 seen twice");
    server.route("/alive", alive);
    server.route("/missing", missing);
    for (bool synchronous : {false, true}) {
        for (const char *path : {"/alive", "/missing"}) {
            SCOPED_TRACE(std::string(path) + (synchronous ? " sync" : " async"));
            run(path, synchronous);
            EXPECT_TRUE(errors.empty());
            ASSERT_EQ(completes, 1);
            const Reply &reply = std::string(path) == "/alive" ? alive : missing;
            // Status line, the script's lines, Content-Length and the empty last line.
            ASSERT_EQ(headers.count(), reply.headers.size() + 3);
            EXPECT_EQ(headers[0], reply.statusLine);
            EXPECT_EQ(headers[reply.headers.size()], reply.headers.back());
            EXPECT_EQ(http->StatusCode(), std::string(path) == "/alive" ? 200 : 404);
        }
    }
}

TEST_F(AdvHttpLimits, NoSuccessfulRequestLeavesAnErrorBehind)
{
    // The end of this body (the last chunk) comes a little after its data, so the read that
    // finds it has gone pending first.
    Reply lateEnd = Reply::ok(quorvel::test::patternBody(3000));
    lateEnd.framing = Reply::Framing::Chunked;
    lateEnd.cut = Reply::Cut::Stall;
    lateEnd.cutAfter = 3000;
    lateEnd.stallFor = 20ms;
    server.route("/late-end", lateEnd);
    server.route("/plain", Reply::ok(quorvel::test::patternBody(1024)));
    for (int i = 0; i < 200; ++i) {
        const char *path = i % 10 == 0 ? "/late-end" : "/plain";
        run(path, false);
        ASSERT_EQ(completes, 1) << path << " " << i;
        ASSERT_EQ(errorAtComplete, 0u) << path << " " << i;
        ASSERT_EQ(http->LastError(), 0u) << path << " " << i;
        ASSERT_TRUE(errors.empty());
    }
}

} // namespace
