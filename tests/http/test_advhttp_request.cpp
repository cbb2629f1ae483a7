// Requests against the scripted server on 127.0.0.1: both modes, the response stage, failures,
// cancelling and destruction while a request runs.

#include "http/advhttp.h"

#include "http/credentialprompt.h"
#include "inet/inet.h"
#include "support/pump.h"
#include "support/testserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QWidget>

using namespace quorvel;
using quorvel::test::pumpFor;
using quorvel::test::pumpUntil;
using quorvel::test::Reply;
using quorvel::test::TestServer;
namespace inet = quorvel::platform::inet;
using namespace std::chrono_literals;

namespace
{

class AdvHttpRequest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        http = new TAdvHttp(&owner);
        http->setConnectTimeout(2000);
        http->setRaiseExceptions(false);
        http->setDefaultUi(false);
        http->setOnRequestComplete([this](TAdvHttp *h) {
            ++completes;
            busyAtComplete = h->Busy();
            headersAtComplete = h->ResponseHeaders();
        });
        http->setOnError([this](TAdvHttp *h) { errors.push_back(h->LastError()); });
    }

    void TearDown() override { delete http; }

    // An asynchronous request that the server has received but does not answer yet, so no
    // response stage runs. A widget-owned component's transfers move with the GUI thread's
    // events.
    void startRequestWithoutAnswer()
    {
        Reply slow = Reply::ok("late");
        slow.delayBeforeHeaders = 3s;
        server.route("/slow", slow);
        http->setURL(server.url("/slow"));
        EXPECT_TRUE(http->Execute(false));
        ASSERT_TRUE(pumpUntil([this] { return server.requestCount("/slow") >= 1; }));
    }

    QWidget owner;
    TAdvHttp *http = nullptr;
    TestServer server;
    int completes = 0;
    bool busyAtComplete = true;
    StringList headersAtComplete;
    std::vector<std::uint32_t> errors;
};

TEST_F(AdvHttpRequest, SynchronousExecuteHasRunTheWholeRequestOnReturn)
{
    server.route("/page", Reply::ok(std::string("hel\0lo", 6)));
    http->setURL(server.url("/page"));
    EXPECT_TRUE(http->Execute(true));
    EXPECT_EQ(completes, 1);
    EXPECT_FALSE(busyAtComplete);
    EXPECT_FALSE(http->Busy());
    ASSERT_FALSE(headersAtComplete.empty());
    EXPECT_EQ(headersAtComplete[0], "HTTP/1.1 200 OK");
    EXPECT_EQ(headersAtComplete.lines().back(), "");
    EXPECT_EQ(http->StatusCode(), 200);
    EXPECT_EQ(http->Response(), std::string("hel\0lo", 6));
    EXPECT_EQ(http->Text(), "hel"); // the body read as text ends at its first zero byte
    EXPECT_EQ(http->LastError(), 0u);
    EXPECT_EQ(http->RequestHandle(), nullptr);
    EXPECT_EQ(http->ConnectionHandle(), nullptr);
    EXPECT_NE(http->SessionHandle(), nullptr);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].header("User-Agent").value_or(""), "Merrowin WinInet Component");
}

TEST_F(AdvHttpRequest, AsynchronousHandlersRunOnGuiThreadAndBusyFallsBeforeComplete)
{
    server.route("/", Reply::ok("async body"));
    const auto gui = std::this_thread::get_id();
    std::string connectingTo;
    bool connectingOnGui = false;
    bool completeOnGui = false;
    http->setOnConnectingToServer([&](TAdvHttp *h) {
        connectingTo = h->ServerAddress();
        connectingOnGui = std::this_thread::get_id() == gui;
    });
    http->setOnRequestComplete([&](TAdvHttp *h) {
        ++completes;
        busyAtComplete = h->Busy();
        completeOnGui = std::this_thread::get_id() == gui;
    });
    http->setURL(server.url("/"));
    EXPECT_TRUE(http->Execute(false));
    // Handlers wait for this thread, so nothing has finished yet.
    EXPECT_TRUE(http->Busy());
    EXPECT_EQ(http->OpenFlags(), inet::INTERNET_FLAG_ASYNC);
    ASSERT_TRUE(pumpUntil([&] { return completes == 1; }));
    EXPECT_TRUE(connectingOnGui);
    EXPECT_NE(connectingTo.find("127.0.0.1"), std::string::npos);
    EXPECT_TRUE(completeOnGui);
    EXPECT_FALSE(busyAtComplete);
    EXPECT_EQ(http->Response(), "async body");
    EXPECT_TRUE(errors.empty());
}

