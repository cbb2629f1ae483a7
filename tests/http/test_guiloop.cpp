// A widget-owned component's asynchronous transfers driven by the GUI thread's event loop: where
// its handlers and response stages run, a body still arriving, and the loop's handling of
// connections kept between requests.

#include "http/advhttp.h"
#include "http/guiloopdriver.h"
#include "inet/inet.h"
#include "inet/inet_loop.h"

#include "eventjournal.h"

#include "support/pump.h"
#include "support/testserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QString>
#include <QWidget>
#include <QtGlobal>

using namespace quorvel;
using quorvel::test::pumpFor;
using quorvel::test::pumpUntil;
using quorvel::test::Reply;
using quorvel::test::TestServer;
using namespace std::chrono_literals;
namespace inet = quorvel::platform::inet;

namespace
{

// Qt's warnings while alive; a socket notifier left on a closed socket warns.
struct QtWarnings {
    static inline std::mutex mutex;
    static inline std::vector<std::string> seen;
    QtMessageHandler previous;

    QtWarnings()
    {
        seen.clear();
        previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
                std::lock_guard lock(mutex);
                seen.push_back(text.toStdString());
            });
    }
    ~QtWarnings() { qInstallMessageHandler(previous); }
};

using quorvel::test::EventJournal;

TEST(AdvHttpOnGuiLoop, AWholeResponseAndABodyStillArrivingAreBothHandledOnTheGuiThread)
{
    TestServer server;
    server.route("/small", Reply::ok("small page"));
    const std::string big = quorvel::test::patternBody(60000);
    Reply stalling = Reply::ok(big);
    stalling.cut = Reply::Cut::Stall;
    stalling.cutAfter = 20000;
    stalling.stallFor = 300ms;
    server.route("/stalling", stalling);

    QWidget owner;
    TAdvHttp http(&owner);
    http.setRaiseExceptions(false);
    EventJournal recorded;
    const std::thread::id gui = std::this_thread::get_id();

    // Twice: the second request goes over the kept connection.
    for (int i = 1; i <= 2; ++i) {
        SCOPED_TRACE(i);
        recorded = EventJournal{};
        recorded.watch(http);
        http.setURL(server.url("/small"));
        EXPECT_TRUE(http.Execute(false));
        ASSERT_TRUE(pumpUntil([&] { return recorded.count("Complete") == 1 && !http.Busy(); }));
        EXPECT_EQ(http.Response(), "small page");
        EXPECT_EQ(http.LastError(), 0u);
        EXPECT_EQ(recorded.stageOfFirstBlock(), TAdvHttp::TResponseStage::Body);
        for (std::size_t e = 0; e < recorded.threads.size(); ++e)
            EXPECT_EQ(recorded.threads[e], gui) << recorded.events[e];
        EXPECT_EQ(recorded.count("Connecting"), i == 1 ? 1 : 0);
        EXPECT_EQ(recorded.events.back(), "Complete");
    }

    // The body stalls after its first part: the GUI thread must not wait for the rest, and the
    // rest still arrives through its loop.
    recorded = EventJournal{};
    recorded.watch(http);
    http.setURL(server.url("/stalling"));
    EXPECT_TRUE(http.Execute(false));
    ASSERT_TRUE(pumpUntil([&] { return recorded.count("Complete") == 1 && !http.Busy(); }));
    EXPECT_TRUE(http.Response() == big);
    EXPECT_EQ(http.LastError(), 0u);
    EXPECT_EQ(recorded.stageOfFirstBlock(), TAdvHttp::TResponseStage::Body);
    for (std::size_t e = 0; e < recorded.threads.size(); ++e)
        EXPECT_EQ(recorded.threads[e], gui) << recorded.events[e];
}

