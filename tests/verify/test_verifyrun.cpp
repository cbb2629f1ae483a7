// The run's steps against a fake window where timing matters: results that arrive late, a
// completion that follows an error, stop and pause at each point of a link.

#include "runharness.h"

#include <string>
#include <vector>

using namespace quorvel;
using namespace quorvel::test;
using Strings = std::vector<std::string>;

namespace
{

using VerifyRunTest = RunHarness;

TEST_F(VerifyRunTest, TheNextLinkIsNotTakenBeforeTheLastResultWasClassified)
{
    server.route("/gone", Reply::status("HTTP/1.1 404 Not Found", std::string(50000, 'x')));
    server.route("/ok", Reply::ok("fine"));
    for (const char *name : {"Gone1", "Ok1", "Gone2", "Ok2"})
        add(name, server.url(name[0] == 'G' ? "/gone" : "/ok"));
    clock.pumpWhileSleeping = false;
    clock.settleAfterPumpMs = 20;

    run.VerifyAll();

    EXPECT_EQ(view.deadNames, (Strings{"Gone1", "Gone2"}));
    EXPECT_EQ(view.status, "Finished 4 links");
}

TEST_F(VerifyRunTest, StopDuringARequestEndsAtTheNextLinkWithoutRequestingIt)
{
    server.route("/a", Reply::ok("a"));
    server.route("/gone", Reply::status("HTTP/1.1 404 Not Found"));
    add("A", server.url("/gone"));
    add("B", server.url("/a"));
    clock.onWait = [&] {
        if (!view.stop)
            run.StopToolButtonClick();
    };

    run.VerifyAll();

    EXPECT_EQ(server.requestCount("/a"), 0);
    EXPECT_EQ(view.selections, (std::vector<int>{0, 1}));
    EXPECT_EQ(view.caption, "Quorvel - Checking 1 of 2");
    EXPECT_EQ(view.deadLinkCountText, "Total bad link count = 1");
    EXPECT_EQ(view.status, "Stopped");
    EXPECT_TRUE(view.verifyAllEnabled);
    EXPECT_FALSE(view.pauseEnabled);
    EXPECT_FALSE(view.pauseIsDown);
    EXPECT_FALSE(view.stopEnabled);
    EXPECT_TRUE(view.verifySelectedEnabled);
    EXPECT_EQ(view.cursor, RunCursor::Default);
}

TEST_F(VerifyRunTest, StopDuringTheLastLinkStillFinishes)
{
    server.route("/a", Reply::ok("a"));
    add("A", server.url("/a"));
    clock.onWait = [&] { run.StopToolButtonClick(); };
    run.VerifyAll();
    EXPECT_EQ(view.status, "Finished 1 links");
    EXPECT_EQ(view.caption, "Quorvel");
}

TEST_F(VerifyRunTest, PauseThenStopEndsTheRunAndTheRequestIsStillClassified)
{
    Reply slow = Reply::status("HTTP/1.1 404 Not Found");
    slow.delayBeforeHeaders = std::chrono::milliseconds(600);
    server.route("/slow", slow);
    server.route("/b", Reply::ok("b"));
    add("Slow", server.url("/slow"));
    add("B", server.url("/b"));
    int waits = 0;
    std::string pausedText;
    clock.onWait = [&] {
        ++waits;
        if (waits == 1) {
            view.pauseIsDown = true;
            run.PauseToolButtonClick();
        } else if (waits == 3) {
            pausedText = view.status;
            EXPECT_EQ(view.cursor, RunCursor::AppStarting);
            EXPECT_TRUE(view.verifyAllEnabled);
            run.StopToolButtonClick();
        }
    };

    run.VerifyAll();

    EXPECT_EQ(pausedText, "Paused");
    // "Stopped" shows at once; the late 404 of the request in flight is then appended to it.
    EXPECT_EQ(view.status, "Stopped : HTTP/1.1 404 NOT FOUND");
    EXPECT_FALSE(view.pauseIsDown);
    EXPECT_FALSE(view.pauseEnabled);
    EXPECT_EQ(server.requestCount("/b"), 0);
    // Stopped while the slow request was in flight: the run returns only once it has ended
    // and been classified against its own link.
    EXPECT_FALSE(http.Busy());
    EXPECT_EQ(view.deadNames, Strings{"Slow"});
    EXPECT_FALSE(run.isChecking());
}

TEST_F(VerifyRunTest, PauseAfterStopForgetsTheStopAndTheRunGoesOnWhenReleased)
{
    server.route("/a", Reply::ok("a"));
    server.route("/b", Reply::ok("b"));
    add("A", server.url("/a"));
    add("B", server.url("/b"));
    int waits = 0;
    clock.onWait = [&] {
        ++waits;
        if (waits == 1) {
            run.StopToolButtonClick();
            view.pauseIsDown = true;
            run.PauseToolButtonClick();
        } else if (waits == 4) {
            view.pauseIsDown = false;
            run.PauseToolButtonClick();
        }
    };

    run.VerifyAll();

    EXPECT_EQ(server.requestCount("/b"), 1);
    EXPECT_EQ(view.status, "Finished 2 links");
    EXPECT_EQ(view.cursor, RunCursor::Default);
}

TEST_F(VerifyRunTest, ASingleCheckOfNothingRequestableOnlySetsCursorAndTotal)
{
    add("Secure", "https://127.0.0.1/");
    view.status = "kept";
    view.deadNames = {"Earlier"};
    for (int row : {0, -1}) {
        view.selected = row;
        view.deadLinkCountText.clear();
        view.cursor = RunCursor::Wait;
        run.BrowseOne();
        EXPECT_EQ(view.status, "kept");
        EXPECT_EQ(view.deadLinkCountText, "Total bad link count = 1");
        EXPECT_EQ(view.cursor, RunCursor::Default);
        EXPECT_TRUE(view.captions.empty());
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(VerifyRunTest, ABodyThatFailsAfterA404HeaderCountsBothForTheSameLink)
{
    Reply cut = Reply::status("HTTP/1.1 404 Not Found", std::string(40000, 'x'));
    cut.cut = Reply::Cut::Reset;
    cut.cutAfter = 100;
    server.route("/cut", cut);
    server.route("/next", Reply::ok("n"));
    add("Cut", server.url("/cut"));
    add("Next", server.url("/next"));
    clock.pumpWhileSleeping = false;
    clock.settleAfterPumpMs = 20;

    run.VerifyAll();

    EXPECT_EQ(view.deadNames, (Strings{"Cut", "Cut"}));
    EXPECT_EQ(view.otherErrors, 1);
    EXPECT_EQ(view.notFound, 1);
}

TEST_F(VerifyRunTest, CredentialsWrittenInOneFavoriteAreNotOfferedToTheNextLink)
{
    server.route("/mine", Reply::challenge());
    server.route("/other", Reply::challenge());
    const std::string mine = server.url("/mine");
    add("Mine", "http://bob:secret@" + mine.substr(std::string("http://").size()));
    add("Other", server.url("/other"));
    http.setDefaultUi(false);

    run.VerifyAll();

    const auto offered = [&](const std::string &path) {
        int count = 0;
        for (const ReceivedRequest &request : server.requests())
            count += request.path == path && request.header("Authorization") ? 1 : 0;
        return count;
    };
    EXPECT_GT(offered("/mine"), 0);
    ASSERT_GT(server.requestCount("/other"), 0);
    EXPECT_EQ(offered("/other"), 0);
    EXPECT_EQ(view.deadNames, (Strings{"Mine", "Other"}));
}

TEST_F(VerifyRunTest, AnEmptyCatalogueFinishesAtOnceWithTheResetTexts)
{
    view.deadNames = {"old"};
    view.deadFiles = {"/old.url"};
    view.count404sText = "404 count = 3";
    run.VerifyAll();
    EXPECT_TRUE(view.deadNames.empty());
    EXPECT_EQ(view.deadLinkCountText, "Bad link count =  0");
    EXPECT_EQ(view.count404sText, "404 count = 0");
    EXPECT_EQ(view.otherErrorsText, "Other errors = 0");
    EXPECT_EQ(view.caption, "Quorvel");
    EXPECT_EQ(view.status, "Finished 0 links");
}

} // namespace