TEST_F(AdvHttpRequest, SessionIsReusedAcrossRequestsOfBothModes)
{
    server.route("/", Reply::ok("x"));
    http->setURL(server.url("/"));
    for (bool synchronous : {false, false, true, false}) {
        SCOPED_TRACE(synchronous);
        const int before = completes;
        EXPECT_TRUE(http->Execute(synchronous));
        ASSERT_TRUE(pumpUntil([&] { return completes == before + 1 && !http->Busy(); }));
        EXPECT_EQ(http->Response(), "x");
    }
    pumpFor(50);
    EXPECT_EQ(completes, 4);
    EXPECT_TRUE(errors.empty());
}

TEST_F(AdvHttpRequest, UnresolvableHostReportsErrorAndStaysBusyUntilCancel)
{
    http->setURL("http://no-such-host..invalid/");
    EXPECT_TRUE(http->Execute(false));
    ASSERT_TRUE(pumpUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors[0], inet::ERROR_INTERNET_NAME_NOT_RESOLVED);
    EXPECT_EQ(http->LastError(), inet::ERROR_INTERNET_NAME_NOT_RESOLVED);
    pumpFor(50);
    EXPECT_TRUE(http->Busy());
    http->Cancel();
    EXPECT_FALSE(http->Busy());
    EXPECT_FALSE(http->Cancelled());
    EXPECT_EQ(http->RequestHandle(), nullptr);
    EXPECT_EQ(completes, 0);
}

TEST_F(AdvHttpRequest, CancelInsideErrorHandlerEndsFailedRequests)
{
    // The main window cancels from OnError while the notifying thread waits for it.
    http->setOnError([this](TAdvHttp *h) {
        errors.push_back(h->LastError());
        h->Cancel();
    });
    TestServer refusing;
    const std::string closedPort = refusing.url("/");
    refusing.stop();
    for (const std::string &url : {std::string("http://no-such-host..invalid/"), closedPort}) {
        SCOPED_TRACE(url);
        errors.clear();
        http->setURL(url);
        EXPECT_TRUE(http->Execute(false));
        ASSERT_TRUE(pumpUntil([&] { return !http->Busy(); }));
        pumpFor(20);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0], 0u);
        EXPECT_EQ(completes, 0);
    }
}

TEST_F(AdvHttpRequest, CancelFromOnErrorEndsAResponseStageThatStoppedEarly)
{
    // The worker stops without reaching the body loop; a Cancel that came meanwhile must still
    // end the request, or the owner waits on Busy for ever.
    server.route("/secret", Reply::challenge());
    server.route("/proxied", Reply::proxyChallenge());
    struct Case {
        const char *name;
        const char *path;
        bool raise;
    } cases[] = {
        {"handler of OnNeedAuth raises", "/secret", false},
        {"handler of OnNeedProxyAuth raises with RaiseExceptions", "/proxied", true},
    };
    http->setOnError([this](TAdvHttp *h) {
        errors.push_back(h->LastError());
        h->Cancel();
    });
    const TNotifyEvent refuse = [](TAdvHttp *) { throw std::runtime_error("no"); };
    http->setOnNeedAuth(refuse);
    http->setOnNeedProxyAuth(refuse);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        http->setRaiseExceptions(c.raise);
        http->setURL(server.url(c.path));
        EXPECT_TRUE(http->Execute(false));
        ASSERT_TRUE(pumpUntil([&] { return !errors.empty() && !http->Busy(); }));
        EXPECT_FALSE(http->Cancelled());
        EXPECT_EQ(http->RequestHandle(), nullptr);
    }
}

