// The HTTP facility when things go wrong: network failures, stalls, closing during transfers,
// bad handles, authentication and the message table.
#include "inet/inet.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "inet/inet_timeouts.h"
#include "support/testserver.h"
#include "test_inet_client.h"

namespace quorvel::platform::inet::testing
{
namespace
{

using namespace std::chrono_literals;
using test::patternBody;
using test::ReceivedRequest;
using test::Reply;
using test::TestServer;

// A port on 127.0.0.1 that nothing listens on: bound, read back and released.
std::uint16_t refusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class ShortReceiveTimeout
{
public:
    ShortReceiveTimeout() { setReceiveTimeout(1s); }
    ~ShortReceiveTimeout() { setReceiveTimeout(30s); }
};

class InetFailure : public ::testing::TestWithParam<Mode>
{
protected:
    // "/secret" answers only a request that carries "user:pw" (Base64 below); others are
    // challenged for the realm "vault".
    void routeSecretForUserPw()
    {
        server.route("/secret", [](const ReceivedRequest &request) {
            if (request.header("Authorization") == "Basic dXNlcjpwdw==")
                return Reply::ok("welcome");
            return Reply::challenge("vault");
        });
    }

    TestServer server;
};

TEST_P(InetFailure, SendFailuresGiveTheirOwnCodes)
{
    ShortReceiveTimeout shortTimeout;
    Reply reset;
    reset.action = Reply::Action::Reset;
    Reply silent;
    silent.action = Reply::Action::CloseWithoutAnswer;
    Reply garbage;
    garbage.raw = "SPEAKING NO HTTP\r\n\r\n";
    garbage.closeAfter = true;
    Reply stalled = Reply::ok("late");
    stalled.delayBeforeHeaders = 10s;
    server.route("/reset", reset);
    server.route("/silent", silent);
    server.route("/garbage", garbage);
    server.route("/stalled", stalled);

    const struct {
        const char *name;
        std::string host;
        std::uint16_t port;
        const char *path;
        std::uint32_t error;
    } cases[] = {
        {"refused", "127.0.0.1", refusedPort(), "/", ERROR_INTERNET_CANNOT_CONNECT},
        {"unknown name", "no-such-host.invalid", server.port(), "/",
         ERROR_INTERNET_NAME_NOT_RESOLVED},
        {"not a host name", "bad host/x", server.port(), "/", ERROR_INTERNET_NAME_NOT_RESOLVED},
        {"reset", "127.0.0.1", server.port(), "/reset", ERROR_INTERNET_CONNECTION_RESET},
        {"closed unanswered", "127.0.0.1", server.port(), "/silent",
         ERROR_HTTP_INVALID_SERVER_RESPONSE},
        {"no HTTP", "127.0.0.1", server.port(), "/garbage", ERROR_HTTP_INVALID_SERVER_RESPONSE},
        {"stalled", "127.0.0.1", server.port(), "/stalled", ERROR_INTERNET_TIMEOUT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Client client(GetParam(), c.port, c.host);
        HINTERNET request = client.open(c.path);
        EXPECT_FALSE(client.send(request));
        EXPECT_EQ(client.error, c.error);
        // No answer, so nothing to query or read.
        std::uint32_t length = 0;
        EXPECT_FALSE(
            HttpQueryInfo(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
        InternetCloseHandle(request);
    }
    EXPECT_EQ(server.requestCount("/"), 0);
}

TEST_P(InetFailure, BodyCutShortDeliversWhatArrivedThenTheError)
{
    ShortReceiveTimeout shortTimeout;
    const struct {
        const char *name;
        Reply::Cut cut;
        std::uint32_t error;
    } cases[] = {
        {"reset", Reply::Cut::Reset, ERROR_INTERNET_CONNECTION_RESET},
        {"closed early", Reply::Cut::Close, ERROR_INTERNET_CONNECTION_ABORTED},
        {"stalled", Reply::Cut::Stall, ERROR_INTERNET_TIMEOUT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Reply reply = Reply::ok(patternBody(50000));
        reply.cut = c.cut;
        reply.cutAfter = 20000;
        server.route("/cut", reply);
        Client client(GetParam(), server.port());
        HINTERNET request = client.open("/cut");
        ASSERT_TRUE(client.send(request)) << client.error;
        std::string body;
        char buffer[4096];
        std::uint32_t got = 0;
        while (client.read(request, buffer, sizeof buffer, got) && got > 0)
            body.append(buffer, got);
        EXPECT_EQ(client.error, c.error);
        // A reset may throw away bytes the server had sent; what did arrive is right.
        if (c.cut != Reply::Cut::Reset) {
            EXPECT_EQ(body.size(), 20000u);
        }
        EXPECT_TRUE(body == patternBody(50000).substr(0, body.size()));
        InternetCloseHandle(request);
    }
}

TEST_P(InetFailure, ClosingDuringATransferReturnsPromptlyAndEndsIt)
{
    Reply reply = Reply::ok(patternBody(1000));
    reply.cut = Reply::Cut::Stall;
    reply.cutAfter = 10;
    server.route("/stall", reply);
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/stall");
    ASSERT_TRUE(client.send(request));

    char buffer[64];
    std::uint32_t got = 0;
    ASSERT_TRUE(client.read(request, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 10u);

    std::atomic<bool> readEnded{false};
    std::uint32_t readError = 0;
    std::thread reader;
    if (GetParam() == Mode::Sync) {
        // The reader waits for bytes that do not come until the handle is closed.
        reader = std::thread([&] {
            std::uint32_t n = 0;
            char local[64];
            if (!InternetReadFile(request, local, sizeof local, &n))
                readError = GetLastError();
            readEnded = true;
        });
        std::this_thread::sleep_for(100ms);
        EXPECT_FALSE(readEnded);
    } else {
        EXPECT_FALSE(InternetReadFile(request, buffer, sizeof buffer, &got));
        EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    const auto completionsBefore = client.recorder.count(INTERNET_STATUS_REQUEST_COMPLETE);
    EXPECT_TRUE(InternetCloseHandle(request));
    if (reader.joinable()) {
        reader.join();
        EXPECT_EQ(readError, ERROR_INTERNET_OPERATION_CANCELLED);
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(client.recorder.count(INTERNET_STATUS_REQUEST_COMPLETE), completionsBefore)
        << "a closed request completes no more";
    std::uint32_t length = 0;
    EXPECT_FALSE(HttpQueryInfo(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(InetAsyncCallback, CloseWhileTheCallbackIsBlockedDoesNotWaitForIt)
{
    // The component's callback waits for the GUI thread, which may be closing the request.
    TestServer server;
    server.route("/x", Reply::ok("x"));
    Client client(Mode::Async, server.port());
    // Shared, because the callback outlives the test's wait for it.
    auto entered = std::make_shared<std::promise<HINTERNET>>();
    auto release = std::make_shared<std::promise<void>>();
    auto left = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    auto once = std::make_shared<std::atomic<bool>>(false);
    client.recorder.setHook([=](HINTERNET handle, const Event &event) {
        if (event.status == INTERNET_STATUS_RESPONSE_RECEIVED && !once->exchange(true)) {
            entered->set_value(handle);
            released.wait_for(10s);
            left->set_value();
        }
    });
    HINTERNET request = client.open("/x");
    EXPECT_FALSE(HttpSendRequest(request, nullptr, 0, nullptr, 0));
    auto inCallback = entered->get_future();
    ASSERT_EQ(inCallback.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(inCallback.get(), request);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(InternetCloseHandle(request));
    EXPECT_TRUE(InternetCloseHandle(client.connection));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "close waited for the callback";
    release->set_value();
    EXPECT_EQ(left->get_future().wait_for(10s), std::future_status::ready);
    client.recorder.setHook(nullptr);
}

TEST(InetAsyncCallback, CallbackMayReadAndCloseItsOwnRequest)
{
    TestServer server;
    server.route("/x", Reply::ok("contents"));
    Client client(Mode::Async, server.port());
    auto readInCallback = std::make_shared<std::promise<std::string>>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    client.recorder.setHook([=](HINTERNET handle, const Event &event) {
        if (event.status != INTERNET_STATUS_REQUEST_COMPLETE || done->exchange(true))
            return;
        char buffer[64];
        std::uint32_t got = 0;
        std::string text;
        if (InternetReadFile(handle, buffer, sizeof buffer, &got))
            text.assign(buffer, got);
        else
            text = "pending " + std::to_string(GetLastError());
        InternetCloseHandle(handle);
        readInCallback->set_value(text);
    });
    HINTERNET request = client.open("/x");
    EXPECT_FALSE(HttpSendRequest(request, nullptr, 0, nullptr, 0));
    auto result = readInCallback->get_future();
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
    const std::string text = result.get();
    EXPECT_TRUE(text == "contents" || text == "pending 997") << text;
    client.recorder.setHook(nullptr);
}

// The session loops' threads of this process, as the kernel counts them.
int loopThreads()
{
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        count += name == "inet loop";
    }
    return count;
}

TEST(InetAsyncSession, ItsLoopThreadEndsWithTheSessionWhoeverClosesIt)
{
    // An address literal, so no name is looked up beside the loop.
    TestServer server;
    server.route("/x", Reply::ok("x"));
    for (bool fromItsOwnCallback : {false, true}) {
        SCOPED_TRACE(fromItsOwnCallback);
        HINTERNET session =
            InternetOpen("agent", INTERNET_OPEN_TYPE_PRECONFIG, "", INTERNET_FLAG_ASYNC);
        ASSERT_NE(session, nullptr);
        EXPECT_EQ(loopThreads(), 1);
        static HINTERNET closing = nullptr;
        static std::promise<bool> *closed = nullptr;
        std::promise<bool> closedPromise;
        closing = fromItsOwnCallback ? session : nullptr;
        closed = &closedPromise;
        InternetSetStatusCallback(session, [](HINTERNET, std::uintptr_t, std::uint32_t status,
                                              const void *, std::uint32_t) {
            if (status == INTERNET_STATUS_REQUEST_COMPLETE && closed) {
                std::promise<bool> *done = std::exchange(closed, nullptr);
                done->set_value(closing ? InternetCloseHandle(closing) : true);
            }
        });
        HINTERNET connection = InternetConnect(session, "127.0.0.1", server.port(), nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        HINTERNET request =
            HttpOpenRequest(connection, "GET", "/x", nullptr, nullptr, nullptr, 0, 1);
        EXPECT_FALSE(HttpSendRequest(request, nullptr, 0, nullptr, 0));
        auto result = closedPromise.get_future();
        ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
        EXPECT_TRUE(result.get());
        if (!fromItsOwnCallback) {
            EXPECT_TRUE(InternetCloseHandle(session));
            EXPECT_EQ(loopThreads(), 0) << "the close returned before its loop had ended";
        } else {
            // The loop ends as its callback returns.
            for (int i = 0; i < 500 && loopThreads() != 0; ++i)
                std::this_thread::sleep_for(10ms);
            EXPECT_EQ(loopThreads(), 0);
            EXPECT_FALSE(InternetCloseHandle(session)) << "closed once already";
        }
    }
}

TEST_P(InetFailure, AuthenticationPromptAnswerIsUsedByTheResend)
{
    routeSecretForUserPw();
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/secret");

    setCredentialPrompt(nullptr);
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.status(request), 401u);
    EXPECT_EQ(InternetErrorDlg(nullptr, request, 0, 7, nullptr), ERROR_CANCELLED)
        << "no prompt installed";

    std::vector<std::string> asked;
    bool answer = false;
    setCredentialPrompt(
        [&](const std::string &host, bool proxy, std::string &user, std::string &password) {
            asked.push_back(host + (proxy ? " proxy" : " server"));
            user = "user";
            password = "pw";
            return answer;
        });
    EXPECT_EQ(InternetErrorDlg(nullptr, request, 0, 7, nullptr), ERROR_CANCELLED)
        << "the user cancelled";
    answer = true;
    EXPECT_EQ(InternetErrorDlg(nullptr, request, 0, 7, nullptr), ERROR_INTERNET_FORCE_RETRY);
    EXPECT_EQ(asked, (std::vector<std::string>{"127.0.0.1 server", "127.0.0.1 server"}));

    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.status(request), 200u);
    EXPECT_EQ(client.readAll(request), "welcome");
    EXPECT_EQ(InternetErrorDlg(nullptr, request, 0, 7, nullptr), ERROR_SUCCESS)
        << "nothing to ask once answered";
    EXPECT_EQ(server.requestCount("/secret"), 2) << "the challenge told the scheme: no probing";
    setCredentialPrompt(nullptr);
    InternetCloseHandle(request);
}

TEST_P(InetFailure, ConnectionCredentialsAreReadAgainAtEachSend)
{
    routeSecretForUserPw();
    Client client(GetParam(), server.port());
    HINTERNET request = client.open("/secret");
    const std::string wrong = "nobody";
    InternetSetOption(client.connection, INTERNET_OPTION_USERNAME, wrong.c_str(),
                      static_cast<std::uint32_t>(wrong.size()));
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.status(request), 401u) << "a wrong user gets the challenge back";

    InternetSetOption(client.connection, INTERNET_OPTION_USERNAME, "user", 5);
    InternetSetOption(client.connection, INTERNET_OPTION_PASSWORD, "pw", 2);
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.status(request), 200u);
    EXPECT_EQ(client.readAll(request), "welcome");
    InternetCloseHandle(request);
}

TEST_P(InetFailure, ProxyChallengeIsAnsweredWithProxyCredentials)
{
    server.route("http://far.invalid/page", [](const ReceivedRequest &request) {
        if (request.header("Proxy-Authorization") == "Basic dXNlcjpwdw==")
            return Reply::ok("through");
        return Reply::proxyChallenge("gate");
    });
    Client client(GetParam(), 80, "far.invalid", INTERNET_OPEN_TYPE_PROXY,
                  "127.0.0.1:" + std::to_string(server.port()));

    // Proxy credentials set on the connection.
    HINTERNET request = client.open("/page");
    InternetSetOption(client.connection, INTERNET_OPTION_PROXY_USERNAME, "user", 4);
    InternetSetOption(client.connection, INTERNET_OPTION_PROXY_PASSWORD, "pw", 2);
    ASSERT_TRUE(client.send(request)) << client.error;
    EXPECT_EQ(client.status(request), 200u);
    InternetCloseHandle(request);

    // Or asked for when the proxy challenges.
    InternetSetOption(client.connection, INTERNET_OPTION_PROXY_USERNAME, "", 0);
    request = client.open("/page");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.status(request), 407u);
    bool askedForProxy = false;
    setCredentialPrompt(
        [&](const std::string &, bool proxy, std::string &user, std::string &password) {
            askedForProxy = proxy;
            user = "user";
            password = "pw";
            return true;
        });
    EXPECT_EQ(InternetErrorDlg(nullptr, request, 0, 7, nullptr), ERROR_INTERNET_FORCE_RETRY);
    setCredentialPrompt(nullptr);
    EXPECT_TRUE(askedForProxy);
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.status(request), 200u);
    EXPECT_EQ(client.readAll(request), "through");
    InternetCloseHandle(request);
}

TEST(InetHandles, ClosedMadeUpAndWrongKindHandlesAreRefused)
{
    HINTERNET session = InternetOpen("agent", INTERNET_OPEN_TYPE_PRECONFIG, "", 0);
    ASSERT_NE(session, nullptr);
    HINTERNET connection =
        InternetConnect(session, "127.0.0.1", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequest(connection, "GET", "/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_NE(request, nullptr);

    EXPECT_FALSE(HttpSendRequest(session, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_EQ(HttpOpenRequest(request, "GET", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);

    auto madeUp = reinterpret_cast<HINTERNET>(std::uintptr_t{0xdead0});
    std::uint32_t got = 0;
    char byte;
    EXPECT_FALSE(InternetReadFile(madeUp, &byte, 1, &got));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetCloseHandle(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // Reading before any answer is a state error, not a crash or a hang.
    EXPECT_FALSE(InternetReadFile(request, &byte, 1, &got));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_STATE);
    EXPECT_FALSE(InternetSetOption(request, 9999, "x", 1));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_OPTION);
    EXPECT_FALSE(HttpSendRequest(request, "no colon here\r\n", 15, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(
        HttpOpenRequest(connection, "GET /x HTTP/1.1\r\n", "/", nullptr, nullptr, nullptr, 0, 0),
        nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // Closing the session closes what was made from it.
    EXPECT_TRUE(InternetCloseHandle(session));
    EXPECT_FALSE(InternetCloseHandle(request));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetCloseHandle(connection));
    EXPECT_FALSE(InternetCloseHandle(session));
}

TEST(InetMessages, FacilityCodesHaveTextsEndingInCrLfAndOthersNone)
{
    for (const std::uint32_t code :
         {ERROR_INTERNET_TIMEOUT, ERROR_INTERNET_EXTENDED_ERROR, ERROR_INTERNET_INVALID_URL,
          ERROR_INTERNET_NAME_NOT_RESOLVED, ERROR_INTERNET_OPERATION_CANCELLED,
          ERROR_INTERNET_CANNOT_CONNECT, ERROR_INTERNET_CONNECTION_ABORTED,
          ERROR_INTERNET_CONNECTION_RESET, ERROR_HTTP_INVALID_SERVER_RESPONSE,
          ERROR_HTTP_REDIRECT_FAILED, ERROR_INTERNET_INCORRECT_HANDLE_TYPE}) {
        const std::string text = FormatMessage(code);
        EXPECT_GT(text.size(), 4u) << code;
        EXPECT_TRUE(text.ends_with("\r\n")) << code;
        EXPECT_EQ(text.find("\r\n"), text.size() - 2) << code;
    }
    EXPECT_EQ(FormatMessage(ERROR_INTERNET_TIMEOUT), "The operation timed out\r\n");
    for (const std::uint32_t code : {0u, 2u, 87u, 997u, 1223u, 12345u})
        EXPECT_EQ(FormatMessage(code), "") << code;
}

TEST(InetMessages, LastResponseInfoIsTheServersStatusLineForThisThread)
{
    TestServer server;
    server.route("/teapot", Reply::status("HTTP/1.1 418 I'm a teapot", "short and stout"));
    Client client(Mode::Sync, server.port());
    HINTERNET request = client.open("/teapot");
    ASSERT_TRUE(client.send(request));

    std::uint32_t error = 0;
    char small[4];
    std::uint32_t length = sizeof small;
    EXPECT_FALSE(InternetGetLastResponseInfo(&error, small, &length));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    char text[128];
    length = sizeof text;
    ASSERT_TRUE(InternetGetLastResponseInfo(&error, text, &length));
    EXPECT_EQ(error, 418u);
    EXPECT_STREQ(text, "HTTP/1.1 418 I'm a teapot");

    std::thread([] {
        std::uint32_t otherError = 1;
        char otherText[128] = "unchanged";
        std::uint32_t otherLength = sizeof otherText;
        EXPECT_TRUE(InternetGetLastResponseInfo(&otherError, otherText, &otherLength));
        EXPECT_EQ(otherError, 0u);
        EXPECT_STREQ(otherText, "");
    }).join();
    InternetCloseHandle(request);
}

INSTANTIATE_TEST_SUITE_P(Modes, InetFailure, ::testing::Values(Mode::Sync, Mode::Async), modeName);

} // namespace
} // namespace quorvel::platform::inet::testing
