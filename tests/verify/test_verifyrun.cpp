// The run's steps against a fake window: what is requested, what each link leaves behind,
// pause and stop, the idle state afterwards, and commands that arrive during a check.

#include "runharness.h"

#include <string>
#include <vector>

using namespace quorvel;
using namespace quorvel::test;
using Strings = std::vector<std::string>;

namespace {

class VerifyRunTest : public RunHarness {
protected:
    void expectIdleToolbar()
    {
        EXPECT_TRUE(view.verifyAllEnabled);
        EXPECT_FALSE(view.pauseEnabled);
        EXPECT_FALSE(view.stopEnabled);
        EXPECT_TRUE(view.verifySelectedEnabled);
        EXPECT_EQ(view.cursor, RunCursor::Default);
        EXPECT_FALSE(run.isChecking());
    }
};

TEST_F(VerifyRunTest, SkippedLinksStillCountInTheCaptionAndTheFinishedText)
{
    server.route("/a", Reply::ok("a"));
    server.route("/c", Reply::ok("c"));
    add("A", server.url("/a"));
    add("B", "https://127.0.0.1/b");
    add("C", server.url("/c"));

    run.VerifyAll();

    EXPECT_EQ(view.captions, (Strings{"Quorvel - Checking 1 of 3", "Quorvel - Checking 2 of 3",
                                      "Quorvel - Checking 3 of 3", "Quorvel"}));
    EXPECT_EQ(view.selections, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(server.requestCount("/a"), 1);
    EXPECT_EQ(server.requestCount("/c"), 1);
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(view.status, "Finished 3 links");
    EXPECT_EQ(view.deadLinkCountText, "Total bad link count = 0");
    expectIdleToolbar();
}

TEST_F(VerifyRunTest, OnlyHttpLinksInAnyLetterCaseAreRequested)
{
    server.route("/upper", Reply::ok("u"));
    server.route("/mixed", Reply::ok("m"));
    const std::string base = server.url("");
    add("Upper", "HTTP://" + base.substr(7) + "/upper");
    add("Mixed", "Http://" + base.substr(7) + "/mixed");
    add("Blank", " " + server.url("/blank"));
    add("Secure", "https://127.0.0.1/s");
    add("Empty", "no path");

    run.VerifyAll();

    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requestCount("/upper"), 1);
    EXPECT_EQ(server.requestCount("/mixed"), 1);
    EXPECT_TRUE(view.deadNames.empty());
    EXPECT_EQ(view.status, "Finished 5 links");
}

TEST_F(VerifyRunTest, NotFoundAndFailuresAreDeadUnderTheirOwnNamesAndEverythingElseAlive)
{
    server.route("/gone11", Reply::status("HTTP/1.1 404 Not Found", "x"));
    server.route("/gone10", [](const ReceivedRequest &) {
        Reply reply;
        reply.raw = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        reply.closeAfter = true;
        return reply;
    });
    server.route("/ok", Reply::ok("fine"));
    server.route("/forbidden", Reply::status("HTTP/1.1 403 Forbidden", "no"));
    server.route("/broken", Reply::status("HTTP/1.1 500 Internal Server Error", "bad"));
    server.route("/moved", Reply::redirect(302, server.url("/ok")));
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    add("Gone11", server.url("/gone11"));
    add("Gone10", server.url("/gone10"));
    add("Refused", refused);
    add("Ok", server.url("/ok"));
    add("Forbidden", server.url("/forbidden"));
    add("Broken", server.url("/broken"));
    add("Moved", server.url("/moved"));

    run.VerifyAll();

    // Consecutive dead links catch a run that moves on before the last event was handled.
    EXPECT_EQ(view.deadNames, (Strings{"Gone11", "Gone10", "Refused"}));
    EXPECT_EQ(view.deadFiles, (Strings{"/fav/Gone11.url", "/fav/Gone10.url", "/fav/Refused.url"}));
    EXPECT_EQ(view.notFound, 2);
    EXPECT_EQ(view.otherErrors, 1);
    EXPECT_EQ(view.count404sText, "404 count = 2");
    EXPECT_EQ(view.otherErrorsText, "Other errors = 1");
    EXPECT_EQ(view.deadLinkCountText, "Total bad link count = 3");
    EXPECT_EQ(server.requestCount("/ok"), 2);
    ASSERT_FALSE(view.headers.empty());
    EXPECT_EQ(view.headers[0], "HTTP/1.1 200 OK");
    EXPECT_EQ(view.status, "Finished 7 links");
    expectIdleToolbar();
}

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

TEST_F(VerifyRunTest, NotFoundStatusLineIsAppendedToTheLinksStatusText)
{
    server.route("/gone", Reply::status("HTTP/1.1 404 Not Found"));
    add("Gone", server.url("/gone"));
    std::string during;
    clock.onWait = [&] {
        if (during.empty() && !http.Busy())
            during = view.status;
    };
    run.VerifyAll();
    EXPECT_EQ(during, "Gone:" + server.url("/gone") + " : HTTP/1.1 404 NOT FOUND");
}

TEST_F(VerifyRunTest, RefusedConnectionLogsItsErrorLine)
{
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    add("Refused", refused);
    view.headers = StringList{"old"};
    run.VerifyAll();
    ASSERT_FALSE(view.events.empty());
    EXPECT_EQ(view.events.back(), TAdvHttp::ErrorText(http.LastError()));
    EXPECT_EQ(view.count404sText, "404 count = 0");
    EXPECT_FALSE(http.Busy());
}

TEST_F(VerifyRunTest, AUrlTheComponentCannotSplitCountsAsAnErrorAndTheRunGoesOn)
{
    server.route("/after", Reply::ok("a"));
    add("NoHost", "http:no-host");
    add("BadPort", "http://127.0.0.1:99999/");
    add("After", server.url("/after"));

    EXPECT_NO_THROW(run.VerifyAll());

    EXPECT_EQ(view.deadNames, (Strings{"NoHost", "BadPort"}));
    EXPECT_EQ(view.otherErrors, 2);
    EXPECT_EQ(server.requestCount("/after"), 1);
    EXPECT_EQ(view.status, "Finished 3 links");
    expectIdleToolbar();
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

TEST_F(VerifyRunTest, ChecksAndRunsStartedDuringARunAreIgnored)
{
    server.route("/a", Reply::ok("a"));
    server.route("/b", Reply::ok("b"));
    add("A", server.url("/a"));
    add("B", server.url("/b"));
    int nested = 0;
    clock.onWait = [&] {
        ++nested;
        EXPECT_TRUE(run.isChecking());
        view.selected = 1;
        run.BrowseOne();
        run.VerifyAll();
    };

    run.VerifyAll();

    EXPECT_GT(nested, 0);
    EXPECT_EQ(server.requestCount("/a"), 1);
    EXPECT_EQ(server.requestCount("/b"), 1);
    EXPECT_EQ(view.captions.size(), 3u);
    EXPECT_EQ(view.status, "Finished 2 links");
}

TEST_F(VerifyRunTest, ASingleCheckAddsToTheTallyOfTheLastRun)
{
    server.route("/gone", Reply::status("HTTP/1.1 404 Not Found"));
    add("Gone", server.url("/gone"));
    add("Ok", "https://127.0.0.1/");
    run.VerifyAll();
    ASSERT_EQ(view.notFound, 1);
    view.captions.clear();

    view.selected = 0;
    run.BrowseOne();

    EXPECT_EQ(view.deadNames, (Strings{"Gone", "Gone"}));
    EXPECT_EQ(view.notFound, 2);
    EXPECT_EQ(view.count404sText, "404 count = 2");
    EXPECT_EQ(view.deadLinkCountText, "Total bad link count = 2");
    EXPECT_TRUE(view.captions.empty());
    EXPECT_EQ(view.cursor, RunCursor::Default);

    // A link that is not requested shows nothing and keeps the status text.
    view.status = "kept";
    view.selected = 1;
    run.BrowseOne();
    EXPECT_EQ(view.status, "kept");
    EXPECT_EQ(server.requestCount("/gone"), 2);

    // Without a selection only the cursor and the total are set.
    view.selected = -1;
    view.deadLinkCountText.clear();
    run.BrowseOne();
    EXPECT_EQ(view.deadLinkCountText, "Total bad link count = 2");
    EXPECT_EQ(view.status, "kept");
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

TEST_F(VerifyRunTest, APageThatKeepsAskingForCredentialsIsAnOtherErrorNotAResult)
{
    server.route("/private", Reply::challenge());
    add("Private", server.url("/private"));
    http.setDefaultUi(false);
    http.setAuthRetries(3);

    run.VerifyAll();

    EXPECT_EQ(view.deadNames, Strings{"Private"});
    EXPECT_EQ(view.otherErrors, 1);
    EXPECT_EQ(view.notFound, 0);
    EXPECT_GE(server.requestCount("/private"), 2);
    EXPECT_TRUE(view.headers.empty());
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