TEST_F(AdvHttpRequest, CompletionArrivingAfterCancelStartsNothing)
{
    ASSERT_NO_FATAL_FAILURE(startRequestWithoutAnswer());
    http->Cancel();
    ASSERT_FALSE(http->Busy());
    // Notifications the facility had already sent when the request was closed.
    for (inet::InternetAsyncResult late :
         {inet::InternetAsyncResult{1, 0}, inet::InternetAsyncResult{0, 12029}}) {
        http->HandleStatus(inet::INTERNET_STATUS_REQUEST_COMPLETE, &late, sizeof late);
    }
    pumpFor(100);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(completes, 0);
    EXPECT_EQ(http->Stage(), TAdvHttp::TResponseStage::Idle);
    EXPECT_FALSE(http->Busy());
}

TEST_F(AdvHttpRequest, AuthenticationGivesUpAfterItsRetries)
{
    struct Case {
        int retries;
        bool synchronous;
    } cases[] = {{3, false}, {0, false}, {2, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.retries);
        TestServer challenger;
        challenger.route("/secret", Reply::challenge());
        completes = 0;
        errors.clear();
        int needAuth = 0;
        http->setOnNeedAuth([&](TAdvHttp *h) {
            EXPECT_EQ(h->StatusCode(), 401);
            ++needAuth;
        });
        http->setAuthRetries(c.retries);
        http->setURL(challenger.url("/secret"));
        EXPECT_TRUE(http->Execute(c.synchronous));
        ASSERT_TRUE(pumpUntil([&] { return !errors.empty(); }));
        pumpFor(50);
        EXPECT_EQ(challenger.requestCount("/secret"), c.retries + 1);
        EXPECT_EQ(needAuth, c.retries + 1);
        EXPECT_EQ(http->AuthAttempts(), c.retries);
        EXPECT_EQ(errors, std::vector<std::uint32_t>{inet::ERROR_INTERNET_OPERATION_CANCELLED});
        EXPECT_EQ(completes, 0);
        // Nobody cancelled: the failed request keeps its handles until its owner ends it.
        EXPECT_TRUE(http->Busy());
        http->Cancel();
        ASSERT_TRUE(pumpUntil([&] { return !http->Busy(); }));
    }
}

TEST_F(AdvHttpRequest, CredentialPromptAnswerIsSentAgainAndNoPromptGivesUpAsCancelled)
{
    server.route("/private", [](const quorvel::test::ReceivedRequest &request) {
        if (request.header("Authorization").value_or("") == "Basic YW5uOnB3")
            return Reply::ok("welcome");
        return Reply::challenge();
    });
    http->setDefaultUi(true);
    // The prompt below refers to this test's locals: never left installed after it.
    const struct Uninstall {
        ~Uninstall() { installCredentialPrompt({}); }
    } uninstall;
    struct Case {
        bool installed;
        bool synchronous;
    } cases[] = {{true, false}, {true, true}, {false, false}, {false, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.installed << c.synchronous);
        completes = 0;
        errors.clear();
        const int sentBefore = server.requestCount("/private");
        int prompts = 0;
        installCredentialPrompt(
            c.installed ? CredentialPrompt([&](const std::string &host, bool proxy,
                                               std::string &user, std::string &password) {
                ++prompts;
                // A window may be shown: the GUI thread asks.
                EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
                EXPECT_EQ(host, "127.0.0.1");
                EXPECT_FALSE(proxy);
                user = "ann";
                password = "pw";
                return true;
            })
                        : CredentialPrompt());
        http->setURL(server.url("/private"));
        EXPECT_TRUE(http->Execute(c.synchronous));
        if (c.installed) {
            ASSERT_TRUE(pumpUntil([&] { return completes == 1; }));
            EXPECT_EQ(prompts, 1);
            EXPECT_EQ(http->StatusCode(), 200);
            EXPECT_EQ(http->Response(), "welcome");
            EXPECT_EQ(http->AuthAttempts(), 1);
            EXPECT_TRUE(errors.empty());
        } else {
            ASSERT_TRUE(pumpUntil([&] { return !errors.empty(); }));
            pumpFor(50);
            EXPECT_EQ(server.requestCount("/private") - sentBefore, 1);
            EXPECT_EQ(http->AuthAttempts(), 0);
            EXPECT_EQ(errors, std::vector<std::uint32_t>{inet::ERROR_INTERNET_OPERATION_CANCELLED});
            EXPECT_EQ(completes, 0);
        }
        http->Cancel();
        ASSERT_TRUE(pumpUntil([&] { return !http->Busy(); }));
    }
}

