// The facility against servers that would hold a send for ever or grow it without end: the total
// time limit, the header block limit, and the closing notifications that always come as a pair
// and before the end of the body.

#include "inet/inet_timeouts.h"
#include "test_inet_client.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace quorvel::platform::inet::testing
{
namespace
{

using quorvel::test::Reply;
using quorvel::test::TestServer;
using namespace std::chrono_literals;

class InetLimits : public ::testing::TestWithParam<Mode>
{
protected:
    // A send may last its 500 ms connect limit plus 1 s.
    InetLimits() { setTransferTimeLimit(1000ms); }
    ~InetLimits() override { setTransferTimeLimit(60s); }

    HINTERNET openShortLimited(Client &client, const std::string &path)
    {
        const std::uint32_t connectLimit = 500;
        InternetSetOption(client.connection, INTERNET_OPTION_CONNECT_TIMEOUT, &connectLimit,
                          sizeof connectLimit);
        return client.open(path);
    }

    TestServer server;
};

TEST_P(InetLimits, EverySendEndsWithinTheTotalLimit)
{
    Reply silent = Reply::ok("never in time");
    silent.delayBeforeHeaders = 20s;
    server.route("/silent", silent);
    server.route("/endless", Reply::streamed({std::nullopt, 16384, 0ms}, Reply::Framing::Chunked));
    server.route("/dribble", Reply::streamed({1000, 1, 50ms}));

    // Each send takes about 1.5 s on an idle machine. The bound only has to tell the limit
    // from the server's 20 s and the receive time-out's 30 s, and the endless body keeps both
    // cores busy on its own: a busy machine stretches it well past twice its idle time.
    const auto bound = 10s;
    Client client(GetParam(), server.port());
    // No answer: the send fails, long before the receive time-out of 30 s.
    auto start = std::chrono::steady_clock::now();
    HINTERNET request = openShortLimited(client, "/silent");
    EXPECT_FALSE(client.send(request));
    EXPECT_EQ(client.error, ERROR_INTERNET_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, bound);
    InternetCloseHandle(request);

    // An answer whose body never ends or never hurries: what arrived, then the time-out.
    for (const char *path : {"/endless", "/dribble"}) {
        SCOPED_TRACE(path);
        start = std::chrono::steady_clock::now();
        request = openShortLimited(client, path);
        ASSERT_TRUE(client.send(request)) << client.error;
        std::string body;
        std::vector<char> buffer(16384);
        std::uint32_t got = 0;
        while (client.read(request, buffer.data(), 16384, got) && got > 0)
            body.append(buffer.data(), got);
        EXPECT_EQ(client.error, ERROR_INTERNET_TIMEOUT);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, 1400ms);
        EXPECT_LT(took, bound);
        EXPECT_FALSE(body.empty());
        EXPECT_TRUE(body == quorvel::test::patternBody(body.size()));
        InternetCloseHandle(request);
    }
}

TEST_P(InetLimits, HeaderBlockIsTakenWholeUpToItsLimit)
{
    struct Case {
        const char *path;
        int kibibytes;
        bool accepted;
    } cases[] = {{"/long", 200, true}, {"/too-long", 300, false}};
    Client client(GetParam(), server.port());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        Reply reply = Reply::ok("x");
        for (int i = 0; i < c.kibibytes; ++i)
            reply.headers.push_back("X-" + std::to_string(i) + ": " + std::string(1000, 'h'));
        server.route(c.path, reply);
        HINTERNET request = client.open(c.path);
        EXPECT_EQ(client.send(request), c.accepted);
        if (c.accepted) {
            const std::string head = client.rawHeaders(request);
            EXPECT_GT(head.size(), 200u * 1000u);
            EXPECT_NE(head.find(reply.headers.back() + "\r\n"), std::string::npos);
            EXPECT_EQ(client.readAll(request), "x");
        } else {
            EXPECT_EQ(client.error, ERROR_HTTP_HEADERS_TOO_LARGE);
            EXPECT_NE(FormatMessage(client.error), "");
        }
        InternetCloseHandle(request);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, InetLimits, ::testing::Values(Mode::Sync, Mode::Async), modeName);

TEST(InetClosing, ClosedFollowsClosingEvenWhenTheRequestIsClosedBetweenThem)
{
    // The server ends the connection after a body of several blocks.
    TestServer server;
    Reply reply = Reply::ok(quorvel::test::patternBody(40000));
    reply.closeAfter = true;
    server.route("/bye", reply);
    for (bool closeInBetween : {false, true}) {
        SCOPED_TRACE(closeInBetween);
        Client client(Mode::Async, server.port());
        HINTERNET request = client.open("/bye");
        if (closeInBetween) {
            client.recorder.setHook([](HINTERNET handle, const Event &event) {
                if (event.status == INTERNET_STATUS_CLOSING_CONNECTION)
                    InternetCloseHandle(handle);
            });
        }
        ASSERT_TRUE(client.send(request));
        // The close is told once the reader has taken what the server sent before it; a read
        // that waits then may never complete, as the hook closes its request.
        std::size_t total = 0;
        std::vector<char> buffer(16384);
        for (;;) {
            std::uint32_t got = 0;
            if (InternetReadFile(request, buffer.data(), 16384, &got)) {
                if (got == 0)
                    break;
                total += got;
                continue;
            }
            InternetAsyncResult result{};
            if (GetLastError() != ERROR_IO_PENDING || !client.recorder.takeCompletion(result, 2s) ||
                !result.dwResult || got == 0)
                break;
            total += got;
        }
        if (!closeInBetween) {
            EXPECT_EQ(total, 40000u);
            EXPECT_EQ(client.recorder.count(INTERNET_STATUS_CONNECTION_CLOSED), 1);
        }
        for (int i = 0; i < 250 && client.recorder.count(INTERNET_STATUS_CONNECTION_CLOSED) == 0;
             ++i)
            std::this_thread::sleep_for(20ms);
        const auto statuses = client.recorder.statuses();
        const auto closing =
            std::find(statuses.begin(), statuses.end(), INTERNET_STATUS_CLOSING_CONNECTION);
        ASSERT_NE(closing, statuses.end());
        ASSERT_NE(closing + 1, statuses.end());
        EXPECT_EQ(*(closing + 1), INTERNET_STATUS_CONNECTION_CLOSED);
        if (!closeInBetween)
            InternetCloseHandle(request);
    }
}

} // namespace
} // namespace quorvel::platform::inet::testing
