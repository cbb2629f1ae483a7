// The verification run driven through the real main window: captions, toolbar, cursor, lists,
// labels and status text as the user sees them, and the commands that arrive during a run.

#include "test_verifyrun_fixture.h"

#include "app/credentialdialog.h"

#include <QAction>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <functional>

using namespace quorvel;
using namespace quorvel::test;

namespace
{

class VerifyRunWindowTest : public WindowRunFixture
{
protected:
    QAction *action(const char *name)
    {
        auto *found = window_->findChild<QAction *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
};

TEST_F(VerifyRunWindowTest, BrowseToCarriesTheRunsSettings)
{
    TTfmVerify &w = open();
    TAdvHttp *http = w.findChild<TAdvHttp *>(QStringLiteral("BrowseTo"));
    ASSERT_NE(http, nullptr);
    EXPECT_EQ(http, w.BrowseTo());
    EXPECT_EQ(http->ConnectTimeout(), 10000);
    EXPECT_FALSE(http->RaiseExceptions());
    EXPECT_EQ(http->UserAgent(), "Merrowin WinInet Component");
    EXPECT_EQ(http->Method(), "GET");
    EXPECT_EQ(http->AuthRetries(), 3);
    EXPECT_EQ(http->InternetFlags(), (TInternetFlags{ifIgnoreCertCnInvalid, ifIgnoreCertDateInvalid,
                                                     ifKeepConnection, ifNoUi, ifReload}));
    EXPECT_TRUE(http->DefaultUi());
    EXPECT_EQ(http->URL(), "http://localhost/");
    EXPECT_EQ(http->HostName(), "localhost");
    EXPECT_EQ(http->URLPath(), "/");
    EXPECT_TRUE(http->UseNotifyWindow());
}

TEST_F(VerifyRunWindowTest, ARunOfThreeWithHttpsInTheMiddleCountsAllThreeAndRequestsTwo)
{
    server_.route("/a", Reply::ok("a"));
    server_.route("/c", Reply::ok("c"));
    favorites(
        {{"1 A", server_.url("/a")}, {"2 B", "https://127.0.0.1/b"}, {"3 C", server_.url("/c")}});
    TTfmVerify &w = open(false); // the real one-second waits, once
    QStringList captions;
    QObject::connect(&w, &QWidget::windowTitleChanged,
                     [&](const QString &title) { captions << title; });

    w.VerifyAllToolButton()->click();

    EXPECT_EQ(captions, (QStringList{"Quorvel - Checking 1 of 3", "Quorvel - Checking 2 of 3",
                                     "Quorvel - Checking 3 of 3", "Quorvel"}));
    EXPECT_EQ(server_.requests().size(), 2u);
    EXPECT_EQ(w.statusText(), QStringLiteral("Finished 3 links"));
    EXPECT_EQ(w.DeadLinkCount()->text(), QStringLiteral("Total bad link count = 0"));
}

TEST_F(VerifyRunWindowTest, ToolbarAndCursorFollowTheRunFromStartToFinish)
{
    server_.route("/a", Reply::ok("a"));
    favorites({{"1 A", server_.url("/a")}});
    TTfmVerify &w = open();
    bool seen = false;
    clock_.onWait = [&] {
        if (seen)
            return;
        seen = true;
        EXPECT_FALSE(w.VerifyAllToolButton()->isEnabled());
        EXPECT_TRUE(w.PauseToolButton()->isEnabled());
        EXPECT_FALSE(w.PauseToolButton()->isChecked());
        EXPECT_TRUE(w.StopToolButton()->isEnabled());
        EXPECT_FALSE(w.VerifySelectedToolButton()->isEnabled());
        EXPECT_EQ(cursorShape(), Qt::WaitCursor);
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Quorvel - Checking 1 of 1"));
        EXPECT_EQ(w.statusText(),
                  QStringLiteral("1 A:") + QString::fromStdString(server_.url("/a")));
        EXPECT_EQ(w.URL_Names()->currentRow(), 0);
        EXPECT_EQ(w.URL_List()->currentRow(), 0);
    };

    action("VerifyAll1")->trigger();

    EXPECT_TRUE(seen);
    EXPECT_TRUE(w.VerifyAllToolButton()->isEnabled());
    EXPECT_FALSE(w.PauseToolButton()->isEnabled());
    EXPECT_FALSE(w.StopToolButton()->isEnabled());
    EXPECT_TRUE(w.VerifySelectedToolButton()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quorvel"));
    EXPECT_EQ(w.statusText(), QStringLiteral("Finished 1 links"));
}

TEST_F(VerifyRunWindowTest, DeadLinksAreListedCountedAndLabelledAliveOnesAreNot)
{
    server_.route("/gone11", Reply::status("HTTP/1.1 404 Not Found", "x"));
    server_.route("/gone10", [](const ReceivedRequest &) {
        Reply reply;
        reply.raw = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        reply.closeAfter = true;
        return reply;
    });
    server_.route("/ok", Reply::ok("fine"));
    server_.route("/forbidden", Reply::status("HTTP/1.1 403 Forbidden", "no"));
    server_.route("/broken", Reply::status("HTTP/1.1 500 Internal Server Error", "bad"));
    server_.route("/moved", Reply::redirect(301, server_.url("/ok")));
    favorites({{"1 Gone11", server_.url("/gone11")},
               {"2 Ok", server_.url("/ok")},
               {"3 Forbidden", server_.url("/forbidden")},
               {"4 Gone10", server_.url("/gone10")},
               {"5 Broken", server_.url("/broken")},
               {"6 Moved", server_.url("/moved")},
               {"7 Refused", refusedUrl()}});
    TTfmVerify &w = open();

    w.VerifyAllToolButton()->click();

    EXPECT_EQ(rows(w.List404()), (QStringList{"1 Gone11", "4 Gone10", "7 Refused"}));
    EXPECT_EQ(rows(w.Deadfiles()),
              (QStringList{path("1 Gone11"), path("4 Gone10"), path("7 Refused")}));
    EXPECT_EQ(w.NotFoundCount, 2);
    EXPECT_EQ(w.OtherErrorCount, 1);
    EXPECT_EQ(w.Count404s()->text(), QStringLiteral("404 count = 2"));
    EXPECT_EQ(w.OtherErrors()->text(), QStringLiteral("Other errors = 1"));
    EXPECT_EQ(w.DeadLinkCount()->text(), QStringLiteral("Total bad link count = 3"));
    EXPECT_EQ(w.DeadLinkCount()->width(), w.DeadLinkCount()->sizeHint().width());
    // The last link failed: its error line is in the log, the memo keeps the previous headers.
    ASSERT_GE(w.Events()->count(), 1);
    EXPECT_EQ(w.Events()->rowText(w.Events()->count() - 1).toStdString(),
              TAdvHttp::ErrorText(w.BrowseTo()->LastError()));
    EXPECT_FALSE(rows(w.Events()).contains(QStringLiteral("Receiving response...")));
    EXPECT_TRUE(w.Headers()->toPlainText().isEmpty());
    EXPECT_EQ(w.statusText(), QStringLiteral("Finished 7 links"));

    // A single check of a 404 adds to that tally and shows the status line after its link.
    w.URL_List()->setCurrentRow(0);
    w.VerifySelectedToolButton()->click();
    EXPECT_EQ(w.statusText(), QStringLiteral("1 Gone11:") +
                                  QString::fromStdString(server_.url("/gone11")) +
                                  QStringLiteral(" : HTTP/1.1 404 NOT FOUND"));
    EXPECT_EQ(rows(w.List404()).size(), 4);
    EXPECT_EQ(w.Count404s()->text(), QStringLiteral("404 count = 3"));
    EXPECT_EQ(w.DeadLinkCount()->text(), QStringLiteral("Total bad link count = 4"));
    EXPECT_TRUE(w.Headers()->toPlainText().startsWith(QStringLiteral("HTTP/1.1 404 Not Found\n")));
}

// The header box of a hidden window is filled later, and a shown one at its own pace; shown or
// read, it has the last headers.
TEST_F(VerifyRunWindowTest, AHiddenWindowsHeaderBoxHasTheLastHeadersOnceShownOrRead)
{
    server_.route("/gone", Reply::status("HTTP/1.1 404 Not Found", "x"));
    server_.route("/ok", Reply::ok("fine"));
    favorites({{"1 Gone", server_.url("/gone")}, {"2 Ok", server_.url("/ok")},
               {"3 Refused", refusedUrl()}});
    TTfmVerify &w = open();
    auto *box = w.findChild<QPlainTextEdit *>(QStringLiteral("Headers"));
    ASSERT_NE(box, nullptr);
    const auto check = [&](int row) {
        w.URL_List()->setCurrentRow(row);
        w.VerifySelectedToolButton()->click();
    };

    check(0);
    w.hide();
    check(1);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_TRUE(box->toPlainText().startsWith(QStringLiteral("HTTP/1.1 200 OK\n")))
        << box->toPlainText().toStdString();

    // An error empties the box; read through the window, a hidden box already says so.
    w.hide();
    check(2);
    EXPECT_TRUE(w.Headers()->toPlainText().isEmpty());
    check(0);
    EXPECT_TRUE(w.Headers()->toPlainText().startsWith(QStringLiteral("HTTP/1.1 404 Not Found\n")));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_TRUE(box->toPlainText().startsWith(QStringLiteral("HTTP/1.1 404 Not Found\n")));

    // Shown, texts in quick succession may skip one, never the last.
    VerifyView &view = w;
    view.setHeaders(StringList{"HTTP/1.1 200 OK"});
    view.setHeaders(StringList{"HTTP/1.1 410 Gone", "Server: x"});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return box->toPlainText() == QStringLiteral("HTTP/1.1 410 Gone\nServer: x"); }))
        << box->toPlainText().toStdString();
}