TEST_F(AdvHttpRequest, ProxyCredentialsSetBeforeTheRequestAreUsed)
{
    // The scripted server plays the proxy; the target is never contacted.
    server.route("http://localhost:1/x", [](const quorvel::test::ReceivedRequest &request) {
        if (request.header("Proxy-Authorization").value_or("") == "Basic cHg6c2VjcmV0")
            return Reply::ok("via proxy");
        return Reply::proxyChallenge();
    });
    http->setProxy("127.0.0.1:" + std::to_string(server.port()));
    http->setProxyUserName("px");
    http->setProxyPassword("secret");
    int needProxyAuth = 0;
    http->setOnNeedProxyAuth([&](TAdvHttp *) { ++needProxyAuth; });
    http->setURL("http://localhost:1/x");
    EXPECT_TRUE(http->Execute(false));
    ASSERT_TRUE(pumpUntil([&] { return completes == 1 || !errors.empty(); }));
    EXPECT_EQ(completes, 1);
    EXPECT_EQ(needProxyAuth, 0);
    EXPECT_EQ(http->Response(), "via proxy");
}

TEST_F(AdvHttpRequest, HeaderBlockOverTheLimitIsAnErrorWithItsOwnText)
{
    // Past what the facility accepts, no header line is taken for the response: the request
    // fails, and the log gets a real message instead of an empty row.
    Reply big = Reply::ok("body after huge headers");
    for (int i = 0; i < 40; ++i)
        big.headers.push_back("X-Big-" + std::to_string(i) + ": " + std::string(8000, 'h'));
    server.route("/big", big);
    http->setURL(server.url("/big"));
    for (bool synchronous : {true, false}) {
        SCOPED_TRACE(synchronous);
        completes = 0;
        errors.clear();
        http->Execute(synchronous);
        ASSERT_TRUE(pumpUntil([&] { return !errors.empty(); }));
        pumpFor(50);
        EXPECT_EQ(errors, std::vector<std::uint32_t>{inet::ERROR_HTTP_HEADERS_TOO_LARGE});
        EXPECT_NE(TAdvHttp::ErrorText(errors[0]), "");
        EXPECT_EQ(completes, 0);
        http->Cancel();
        EXPECT_FALSE(http->Busy());
    }
}

TEST_F(AdvHttpRequest, EmptyBodyFiresNoDataAvailable)
{
    server.route("/empty", Reply::ok(""));
    int chunks = 0;
    http->setOnDataAvailable([&](TAdvHttp *) { ++chunks; });
    http->setURL(server.url("/empty"));
    EXPECT_TRUE(http->Execute(false));
    ASSERT_TRUE(pumpUntil([&] { return completes == 1; }));
    EXPECT_EQ(chunks, 0);
    EXPECT_TRUE(http->Response().empty());
    EXPECT_EQ(http->TotalBytesRead(), 0);
}

TEST_F(AdvHttpRequest, LargeBodyArrivesInChunksOfAtMost16384)
{
    const std::string body = quorvel::test::patternBody(40000);
    Reply chunked = Reply::ok(body);
    chunked.framing = Reply::Framing::Chunked;
    chunked.chunkSize = 5000;
    server.route("/fixed", Reply::ok(body));
    server.route("/chunked", chunked);
    for (const char *path : {"/fixed", "/chunked"}) {
        for (bool synchronous : {true, false}) {
            SCOPED_TRACE(std::string(path) + (synchronous ? " sync" : " async"));
            completes = 0;
            std::string assembled;
            int chunks = 0;
            bool consistent = true;
            http->setOnDataAvailable([&](TAdvHttp *h) {
                ++chunks;
                consistent = consistent && h->BytesRead() > 0 && h->BytesRead() <= 16384 &&
                             h->ChunkOffset() == static_cast<int>(assembled.size());
                assembled += h->Response().substr(h->ChunkOffset(), h->BytesRead());
                consistent =
                    consistent && h->TotalBytesRead() == static_cast<int>(assembled.size());
            });
            http->setURL(server.url(path));
            EXPECT_TRUE(http->Execute(synchronous));
            ASSERT_TRUE(pumpUntil([&] { return completes == 1; }));
            EXPECT_TRUE(consistent);
            EXPECT_GE(chunks, 3);
            EXPECT_TRUE(assembled == body);
            EXPECT_TRUE(http->Response() == body);
        }
    }
}

