// The connection log through the real main window: the lines of one request in the order of
// its notifications, one line per block of the body, redirects, and no line during teardown.

#include "test_verifyrun_fixture.h"

#include "inet/inet_timeouts.h"

#include <QRegularExpression>

using namespace quorvel;
using namespace quorvel::test;
namespace inet = quorvel::platform::inet;

namespace
{

class ConnectionLogTest : public WindowRunFixture
{
protected:
    QStringList checkFirst()
    {
        window_->URL_List()->setCurrentRow(0);
        window_->VerifySelectedToolButton()->click();
        return rows(window_->Events());
    }
};

TEST_F(ConnectionLogTest, OneRequestLogsItsProgressInOrderWithOneLinePerBlock)
{
    const std::size_t size = 40000;
    // The server ends the connection, so its closing is reported too.
    Reply big = Reply::ok(patternBody(size));
    big.closeAfter = true;
    server_.route("/big", big);
    favorites({{"Big", server_.url("/big")}});
    open();

    const QStringList lines = checkFirst();

    const auto at = [&](const QString &line) { return lines.indexOf(line); };
    const int connecting = at(QStringLiteral("Connecting to 127.0.0.1"));
    const int connected = at(QStringLiteral("Connected to 127.0.0.1"));
    const int receiving = at(QStringLiteral("Receiving response..."));
    const int closing = at(QStringLiteral("Closing connection"));
    const int closed = at(QStringLiteral("Connection closed"));
    ASSERT_GE(connecting, 0) << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_LT(connecting, connected);
    EXPECT_LT(connected, receiving);
    EXPECT_LT(receiving, closing);
    EXPECT_EQ(closed, closing + 1);
    const int resolved = at(QStringLiteral("Address resolved..."));
    if (resolved >= 0) {
        EXPECT_LT(resolved, connecting);
    }

    static const QRegularExpression data(QStringLiteral("^Data available\\. Bytes: (\\d+)$"));
    std::size_t total = 0;
    int blocks = 0;
    int firstBlock = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const auto match = data.match(lines[i]);
        if (!match.hasMatch())
            continue;
        if (firstBlock < 0)
            firstBlock = i;
        const int bytes = match.captured(1).toInt();
        EXPECT_GT(bytes, 0);
        EXPECT_LE(bytes, 16384);
        total += static_cast<std::size_t>(bytes);
        ++blocks;
    }
    EXPECT_EQ(total, size);
    EXPECT_EQ(blocks, 3);
    EXPECT_GT(firstBlock, receiving);
}

TEST_F(ConnectionLogTest, ClosingConnectionIsAlwaysFollowedByConnectionClosed)
{
    // The two lines came apart, or the second went missing, when the request ended while the
    // first was being logged; a race, so the check is repeated.
    Reply big = Reply::ok(patternBody(40000));
    big.closeAfter = true;
    server_.route("/big", big);
    favorites({{"Big", server_.url("/big")}});
    open();
    for (int i = 0; i < 25; ++i) {
        const QStringList lines = checkFirst();
        const int closing = lines.indexOf(QStringLiteral("Closing connection"));
        ASSERT_GE(closing, 0) << i << ": " << lines.join(QLatin1Char('|')).toStdString();
        ASSERT_EQ(lines.indexOf(QStringLiteral("Connection closed")), closing + 1)
            << i << ": " << lines.join(QLatin1Char('|')).toStdString();
        // The blocks the server sent before it closed come first.
        ASSERT_EQ(lines.filter(QStringLiteral("Data available")).size(), 3) << i;
        ASSERT_TRUE(lines[closing - 1].startsWith(QStringLiteral("Data available"))) << i;
    }
}

TEST_F(ConnectionLogTest, ABodyCutShortIsLoggedAndTheLinkCountsByItsStatus)
{
    // A body without end: the link is alive (200) or dead (404) by its status line alone.
    inet::setTransferTimeLimit(std::chrono::milliseconds(500));
    Reply endless = Reply::streamed({std::nullopt, 4096, std::chrono::milliseconds(10)},
                                    Reply::Framing::Chunked);
    Reply missing = endless;
    missing.statusLine = "HTTP/1.1 404 Not Found";
    server_.route("/endless", endless);
    server_.route("/missing", missing);
    favorites({{"Endless", server_.url("/endless")}, {"Missing", server_.url("/missing")}});
    TTfmVerify &w = open();
    w.BrowseTo()->setConnectTimeout(500);
    const std::string cutLine = "Body cut short after 1 s";

    const QStringList alive = checkFirst();
    EXPECT_EQ(alive.count(QString::fromStdString(cutLine)), 1)
        << alive.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(w.List404()->count(), 0);
    EXPECT_EQ(w.OtherErrors()->text(), QStringLiteral("Other errors = 0"));

    w.URL_List()->setCurrentRow(1);
    w.VerifySelectedToolButton()->click();
    EXPECT_TRUE(rows(w.Events()).contains(QString::fromStdString(cutLine)));
    EXPECT_EQ(w.List404()->count(), 1);
    EXPECT_EQ(w.Count404s()->text(), QStringLiteral("404 count = 1"));
    EXPECT_EQ(w.OtherErrors()->text(), QStringLiteral("Other errors = 0"));
    inet::setTransferTimeLimit(std::chrono::seconds(60));
}

TEST_F(ConnectionLogTest, ARedirectLogsItsTarget)
{
    server_.route("/old", Reply::redirect(302, server_.url("/new")));
    server_.route("/new", Reply::ok("here"));
    favorites({{"Moved", server_.url("/old")}});
    open();

    const QStringList lines = checkFirst();

    EXPECT_TRUE(lines.contains(QString::fromStdString("Redirecting to " + server_.url("/new"))))
        << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(server_.requestCount("/new"), 1);
}

TEST_F(ConnectionLogTest, TheLogHoldsOnlyTheCurrentRequest)
{
    server_.route("/a", Reply::ok("a"));
    favorites({{"A", server_.url("/a")}});
    TTfmVerify &w = open();
    ASSERT_EQ(checkFirst().count(QStringLiteral("Receiving response...")), 1);
    const QStringList second = checkFirst();
    EXPECT_EQ(second.count(QStringLiteral("Receiving response...")), 1)
        << second.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(second.count(QStringLiteral("Data available. Bytes: 1")), 1);
    // Appended rows are not scrolled to or selected.
    EXPECT_EQ(w.Events()->currentRow(), -1);
}

TEST_F(ConnectionLogTest, LinesArrivingWhileTheWindowIsDestroyedAreDropped)
{
    favorites({});
    TTfmVerify &w = open();
    w.LogEvent("early line");
    ASSERT_EQ(rows(w.Events()), QStringList{"early line"});
    // The component goes down inside the window's destruction, while the window is still
    // whole: a line reported from there stands for an event that arrives during teardown.
    bool sawDestroying = false;
    int linesAfter = -1;
    QObject::connect(w.BrowseTo(), &QObject::destroyed, [&] {
        sawDestroying = w.isDestroying();
        w.LogEvent("late line");
        linesAfter = w.Events()->count();
    });

    window_.reset();

    EXPECT_TRUE(sawDestroying);
    EXPECT_EQ(linesAfter, 1);
}

} // namespace
