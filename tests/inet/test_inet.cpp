// The HTTP facility against the scripted server: notifications, headers, redirects, bodies and
// connection reuse, each in both modes.
#include "inet/inet.h"

#include <gtest/gtest.h>

#include "support/testserver.h"
#include "test_inet_client.h"

namespace quorvel::platform::inet::testing
{
namespace
{

using test::patternBody;
using test::Reply;
using test::TestServer;

class InetFlow : public ::testing::TestWithParam<Mode>
{
protected:
    TestServer server;
};

TEST_P(InetFlow, NotificationsComeInOrderWithAddressesAndCountsOnTheWorkingThread)
{
    server.route("/hello", Reply::ok("hello"));
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/hello");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.readAll(request), "hello");

    const std::vector<std::uint32_t> expected = {
        INTERNET_STATUS_RESOLVING_NAME,       INTERNET_STATUS_NAME_RESOLVED,
        INTERNET_STATUS_CONNECTING_TO_SERVER, INTERNET_STATUS_CONNECTED_TO_SERVER,
        INTERNET_STATUS_SENDING_REQUEST,      INTERNET_STATUS_REQUEST_SENT,
        INTERNET_STATUS_RECEIVING_RESPONSE,   INTERNET_STATUS_RESPONSE_RECEIVED};
    auto events = client.recorder.events();
    std::vector<std::uint32_t> statuses;
    for (const auto &event : events) {
        if (event.status != INTERNET_STATUS_REQUEST_COMPLETE)
            statuses.push_back(event.status);
    }
    ASSERT_EQ(statuses, expected);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(events[i].text, "127.0.0.1") << events[i].status;

    const auto received = server.requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(events[5].number, received[0].head.size()) << "request bytes";
    const std::string head = client.rawHeaders(request);
    EXPECT_EQ(events[7].number, head.size()) << "response header bytes";

    const bool async = GetParam() == Mode::Async;
    // One completion for the send and one for each read that had to wait.
    EXPECT_EQ(client.recorder.count(INTERNET_STATUS_REQUEST_COMPLETE),
              async ? 1 + client.pendingReads : 0);
    for (const auto &event : events) {
        if (async)
            EXPECT_NE(event.thread, std::this_thread::get_id()) << event.status;
        else
            EXPECT_EQ(event.thread, std::this_thread::get_id()) << event.status;
    }
    InternetCloseHandle(request);
}

TEST_P(InetFlow, HeaderBlockIsTheServersTextWithCrLfAndAnEmptyLastLine)
{
    Reply odd = Reply::status("HTTP/1.0 404 Not Found", "gone");
    odd.headers = {"X-Odd:   spaced  value ", "x-lower: yes"};
    odd.closeAfter = true;
    server.route("/odd", odd);
    Reply bare;
    bare.raw = "HTTP/1.1 200 OK\nA: b\nContent-Length: 2\n\nok";
    server.route("/bare", bare);

    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/odd");
    ASSERT_TRUE(client.send(request)) << client.error;
    EXPECT_EQ(client.status(request), 404u);
    EXPECT_EQ(client.rawHeaders(request),
              "HTTP/1.0 404 Not Found\r\nX-Odd:   spaced  value \r\nx-lower: yes\r\n"
              "Content-Length: 4\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(client.readAll(request), "gone");

    // Too small a buffer tells the size needed, terminator included.
    std::uint32_t length = 10;
    char small[10];
    EXPECT_FALSE(HttpQueryInfo(request, HTTP_QUERY_RAW_HEADERS_CRLF, small, &length, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(length, client.rawHeaders(request).size() + 1);
    char text[8];
    length = sizeof text;
    ASSERT_TRUE(HttpQueryInfo(request, HTTP_QUERY_STATUS_CODE, text, &length, nullptr));
    EXPECT_STREQ(text, "404");
    InternetCloseHandle(request);

    // A block past the component's 8 KiB buffer arrives whole; the size needed is told.
    Reply big = Reply::ok("big");
    big.headers.push_back("X-Big: " + std::string(9000, 'b'));
    server.route("/big", big);
    request = client.open("/big");
    ASSERT_TRUE(client.send(request));
    std::vector<char> buffer(8192);
    length = 8192;
    EXPECT_FALSE(
        HttpQueryInfo(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    const std::string bigHead = client.rawHeaders(request);
    EXPECT_EQ(length, bigHead.size() + 1);
    EXPECT_NE(bigHead.find("X-Big: " + std::string(9000, 'b') + "\r\n"), std::string::npos);
    InternetCloseHandle(request);

    request = client.open("/bare");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.rawHeaders(request), "HTTP/1.1 200 OK\r\nA: b\r\nContent-Length: 2\r\n\r\n");
    EXPECT_EQ(client.readAll(request), "ok");
    InternetCloseHandle(request);
}

TEST_P(InetFlow, RedirectsAreFollowedAndNotifiedAndOnlyTheFinalHeadersKept)
{
    server.route("/first", Reply::redirect(302, "/second?step=2"));
    server.route("/second", Reply::redirect(301, server.url("/final") + "#frag"));
    server.route("/final", Reply::ok("arrived"));
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/first");
    ASSERT_TRUE(client.send(request)) << client.error;

    std::vector<std::string> targets;
    for (const auto &event : client.recorder.events()) {
        if (event.status == INTERNET_STATUS_REDIRECT)
            targets.push_back(event.text);
    }
    EXPECT_EQ(targets,
              (std::vector<std::string>{server.url("/second?step=2"), server.url("/final#frag")}));
    const std::string head = client.rawHeaders(request);
    EXPECT_TRUE(head.starts_with("HTTP/1.1 200 OK\r\n")) << head;
    EXPECT_EQ(head.find("Location"), std::string::npos) << head;
    EXPECT_EQ(client.readAll(request), "arrived");
    const auto received = server.requests();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1].target, "/second?step=2");
    EXPECT_EQ(received[2].target, "/final");
    InternetCloseHandle(request);
}

TEST_P(InetFlow, NoAutoRedirectKeepsTheRedirectAsTheAnswer)
{
    server.route("/first", Reply::redirect(302, "/second"));
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/first", "GET", INTERNET_FLAG_NO_AUTO_REDIRECT);
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.status(request), 302u);
    EXPECT_NE(client.rawHeaders(request).find("Location: /second\r\n"), std::string::npos);
    EXPECT_EQ(client.recorder.count(INTERNET_STATUS_REDIRECT), 0);
    EXPECT_EQ(client.readAll(request), "moved");
    EXPECT_EQ(server.requestCount("/second"), 0);
    InternetCloseHandle(request);
}

TEST_P(InetFlow, RedirectLoopEndsInRedirectFailed)
{
    server.route("/loop", Reply::redirect(302, "/loop"));
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/loop");
    EXPECT_FALSE(client.send(request));
    EXPECT_EQ(client.error, ERROR_HTTP_REDIRECT_FAILED);
    EXPECT_LE(server.requestCount("/loop"), 25);
    InternetCloseHandle(request);
}

TEST_P(InetFlow, BodiesArriveWholeInReadsOfAtMostTheAskedSize)
{
    const struct {
        std::size_t size;
        Reply::Framing framing;
        std::size_t chunkSize;
        std::uint32_t readSize;
    } cases[] = {
        {0, Reply::Framing::ContentLength, 0, 16384},
        {1, Reply::Framing::Chunked, 0, 16384},
        {100 * 1000, Reply::Framing::ContentLength, 0, 4096},
        {100 * 1000, Reply::Framing::Chunked, 7000, 16384},
        {100 * 1000, Reply::Framing::CloseDelimited, 0, 10000},
        // Far more than the facility buffers: the transfer has to wait for the reader.
        {3 * 1024 * 1024, Reply::Framing::Chunked, 65536, 16384},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, framing " +
                     std::to_string(static_cast<int>(c.framing)));
        Reply reply = Reply::ok(patternBody(c.size));
        reply.framing = c.framing;
        reply.chunkSize = c.chunkSize;
        server.route("/body", reply);
        Client client(GetParam(), server.port());
        HINTERNET request = client.open("/body");
        ASSERT_TRUE(client.send(request)) << client.error;
        std::vector<std::uint32_t> sizes;
        const std::string body = client.readAll(request, c.readSize, &sizes);
        EXPECT_EQ(body.size(), c.size);
        EXPECT_TRUE(body == patternBody(c.size)) << "body differs";
        for (const auto size : sizes)
            EXPECT_LE(size, c.readSize);
        // The end stays the end.
        std::uint32_t got = 1;
        char byte;
        EXPECT_TRUE(InternetReadFile(request, &byte, 1, &got));
        EXPECT_EQ(got, 0u);
        InternetCloseHandle(request);
    }
}

TEST(InetAsync, ReadOfDataNotYetArrivedIsPendingAndFillsTheBufferOnCompletion)
{
    TestServer server;
    Reply reply = Reply::ok("abcdef");
    reply.cut = Reply::Cut::Stall;
    reply.cutAfter = 3;
    reply.stallFor = std::chrono::milliseconds(400);
    server.route("/slow", reply);
    Client client(Mode::Async, server.port());
    HINTERNET request = client.open("/slow");
    ASSERT_TRUE(client.send(request));

    std::string body;
    char buffer[16];
    std::uint32_t got = 0;
    bool sawPending = false;
    while (body.size() < 6) {
        std::memset(buffer, 0, sizeof buffer);
        got = 0xFFFF;
        if (!InternetReadFile(request, buffer, sizeof buffer, &got)) {
            ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
            sawPending = true;
            InternetAsyncResult result{};
            ASSERT_TRUE(client.recorder.takeCompletion(result));
            ASSERT_EQ(result.dwResult, 1u);
        }
        ASSERT_GT(got, 0u);
        ASSERT_LE(got, sizeof buffer);
        body.append(buffer, got);
    }
    EXPECT_TRUE(sawPending) << "the stall should have made a read wait";
    EXPECT_EQ(body, "abcdef");
    InternetCloseHandle(request);
}

TEST_P(InetFlow, KeepAliveSendsTwoRequestsOverOneConnection)
{
    server.route("/one", Reply::ok("1"));
    server.route("/two", Reply::ok("22"));
    Client client(GetParam(), server.port());
    for (const char *path : {"/one", "/two"}) {
        HINTERNET request = client.open(path);
        ASSERT_TRUE(client.send(request));
        client.readAll(request);
        InternetCloseHandle(request);
    }
    EXPECT_EQ(server.connectionCount(), 1);
    // The second request needs no new connection and so reports none.
    EXPECT_EQ(client.recorder.count(INTERNET_STATUS_CONNECTING_TO_SERVER), 1);
    EXPECT_EQ(client.recorder.count(INTERNET_STATUS_SENDING_REQUEST), 2);
}

TEST_P(InetFlow, ClosedConnectionIsReportedWhileTheRequestIsOpen)
{
    Reply reply = Reply::ok("bye");
    reply.closeAfter = true;
    server.route("/bye", reply);
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/bye");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.readAll(request), "bye");
    // The close may come just after the last byte.
    for (int i = 0; i < 100 && client.recorder.count(INTERNET_STATUS_CONNECTION_CLOSED) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::uint32_t length = 0;
        HttpQueryInfo(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr);
    }
    const auto statuses = client.recorder.statuses();
    const auto closing =
        std::find(statuses.begin(), statuses.end(), INTERNET_STATUS_CLOSING_CONNECTION);
    ASSERT_NE(closing, statuses.end());
    ASSERT_NE(closing + 1, statuses.end());
    EXPECT_EQ(*(closing + 1), INTERNET_STATUS_CONNECTION_CLOSED);
    InternetCloseHandle(request);
}

TEST_P(InetFlow, ExtraHeadersAcceptListAndBodyReachTheServer)
{
    server.route("/echo", Reply::ok("seen"));
    Client client(GetParam(), server.port());
    const char *accept[] = {"text/html", "image/*", "", "never/sent", nullptr};
    HINTERNET request = client.open("/echo?q=1", "GET", 0, accept);
    ASSERT_TRUE(
        client.send(request, "X-One: 1\r\nX-Two: two words\r\n\r\n", std::string("pay\0load", 8)));
    client.readAll(request);
    InternetCloseHandle(request);

    request = client.open("/echo", "POST");
    ASSERT_TRUE(client.send(request));
    client.readAll(request);
    InternetCloseHandle(request);

    const auto received = server.requests();
    ASSERT_EQ(received.size(), 2u);
    const auto &get = received[0];
    EXPECT_EQ(get.method, "GET");
    EXPECT_EQ(get.target, "/echo?q=1");
    EXPECT_EQ(get.version, "HTTP/1.1");
    EXPECT_EQ(get.header("X-One"), "1");
    EXPECT_EQ(get.header("X-Two"), "two words");
    EXPECT_EQ(get.header("Accept"), "text/html, image/*");
    EXPECT_EQ(get.header("User-Agent"), "Quorvel test agent");
    EXPECT_EQ(get.body, std::string("pay\0load", 8));
    EXPECT_FALSE(get.header("Content-Type")) << "no type was asked for";
    EXPECT_FALSE(get.header("Expect"));

    const auto &post = received[1];
    EXPECT_EQ(post.method, "POST");
    EXPECT_FALSE(post.header("Accept")) << "no accept list, no Accept header";
    EXPECT_EQ(post.header("Content-Length"), "0");
}

TEST_P(InetFlow, ObjectNameIsSentAsAValidRequestTarget)
{
    server.route("/a%20b/c%22d", Reply::ok("x"));
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/a b/c\"d?x=%41&y=100%");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.status(request), 200u);
    InternetCloseHandle(request);
    const auto received = server.requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].target, "/a%20b/c%22d?x=%41&y=100%25");
}