TEST_F(AdvHttpRequest, ThrowingDataHandlerEndsTheReadButRequestCompletes)
{
    server.route("/long", Reply::ok(quorvel::test::patternBody(100000)));
    int chunks = 0;
    http->setOnDataAvailable([&](TAdvHttp *) {
        ++chunks;
        throw std::runtime_error("stop reading");
    });
    http->setURL(server.url("/long"));
    EXPECT_TRUE(http->Execute(false));
    ASSERT_TRUE(pumpUntil([&] { return completes == 1; }));
    pumpFor(50);
    EXPECT_EQ(chunks, 1);
    EXPECT_EQ(completes, 1);
    EXPECT_FALSE(busyAtComplete);
    EXPECT_EQ(http->RequestHandle(), nullptr);
    EXPECT_EQ(static_cast<int>(http->Response().size()), http->BytesRead());
}

TEST_F(AdvHttpRequest, HandlerExceptionWithoutCallerBecomesOnError)
{
    server.route("/", Reply::ok("x"));
    http->setURL(server.url("/"));
    const auto fail = [](TAdvHttp *) { throw std::runtime_error("bad handler"); };
    // A status handler throws into the facility's thread; a data handler into the worker.
    for (bool statusEvent : {true, false}) {
        SCOPED_TRACE(statusEvent);
        completes = 0;
        errors.clear();
        http->setRaiseExceptions(!statusEvent);
        http->setOnConnectedToServer(statusEvent ? TNotifyEvent(fail) : TNotifyEvent());
        http->setOnDataAvailable(statusEvent ? TNotifyEvent() : TNotifyEvent(fail));
        EXPECT_TRUE(http->Execute(false));
        ASSERT_TRUE(pumpUntil([&] { return !errors.empty() && completes == 1; }));
        EXPECT_EQ(errors[0], inet::ERROR_INTERNET_INTERNAL_ERROR);
        ASSERT_TRUE(pumpUntil([&] { return !http->Busy(); }));
    }
}

TEST_F(AdvHttpRequest, BrokenBodyReportsErrorThenCompletesWithWhatArrived)
{
    const std::string body = quorvel::test::patternBody(60000);
    Reply broken = Reply::ok(body);
    broken.cut = Reply::Cut::Reset;
    broken.cutAfter = 20000;
    server.route("/broken", broken);
    http->setOnError([this](TAdvHttp *h) {
        errors.push_back(h->LastError());
        h->Cancel();
    });
    http->setURL(server.url("/broken"));
    for (bool synchronous : {true, false}) {
        SCOPED_TRACE(synchronous);
        completes = 0;
        errors.clear();
        EXPECT_TRUE(http->Execute(synchronous));
        ASSERT_TRUE(pumpUntil([&] { return completes == 1; }));
        EXPECT_FALSE(http->Busy());
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0], 0u);
        EXPECT_LE(http->Response().size(), 20000u);
        EXPECT_TRUE(body.compare(0, http->Response().size(), http->Response()) == 0);
    }
}

TEST_F(AdvHttpRequest, RedirectIsReportedAndFinalResponseKept)
{
    server.route("/old", Reply::redirect(302, "/new"));
    server.route("/new", Reply::ok("moved here"));
    std::string redirectedTo;
    http->setOnRedirect([&](TAdvHttp *h) { redirectedTo = h->RedirectURL(); });
    http->setURL(server.url("/old"));
    EXPECT_TRUE(http->Execute(false));
    ASSERT_TRUE(pumpUntil([&] { return completes == 1; }));
    EXPECT_NE(redirectedTo.find("/new"), std::string::npos);
    EXPECT_EQ(http->URLPath(), "/old");
    ASSERT_FALSE(http->ResponseHeaders().empty());
    EXPECT_EQ(http->ResponseHeaders()[0], "HTTP/1.1 200 OK");
    EXPECT_EQ(http->Response(), "moved here");
}

