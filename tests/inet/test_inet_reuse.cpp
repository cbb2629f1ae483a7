// What a session keeps from one request for the next (libcurl handles, connections) must carry
// nothing of the request itself; and a synchronous session, run by its callers' threads, serves
// several callers at once.
#include "inet/inet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/testserver.h"
#include "test_inet_client.h"

namespace quorvel::platform::inet::testing
{
namespace
{

using namespace std::chrono_literals;
using test::ReceivedRequest;
using test::Reply;
using test::TestServer;

class InetReuse : public ::testing::TestWithParam<Mode>
{
protected:
    TestServer server;
};

TEST_P(InetReuse, NextRequestCarriesNothingOfTheOneBefore)
{
    server.route("/secret", [](const ReceivedRequest &request) {
        if (request.header("Authorization") == "Basic dXNlcjpwdw==")
            return Reply::ok("welcome");
        return Reply::challenge("vault");
    });
    server.route("/plain", Reply::ok("plain"));
    Client client(GetParam(), server.port());

    // Everything a request can set: credentials that libcurl answers a challenge with, a body,
    // extra headers, a referrer, an accept list and a flag that adds a header.
    InternetSetOption(client.connection, INTERNET_OPTION_USERNAME, "user", 4);
    InternetSetOption(client.connection, INTERNET_OPTION_PASSWORD, "pw", 2);
    const char *accept[] = {"text/html", nullptr};
    HINTERNET first =
        HttpOpenRequest(client.connection, "PUT", "/secret", nullptr, "http://referrer.test/",
                        accept, INTERNET_FLAG_PRAGMA_NOCACHE, client.recorder.context());
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(client.send(first, "X-One: 1\r\n", "payload"));
    EXPECT_EQ(client.status(first), 200u);
    EXPECT_EQ(client.readAll(first), "welcome");
    InternetCloseHandle(first);

    // The next requests come through a connection handle without credentials.
    HINTERNET bare = InternetConnect(client.session, "127.0.0.1", server.port(), nullptr, nullptr,
                                     INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_NE(bare, nullptr);
    for (const char *path : {"/secret", "/plain"}) {
        SCOPED_TRACE(path);
        HINTERNET next = HttpOpenRequest(bare, "GET", path, nullptr, nullptr, nullptr, 0,
                                         client.recorder.context());
        ASSERT_TRUE(client.send(next));
        EXPECT_EQ(client.status(next), std::string(path) == "/secret" ? 401u : 200u)
            << "no credentials of the request before answer a challenge";
        client.readAll(next);
        InternetCloseHandle(next);
    }
    InternetCloseHandle(bare);

    const auto received = server.requests();
    ASSERT_GE(received.size(), 3u);
    for (std::size_t i = received.size() - 2; i < received.size(); ++i) {
        const auto &request = received[i];
        SCOPED_TRACE(request.target);
        EXPECT_EQ(request.method, "GET");
        EXPECT_TRUE(request.body.empty());
        for (const char *header :
             {"Authorization", "X-One", "Referer", "Pragma", "Accept", "Content-Length"})
            EXPECT_FALSE(request.header(header)) << header;
        EXPECT_EQ(request.connection, received[received.size() - 3].connection)
            << "the connection is kept";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, InetReuse, ::testing::Values(Mode::Sync, Mode::Async), modeName);

TEST(InetSyncCallers, OneSynchronousSessionServesTwoCallersAtOnce)
{
    TestServer server;
    Reply slow = Reply::ok("slow");
    slow.delayBeforeHeaders = 1500ms;
    server.route("/slow", slow);
    server.route("/fast", Reply::ok("fast"));
    Client client(Mode::Sync, server.port());

    // Each caller waits on its own thread; whichever drives the session's transfers must let
    // the other's request go on, and each hears its own notifications on its own thread.
    struct Caller {
        std::string body;
        std::chrono::steady_clock::time_point done;
        std::thread::id thread;
    };
    // The facility directly rather than the client's helpers, which keep the last error in the
    // one client both threads share.
    auto fetch = [&client](const char *path, Caller &caller) {
        caller.thread = std::this_thread::get_id();
        HINTERNET request = client.open(path);
        if (HttpSendRequest(request, nullptr, 0, nullptr, 0)) {
            char buffer[256];
            std::uint32_t got = 0;
            while (InternetReadFile(request, buffer, sizeof buffer, &got) && got > 0)
                caller.body.append(buffer, got);
        }
        caller.done = std::chrono::steady_clock::now();
        InternetCloseHandle(request);
    };
    Caller slowCaller;
    Caller fastCaller;
    std::thread slowThread(fetch, "/slow", std::ref(slowCaller));
    ASSERT_TRUE(server.waitForRequests("/slow", 1));
    std::thread fastThread(fetch, "/fast", std::ref(fastCaller));
    fastThread.join();
    slowThread.join();

    EXPECT_EQ(slowCaller.body, "slow");
    EXPECT_EQ(fastCaller.body, "fast");
    // An order rather than a time, which a busy machine stretches: the fast request, sent
    // once the slow one waits for its answer, ends first.
    EXPECT_LT(fastCaller.done, slowCaller.done) << "the fast request waited for the slow one";
    for (const Event &event : client.recorder.events())
        EXPECT_TRUE(event.thread == slowCaller.thread || event.thread == fastCaller.thread)
            << event.status;
}

} // namespace
} // namespace quorvel::platform::inet::testing