TEST(AdvHttpOnGuiLoop, AConnectionTheServerClosesWhileKeptIsDroppedQuietly)
{
    TestServer server;
    // The answer is whole (its length is given), then the server closes the connection the
    // client keeps for the next request.
    Reply closing = Reply::ok("short-lived");
    closing.cut = Reply::Cut::Close;
    closing.cutAfter = std::string("short-lived").size();
    server.route("/closing", closing);

    QtWarnings warnings;
    QWidget owner;
    TAdvHttp http(&owner);
    http.setRaiseExceptions(false);
    int completes = 0;
    http.setOnRequestComplete([&](TAdvHttp *) { ++completes; });
    http.setURL(server.url("/closing"));
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(http.Execute(false));
        ASSERT_TRUE(pumpUntil([&] { return completes == i && !http.Busy(); }));
        EXPECT_EQ(http.Response(), "short-lived");
        EXPECT_EQ(http.LastError(), 0u);
        // The close reaches the kept connection meanwhile.
        pumpFor(100);
    }
    std::lock_guard lock(QtWarnings::mutex);
    for (const std::string &text : QtWarnings::seen)
        EXPECT_EQ(text.find("QSocketNotifier"), std::string::npos) << text;
}

// The facility alone on the loop: which responses read at once, and a command from another
// thread.
TEST(InetOnLoop, ResponseIsCompleteOnlyWhenNoReadCouldWait)
{
    TestServer server;
    server.route("/whole", Reply::ok(quorvel::test::patternBody(3000)));
    Reply stalled = Reply::ok(quorvel::test::patternBody(3000));
    stalled.cut = Reply::Cut::Stall;
    stalled.cutAfter = 1000;
    server.route("/stalled", stalled);
    Reply closed = Reply::ok(quorvel::test::patternBody(3000));
    closed.closeAfter = true;
    server.route("/closed", closed);

    static std::atomic<int> completions{0};
    static std::thread::id notifiedOn;
    completions = 0;
    inet::HINTERNET session = inet::InternetOpenOnLoop("agent", inet::INTERNET_OPEN_TYPE_PRECONFIG,
                                                       "", std::make_unique<GuiLoopDriver>());
    ASSERT_NE(session, nullptr);
    inet::InternetSetStatusCallback(session, [](inet::HINTERNET, std::uintptr_t,
                                                std::uint32_t status, const void *, std::uint32_t) {
        notifiedOn = std::this_thread::get_id();
        if (status == inet::INTERNET_STATUS_REQUEST_COMPLETE)
            ++completions;
    });
    inet::HINTERNET connection = inet::InternetConnect(session, "127.0.0.1", server.port(), nullptr,
                                                       nullptr, inet::INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_NE(connection, nullptr);

    auto send = [&](const char *path, bool fromAnotherThread) {
        inet::HINTERNET request =
            inet::HttpOpenRequest(connection, "GET", path, nullptr, nullptr, nullptr, 0, 1);
        const int before = completions;
        auto start = [request] {
            EXPECT_FALSE(inet::HttpSendRequest(request, nullptr, 0, nullptr, 0));
            EXPECT_EQ(inet::GetLastError(), inet::ERROR_IO_PENDING);
        };
        if (fromAnotherThread)
            std::thread(start).join();
        else
            start();
        EXPECT_TRUE(pumpUntil([&] { return completions > before; }));
        EXPECT_EQ(notifiedOn, std::this_thread::get_id());
        return request;
    };

    // The whole body comes soon after the head; how soon is the machine's business.
    inet::HINTERNET whole = send("/whole", true);
    EXPECT_TRUE(pumpUntil([&] { return inet::InternetResponseComplete(whole); }));
    inet::InternetCloseHandle(whole);

    inet::HINTERNET waiting = send("/stalled", false);
    pumpFor(50);
    EXPECT_FALSE(inet::InternetResponseComplete(waiting)) << "the body stalls";
    inet::InternetCloseHandle(waiting);

    inet::HINTERNET held = send("/closed", false);
    pumpFor(100);
    EXPECT_FALSE(inet::InternetResponseComplete(held))
        << "the close waits for the reader to take the body";
    inet::InternetCloseHandle(held);

    inet::InternetCloseHandle(connection);
    inet::InternetCloseHandle(session);
    server.stop();
}

} // namespace