TEST_F(AdvHttpRequest, RequestHeadersAndTextBodyReachTheServer)
{
    server.route("/echo", Reply::ok("ok"));
    http->setRequestHeaders(StringList{"X-First: 1", "X-Second: two"});
    http->setText("payload");
    http->setURL(server.url("/echo?q=1"));
    EXPECT_TRUE(http->Execute(true));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/echo?q=1");
    EXPECT_EQ(requests[0].header("X-First").value_or(""), "1");
    EXPECT_EQ(requests[0].header("X-Second").value_or(""), "two");
    EXPECT_EQ(requests[0].body, "payload");
}

TEST_F(AdvHttpRequest, AcceptListHoldsAtMostHundredTypesAndEndsAtAnEmptyOne)
{
    server.route("/", Reply::ok("x"));
    http->setURL(server.url("/"));
    StringList many;
    for (int i = 0; i < 150; ++i)
        many.add("type/t" + std::to_string(i));
    struct Case {
        const char *name;
        StringList types;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    } cases[] = {
        {"150 entries", many, {"type/t0", "type/t99"}, {"type/t100", "type/t149"}},
        {"empty at 2",
         StringList{"text/a", "text/b", "", "text/d"},
         {"text/a", "text/b"},
         {"text/d"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = server.requests().size();
        http->setAcceptTypes(c.types);
        EXPECT_TRUE(http->Execute(true));
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), before + 1);
        const std::string accept = requests.back().header("Accept").value_or("");
        for (const std::string &type : c.present)
            EXPECT_NE(accept.find(type), std::string::npos) << type;
        for (const std::string &type : c.absent)
            EXPECT_EQ(accept.find(type), std::string::npos) << type;
    }
}

TEST_F(AdvHttpRequest, CancelWithoutWorkerClosesAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(startRequestWithoutAnswer());
    EXPECT_EQ(http->Stage(), TAdvHttp::TResponseStage::Sending);
    http->Cancel();
    EXPECT_FALSE(http->Busy());
    EXPECT_FALSE(http->Cancelled());
    EXPECT_EQ(http->RequestHandle(), nullptr);
    EXPECT_EQ(http->ConnectionHandle(), nullptr);
}

TEST_F(AdvHttpRequest, CancelDuringTheBodyEndsTheReadAndStillCompletes)
{
    // The body stalls after its first bytes, so a read waits for the facility when the owner
    // cancels; a Cancel that only marked the request would leave it Busy.
    Reply stalled = Reply::ok(quorvel::test::patternBody(60000));
    stalled.cut = Reply::Cut::Stall;
    stalled.cutAfter = 20000;
    server.route("/stalled", stalled);
    http->setURL(server.url("/stalled"));
    for (bool fromDataHandler : {true, false}) {
        SCOPED_TRACE(fromDataHandler);
        completes = 0;
        int chunks = 0;
        http->setOnDataAvailable([&](TAdvHttp *h) {
            ++chunks;
            if (fromDataHandler)
                h->Cancel();
        });
        EXPECT_TRUE(http->Execute(false));
        ASSERT_TRUE(pumpUntil([&] { return chunks >= 1; }));
        if (!fromDataHandler) {
            pumpFor(100);
            EXPECT_TRUE(http->Busy());
            http->Cancel();
        }
        ASSERT_TRUE(pumpUntil([&] { return completes == 1; }));
        EXPECT_FALSE(busyAtComplete);
        EXPECT_FALSE(http->Cancelled());
        EXPECT_EQ(http->RequestHandle(), nullptr);
        EXPECT_EQ(static_cast<int>(http->Response().size()), http->TotalBytesRead());
        EXPECT_LE(http->Response().size(), 20000u);
        EXPECT_TRUE(errors.empty());
    }
}

