// Pictures of the window during and after a run over a small favorites folder, for a person to
// look at. Written only when QUORVEL_SCREENSHOT_DIR names a folder; skipped otherwise.

#include "test_verifyrun_fixture.h"

#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

using namespace quorvel;
using namespace quorvel::test;

namespace
{

class VerifyRunScreens : public WindowRunFixture
{
};

// The client area as grabbed, under a strip that shows the caption, which the offscreen
// platform draws no frame for.
void saveWithCaption(const TTfmVerify &w, const QString &file)
{
    const QPixmap client = const_cast<TTfmVerify &>(w).grab();
    const int strip = 22;
    QPixmap picture(client.width(), client.height() + strip);
    picture.fill(QColor(0, 0, 128));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    painter.drawText(QRect(6, 0, client.width() - 12, strip), Qt::AlignVCenter | Qt::AlignLeft,
                     w.windowTitle());
    painter.drawPixmap(0, strip, client);
    painter.end();
    picture.save(file);
}

TEST_F(VerifyRunScreens, DuringAndAfterARun)
{
    const QString folder = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "QUORVEL_SCREENSHOT_DIR not set";
    ASSERT_TRUE(QDir().mkpath(folder));

    server_.route("/home", Reply::ok(patternBody(40000), "text/html"));
    server_.route("/old-page", Reply::status("HTTP/1.1 404 Not Found", "gone"));
    server_.route("/archive", Reply::status("HTTP/1.0 404 Not Found", "gone"));
    server_.route("/moved", Reply::redirect(301, server_.url("/home")));
    server_.route("/news", Reply::ok("news"));
    favorites({{"Archive", server_.url("/archive")},
               {"Bank", "https://127.0.0.1/bank"},
               {"Dead Server", refusedUrl()},
               {"Home Page", server_.url("/home")},
               {"Moved Page", server_.url("/moved")},
               {"News", server_.url("/news")},
               {"Old Page", server_.url("/old-page")}});
    favorites_.write("Tools/Mail.url", shortcut("mailto:someone@example.test"));
    TTfmVerify &w = open(false);

    // Taken while the fifth link (a redirect to a page with a body in blocks) is checked.
    QString during;
    QTimer grabber;
    QObject::connect(&grabber, &QTimer::timeout, [&] {
        if (during.isEmpty() && w.windowTitle().endsWith(QStringLiteral("Checking 5 of 8"))) {
            during = folder + QStringLiteral("/verify-during.png");
            saveWithCaption(w, during);
        }
    });
    grabber.start(100);
    w.VerifyAllToolButton()->click();
    grabber.stop();
    const QString after = folder + QStringLiteral("/verify-after.png");
    saveWithCaption(w, after);

    EXPECT_FALSE(during.isEmpty());
    EXPECT_EQ(rows(w.List404()), (QStringList{"Archive", "Dead Server", "Old Page"}));
    EXPECT_EQ(w.statusText(), QStringLiteral("Finished 8 links"));
}

} // namespace