TEST_F(VerifyRunWindowTest, ADoubleClickChecksTheRowClickedNotTheOneSelectedBefore)
{
    server_.route("/a", Reply::ok("a"));
    server_.route("/b", Reply::ok("b"));
    favorites({{"1 A", server_.url("/a")}, {"2 B", server_.url("/b")}});
    TTfmVerify &w = open();
    for (TSearchListBox *list : {w.URL_Names(), w.URL_List()}) {
        w.URL_List()->setCurrentRow(0);
        w.URL_Names()->setCurrentRow(0);
        const int before = server_.requestCount("/b");

        // As the system delivers a double click: press, release, double click, release.
        const QPoint onRowTwo = list->visualRowRect(1).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onRowTwo);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onRowTwo);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, onRowTwo);

        EXPECT_EQ(server_.requestCount("/b"), before + 1) << list->objectName().toStdString();
        EXPECT_EQ(w.CurrentName, "2 B");
    }
    EXPECT_EQ(server_.requestCount("/a"), 0);
}

TEST_F(VerifyRunWindowTest, PauseHoldsTheRunAndStopThenEndsIt)
{
    server_.route("/a", Reply::ok("a"));
    server_.route("/b", Reply::ok("b"));
    favorites({{"1 A", server_.url("/a")}, {"2 B", server_.url("/b")}});
    TTfmVerify &w = open();
    int waits = 0;
    clock_.onWait = [&] {
        ++waits;
        if (waits == 1) {
            w.PauseToolButton()->click();
        } else if (waits == 3) {
            EXPECT_EQ(w.statusText(), QStringLiteral("Paused"));
            EXPECT_EQ(cursorShape(), Qt::BusyCursor);
            EXPECT_TRUE(w.VerifyAllToolButton()->isEnabled());
            w.StopToolButton()->click();
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);
            EXPECT_TRUE(w.VerifySelectedToolButton()->isEnabled());
        }
    };

    w.VerifyAllToolButton()->click();

    EXPECT_EQ(w.statusText(), QStringLiteral("Stopped"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quorvel - Checking 1 of 2"));
    EXPECT_FALSE(w.PauseToolButton()->isEnabled());
    EXPECT_FALSE(w.PauseToolButton()->isChecked());
    EXPECT_FALSE(w.StopToolButton()->isEnabled());
    EXPECT_TRUE(w.VerifyAllToolButton()->isEnabled());
    EXPECT_EQ(server_.requestCount("/b"), 0);
    EXPECT_TRUE(w.StopRequested);
    EXPECT_FALSE(w.BrowseTo()->Busy());
}

TEST_F(VerifyRunWindowTest, CommandsThatStartChecksOrMovesAreIgnoredDuringARun)
{
    server_.route("/a", Reply::ok("a"));
    server_.route("/b", Reply::ok("b"));
    favorites({{"1 A", server_.url("/a")}, {"2 B", server_.url("/b")}});
    TTfmVerify &w = open();
    // A move would open its folder dialog; close any dialog so a fault shows as a failure,
    // not a hang.
    int dialogs = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            ++dialogs;
            modal->close();
        }
    });
    closer.start(20);
    bool done = false;
    clock_.onWait = [&] {
        if (done)
            return;
        done = true;
        w.URL_List()->setCurrentRow(1);
        w.PauseToolButton()->click();
        w.VerifyAllToolButton()->click(); // enabled again by the pause
        w.PauseToolButton()->click();
        for (const char *name :
             {"VerifyAll1", "VerifySelected1", "ValidateLink1", "Movedeadlinks1", "MoveDeadLinks2"})
            action(name)->trigger();
        w.MoveFilesToolButton()->click();
        w.URL_ListDblClick();
        w.URL_NamesDblClick();
    };

    w.VerifyAllToolButton()->click();

    EXPECT_TRUE(done);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(server_.requestCount("/a"), 1);
    EXPECT_EQ(server_.requestCount("/b"), 1);
    EXPECT_EQ(rows(w.URL_Names()), (QStringList{"1 A", "2 B"}));
    EXPECT_EQ(w.statusText(), QStringLiteral("Finished 2 links"));
}