TEST(AdvHttpOwnership, ComponentWithoutWidgetOwnerRunsHandlersOnTheThreadItLivesOn)
{
    // A thread of its own: the request is made there and every handler runs there, as that
    // thread takes its events; no notifier is made for it.
    TestServer server;
    server.route("/", Reply::ok("x"));
    std::thread::id requestThread;
    bool allOnThread = true;
    bool done = false;
    std::string body;
    std::thread thread([&] {
        requestThread = std::this_thread::get_id();
        // Gives this thread its event dispatcher, which Qt makes only for an event loop.
        QEventLoop loop;
        {
            TAdvHttp http;
            http.setRaiseExceptions(false);
            const auto onThread = [&](TAdvHttp *) {
                allOnThread = allOnThread && std::this_thread::get_id() == requestThread;
            };
            http.setOnConnectingToServer(onThread);
            http.setOnDataAvailable(onThread);
            http.setOnRequestComplete([&, onThread](TAdvHttp *h) {
                onThread(h);
                body = h->Response();
                done = true;
            });
            http.setURL(server.url("/"));
            EXPECT_TRUE(http.Execute(false));
            QElapsedTimer timer;
            timer.start();
            while ((!done || http.Busy()) && timer.elapsed() < 5000)
                loop.processEvents(QEventLoop::WaitForMoreEvents, 50);
            EXPECT_EQ(TAdvHttp::NotifyWindow(), nullptr);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    // Nothing is asked of this thread.
    thread.join();
    ASSERT_TRUE(done);
    EXPECT_TRUE(allOnThread);
    EXPECT_EQ(body, "x");
}

TEST(AdvHttpDestruction, DestroyingDuringSlowRequestReturnsAndFiresNothingAfter)
{
    enum class Stage { WaitingForHeaders, GuiBusyWithAResponse, WaitingForRead };
    for (Stage stage :
         {Stage::WaitingForHeaders, Stage::GuiBusyWithAResponse, Stage::WaitingForRead}) {
        SCOPED_TRACE(static_cast<int>(stage));
        TestServer server;
        Reply reply = Reply::ok(quorvel::test::patternBody(60000));
        if (stage == Stage::WaitingForHeaders) {
            reply.delayBeforeHeaders = 10s;
        } else {
            reply.cut = Reply::Cut::Stall;
            reply.cutAfter = 20000;
        }
        server.route("/slow", reply);

        QWidget owner;
        auto *http = new TAdvHttp(&owner);
        http->setRaiseExceptions(false);
        std::atomic<bool> destroyed{false};
        std::atomic<int> lateEvents{0};
        std::atomic<int> chunks{0};
        auto watch = [&](TAdvHttp *) {
            if (destroyed)
                ++lateEvents;
        };
        http->setOnRequestComplete(watch);
        http->setOnError(watch);
        http->setOnConnectionClosed(watch);
        http->setOnClosingConnection(watch);
        http->setOnDataAvailable([&](TAdvHttp *) {
            watch(nullptr);
            ++chunks;
        });
        http->setURL(server.url("/slow"));
        EXPECT_TRUE(http->Execute(false));
        ASSERT_TRUE(pumpUntil([&] { return server.requestCount("/slow") >= 1; }));
        if (stage == Stage::GuiBusyWithAResponse) {
            // The response is here, and this thread has not handled it yet.
            std::this_thread::sleep_for(200ms);
        } else if (stage == Stage::WaitingForRead) {
            ASSERT_TRUE(pumpUntil([&] { return chunks >= 1; }));
            pumpFor(100);
        }
        delete http;
        destroyed = true;
        pumpFor(100);
        EXPECT_EQ(lateEvents, 0);
        server.stop();
    }
}

TEST(AdvHttpSync, NestedHandlerCallsEachRaiseToTheirOwnCaller)
{
    // A handler that fires its own event again (through RecordError) and raises: each call's
    // exception reaches its own caller once, none is lost or delivered twice.
    QWidget owner;
    TAdvHttp http(&owner);
    int calls = 0;
    std::vector<std::string> caughtInside;
    http.setOnError([&](TAdvHttp *sender) {
        const int mine = calls++;
        if (mine % 2 == 0) {
            try {
                sender->RecordError(12029);
            } catch (const std::runtime_error &e) {
                caughtInside.push_back(e.what());
            }
        }
        throw std::runtime_error(std::to_string(mine));
    });
    std::vector<std::string> caughtOutside;
    for (int i = 0; i < 25; ++i) {
        try {
            http.RecordError(12029);
        } catch (const std::runtime_error &e) {
            caughtOutside.push_back(e.what());
        }
    }
    ASSERT_EQ(calls, 50);
    ASSERT_EQ(caughtOutside.size(), 25u);
    ASSERT_EQ(caughtInside.size(), 25u);
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(caughtOutside[i], std::to_string(2 * i));
        EXPECT_EQ(caughtInside[i], std::to_string(2 * i + 1));
    }
}

} // namespace
