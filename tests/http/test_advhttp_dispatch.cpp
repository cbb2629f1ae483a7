// Where and in which order handlers run now that a synchronous request works on the caller's
// thread and back-to-back events are handed to a GUI thread that waits awake for them; and a
// handler that ends its own component.

#include "http/advhttp.h"

#include "eventjournal.h"

#include "support/pump.h"
#include "support/testserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
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
using namespace std::chrono_literals;

namespace
{

using Journal = quorvel::test::EventJournal;

TEST(AdvHttpDispatch, SynchronousRequestFiresItsEventsInOrderOnTheCallingThread)
{
    TestServer server;
    server.route("/", Reply::ok("sync body"));
    const std::vector<std::string> first = {"Resolving", "Resolved", "Connecting", "Connected",
                                            "Sending",   "Sent",     "Receiving",  "Received",
                                            "Data",      "Complete"};
    // The second request goes over the kept connection: nothing to connect.
    const std::vector<std::string> second = {"Resolving", "Resolved", "Sending", "Sent",
                                             "Receiving", "Received", "Data",    "Complete"};

    for (bool widgetOwned : {false, true}) {
        SCOPED_TRACE(widgetOwned ? "widget-owned, GUI thread" : "no owner, a thread of its own");
        QWidget owner;
        TAdvHttp http(widgetOwned ? &owner : nullptr);
        http.setRaiseExceptions(false);
        Journal journal;
        journal.watch(http);
        http.setURL(server.url("/"));
        std::thread::id caller;
        auto twoRequests = [&] {
            caller = std::this_thread::get_id();
            for (int i = 0; i < 2; ++i)
                EXPECT_TRUE(http.Execute(true));
        };
        if (widgetOwned) {
            twoRequests();
        } else {
            std::thread thread(twoRequests);
            thread.join();
        }
        std::vector<std::string> expected = first;
        expected.insert(expected.end(), second.begin(), second.end());
        EXPECT_EQ(journal.events, expected);
        for (std::size_t i = 0; i < journal.threads.size(); ++i)
            EXPECT_EQ(journal.threads[i], caller) << journal.events[i];
        EXPECT_EQ(http.Response(), "sync body");
    }
}

TEST(AdvHttpDispatch, BackToBackEventsKeepTheirOrderFieldsAndExceptions)
{
    TestServer server;
    const std::string body = quorvel::test::patternBody(100000);
    server.route("/long", Reply::ok(body));
    QWidget owner;
    TAdvHttp http(&owner);
    http.setRaiseExceptions(false);
    std::vector<std::string> events;
    std::vector<int> offsets;
    int throwAtChunk = 0; // 0: never
    auto record = [&](const char *name) {
        return [&events, name](TAdvHttp *) { events.push_back(name); };
    };
    http.setOnReceivingResponse(record("Receiving"));
    http.setOnResponseReceived(record("Received"));
    http.setOnDataAvailable([&](TAdvHttp *h) {
        events.push_back("Data");
        offsets.push_back(h->ChunkOffset());
        if (static_cast<int>(offsets.size()) == throwAtChunk)
            throw std::runtime_error("enough");
    });
    http.setOnRequestComplete(record("Complete"));
    http.setURL(server.url("/long"));

    for (int throwAt : {0, 2}) {
        SCOPED_TRACE(throwAt);
        events.clear();
        offsets.clear();
        throwAtChunk = throwAt;
        EXPECT_TRUE(http.Execute(false));
        ASSERT_TRUE(pumpUntil([&] { return !events.empty() && events.back() == "Complete"; }));
        pumpFor(50);
        ASSERT_GE(events.size(), 4u);
        EXPECT_EQ(events[0], "Receiving");
        EXPECT_EQ(events[1], "Received");
        EXPECT_EQ(events.back(), "Complete");
        EXPECT_EQ(std::count(events.begin(), events.end(), "Complete"), 1);
        EXPECT_EQ(static_cast<std::size_t>(std::count(events.begin(), events.end(), "Data")),
                  offsets.size());
        // Each block's handler saw its own block: the offsets follow one another.
        for (std::size_t i = 1; i < offsets.size(); ++i)
            EXPECT_GT(offsets[i], offsets[i - 1]);
        if (throwAt != 0) {
            EXPECT_EQ(offsets.size(), 2u) << "the exception reached the worker and ended the read";
        } else {
            EXPECT_TRUE(http.Response() == body);
        }
        EXPECT_FALSE(http.Busy());
    }
}

TEST(AdvHttpDispatch, HandlersSeeTheStageTheirEventComesFrom)
{
    // The run tells an error while the response is read (a completion follows) from one before
    // it (none follows) by the stage: each event must come from the stage it belongs to.
    using Stage = TAdvHttp::TResponseStage;
    TestServer server;
    Reply broken = Reply::ok(quorvel::test::patternBody(60000));
    broken.cut = Reply::Cut::Reset;
    broken.cutAfter = 20000;
    server.route("/broken", broken);
    server.route("/secret", Reply::challenge());
    QWidget owner;
    TAdvHttp http(&owner);
    http.setRaiseExceptions(false);
    http.setDefaultUi(false);
    http.setAuthRetries(0);
    for (bool synchronous : {false, true}) {
        SCOPED_TRACE(synchronous);
        Journal journal;
        journal.watch(http);
        std::vector<Stage> needAuth;
        http.setOnNeedAuth([&](TAdvHttp *h) { needAuth.push_back(h->Stage()); });
        http.setURL(server.url("/broken"));
        EXPECT_TRUE(http.Execute(synchronous));
        ASSERT_TRUE(pumpUntil([&] { return journal.count("Complete") == 1; }));
        for (std::size_t i = 0; i < journal.events.size(); ++i) {
            const std::string &event = journal.events[i];
            const Stage expected = event == "Data" || event == "Error" ? Stage::Body
                                   : event == "Complete"               ? Stage::Done
                                                                       : Stage::Sending;
            if (event == "Received")
                continue; // may come once the body is being read
            EXPECT_EQ(journal.stages[i], expected) << event;
        }
        EXPECT_EQ(journal.count("Error"), 1);

        journal = Journal{};
        journal.watch(http);
        http.setURL(server.url("/secret"));
        EXPECT_TRUE(http.Execute(synchronous));
        ASSERT_TRUE(pumpUntil([&] { return journal.count("Error") == 1; }));
        EXPECT_EQ(needAuth, std::vector<Stage>{Stage::Status});
        EXPECT_EQ(journal.stages.back(), Stage::Authentication) << "giving up";
        http.Cancel();
        EXPECT_EQ(http.Stage(), Stage::Idle);
    }
}

TEST(AdvHttpDispatch, HandlerThatDestroysItsComponentEndsEverythingQuietly)
{
    enum class In { ReceivingResponse, DataAvailable, RequestComplete };
    // A short body arrives whole and its stage runs on the GUI thread, below the handler; a
    // long one is read by the worker.
    for (std::size_t size : {std::size_t{100000}, std::size_t{1000}})
        for (In in : {In::ReceivingResponse, In::DataAvailable, In::RequestComplete}) {
            SCOPED_TRACE(std::to_string(size) + " bytes, in " +
                         std::to_string(static_cast<int>(in)));
            TestServer server;
            server.route("/long", Reply::ok(quorvel::test::patternBody(size)));
            QWidget owner;
            auto *http = new TAdvHttp(&owner);
            http->setRaiseExceptions(false);
            std::atomic<bool> destroyed{false};
            std::atomic<int> late{0};
            auto destroyOrCount = [&](In here) {
                return [&, here](TAdvHttp *self) {
                    if (destroyed) {
                        ++late;
                        return;
                    }
                    if (here == in) {
                        delete self;
                        destroyed = true;
                    }
                };
            };
            http->setOnReceivingResponse(destroyOrCount(In::ReceivingResponse));
            http->setOnDataAvailable(destroyOrCount(In::DataAvailable));
            http->setOnRequestComplete(destroyOrCount(In::RequestComplete));
            http->setOnError([&](TAdvHttp *) { late += destroyed ? 1 : 0; });
            http->setOnConnectionClosed([&](TAdvHttp *) { late += destroyed ? 1 : 0; });
            http->setURL(server.url("/long"));
            EXPECT_TRUE(http->Execute(false));
            ASSERT_TRUE(pumpUntil([&] { return destroyed.load(); }));
            pumpFor(200);
            EXPECT_EQ(late, 0) << "no handler runs once destruction has begun";
        }
}

TEST(AdvHttpDispatch, OnErrorThatDestroysItsComponentAfterAHandlerRaisedEndsQuietly)
{
    // The body arrives whole, so its stage runs on the GUI thread; the raising data handler makes
    // the stage report the request's error, and OnError ends the component under it.
    TestServer server;
    server.route("/page", Reply::ok(quorvel::test::patternBody(1000)));
    QWidget owner;
    auto *http = new TAdvHttp(&owner);
    http->setRaiseExceptions(true);
    bool destroyed = false;
    int late = 0;
    http->setOnDataAvailable([](TAdvHttp *) { throw std::runtime_error("bad handler"); });
    http->setOnError([&](TAdvHttp *self) {
        if (destroyed) {
            ++late;
            return;
        }
        destroyed = true;
        delete self;
    });
    http->setURL(server.url("/page"));
    EXPECT_TRUE(http->Execute(false));
    ASSERT_TRUE(pumpUntil([&] { return destroyed; }));
    pumpFor(200);
    EXPECT_EQ(late, 0);
}

} // namespace
