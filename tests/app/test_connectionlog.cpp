// The connection log through the real main window: the lines of one request in the order of
// its notifications, one line per block of the body, redirects, and no line during teardown.

#include "test_verifyrun_fixture.h"

#include <QRegularExpression>

using namespace quorvel;
using namespace quorvel::test;

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