TEST_P(InetFlow, InterimResponseIsNotifiedAndNotKept)
{
    Reply reply = Reply::ok("done");
    reply.interimStatusLines = {"HTTP/1.1 100 Continue"};
    server.route("/interim", reply);
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/interim");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.recorder.count(INTERNET_STATUS_INTERMEDIATE_RESPONSE), 1);
    EXPECT_TRUE(client.rawHeaders(request).starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(client.readAll(request), "done");
    InternetCloseHandle(request);
}

TEST_P(InetFlow, ProxySessionSendsEverythingToTheProxy)
{
    server.route("http://far.invalid/page", Reply::ok("via proxy"));
    Client client(GetParam(), 0, "far.invalid", INTERNET_OPEN_TYPE_PROXY,
                  "127.0.0.1:" + std::to_string(server.port()));
    HINTERNET request = client.open("/page");
    ASSERT_TRUE(client.send(request)) << client.error;
    EXPECT_EQ(client.readAll(request), "via proxy");
    const auto events = client.recorder.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].text, "127.0.0.1") << "the proxy's name is the one looked up";
    InternetCloseHandle(request);
}

INSTANTIATE_TEST_SUITE_P(Modes, InetFlow, ::testing::Values(Mode::Sync, Mode::Async), modeName);

} // namespace
} // namespace quorvel::platform::inet::testing