TEST_F(VerifyRunWindowTest, AUrlThatCannotBeSplitIsAnErrorWithoutABoxAndTheRunGoesOn)
{
    server_.route("/b", Reply::ok("b"));
    favorites({{"1 Bad", "http://127.0.0.1:99999/"}, {"2 B", server_.url("/b")}});
    TTfmVerify &w = open();

    w.VerifyAllToolButton()->click();

    EXPECT_TRUE(errors_.isEmpty()) << errors_.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(rows(w.List404()), QStringList{"1 Bad"});
    EXPECT_EQ(w.OtherErrors()->text(), QStringLiteral("Other errors = 1"));
    EXPECT_EQ(server_.requestCount("/b"), 1);
    EXPECT_EQ(w.statusText(), QStringLiteral("Finished 2 links"));
    EXPECT_TRUE(w.VerifyAllToolButton()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(VerifyRunWindowTest, APageAskingForCredentialsIsAnOtherErrorWhetherPromptIsCancelledOrFails)
{
    server_.route("/private", Reply::challenge());
    favorites({{"1 Private", server_.url("/private")}});
    TTfmVerify &w = open();
    // Cancelled: given up at once. Answered with credentials the server refuses: resent until
    // the retries are used up.
    const struct {
        bool accept;
        int prompts;
    } cases[] = {{false, 1}, {true, 3}};
    for (const auto &c : cases) {
        int prompts = 0;
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<CredentialDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            ++prompts;
            if (c.accept)
                dialog->accept();
            else
                dialog->reject();
        });
        answerer.start(20);

        w.VerifyAllToolButton()->click();

        EXPECT_EQ(prompts, c.prompts) << c.accept;
        EXPECT_EQ(rows(w.List404()), QStringList{"1 Private"});
        EXPECT_EQ(w.OtherErrorCount, 1);
        EXPECT_EQ(w.NotFoundCount, 0);
        EXPECT_TRUE(w.Headers()->toPlainText().isEmpty());
    }
}

TEST_F(VerifyRunWindowTest, ExitOrCloseDuringARunEndsTheProgramOnlyAfterTheRunHasReturned)
{
    server_.route("/a", Reply::ok("a"));
    server_.route("/b", Reply::ok("b"));
    favorites({{"1 A", server_.url("/a")}, {"2 B", server_.url("/b")}});
    TTfmVerify &w = open();
    const std::function<void()> endings[] = {
        [&] { w.ExitToolButton()->click(); },
        [&] { w.close(); },
    };
    for (const auto &end : endings) {
        bool ended = false;
        clock_.onWait = [&] {
            if (!ended) {
                ended = true;
                end();
            }
        };
        const int before = server_.requestCount("/b");
        QTimer::singleShot(0, &w, [&] { w.VerifyAllToolButton()->click(); });
        // A program that never ends fails instead of hanging.
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        safety.start(60000);

        const int code = QApplication::exec();

        EXPECT_TRUE(ended);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(w.statusText(), QStringLiteral("Finished 2 links"));
        EXPECT_EQ(server_.requestCount("/b"), before + 1);
        EXPECT_TRUE(w.isVisible());
    }
}

} // namespace
