// The about box: one box however often it is shown, hidden (not destroyed) by OK and the close
// box but not by Escape, the link, the layout of its controls and the cut of its picture.
#include "app/aboutbox.h"

#include "app/pictures.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using quorvel::TAboutBox;

namespace
{

TEST(AboutBox, ShowsOneBoxThatOkAndCloseBoxHideButEscapeDoesNot)
{
    const int windowsBefore = QApplication::topLevelWidgets().size();
    TAboutBox box;
    QPointer<TAboutBox> alive(&box);
    box.Show();
    box.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore + 1);
    EXPECT_FALSE(box.isModal());
    EXPECT_TRUE(box.windowFlags() & Qt::WindowStaysOnTopHint);

    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_TRUE(box.isVisible());

    QTest::mouseClick(box.findChild<QPushButton *>("OKButton"), Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());

    box.Show();
    EXPECT_TRUE(box.isVisible());
    EXPECT_TRUE(box.close());
    EXPECT_FALSE(box.isVisible());
    EXPECT_TRUE(alive);

    // Enter presses the default OK button.
    box.Show();
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_FALSE(box.isVisible());
}

TEST(AboutBox, LinkClickOpensMakersPage)
{
    std::vector<QUrl> opened;
    const auto previous = TAboutBox::setUrlOpener([&](const QUrl &url) { opened.push_back(url); });
    TAboutBox box;
    box.Show();
    auto *link = box.findChild<QLabel *>("ProductName");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->text(), QString::fromLatin1(quorvel::MakerWebPage));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->font().pixelSize(), 13);

    QTest::mouseClick(link, Qt::LeftButton);
    TAboutBox::setUrlOpener(previous);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened.front(), QUrl(QString::fromLatin1(quorvel::MakerWebPage)));
    EXPECT_TRUE(box.isVisible());
}

TEST(AboutBox, ControlsHaveTheirNamesTextsAndPlaces)
{
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.size(), QSize(334, 253));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    EXPECT_FALSE(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    struct Expected {
        const char *name;
        QRect geometry;
        const char *text;
    };
    // Copyright and Version are sized to their texts, so only their corner is fixed.
    const Expected controls[] = {
        {"Panel1", QRect(8, 8, 313, 201), nullptr},
        {"ProgramIcon", QRect(8, 16, 289, 65), nullptr},
        {"ProductName", QRect(16, 96, 176, 16), nullptr},
        {"Version", QRect(16, 120, -1, 16), "Freeware"},
        {"Copyright", QRect(16, 144, -1, 16), "Version 1.1"},
        {"Comments", QRect(16, 168, 163, -1), nullptr},
        {"OKButton", QRect(127, 220, 75, 25), nullptr},
    };
    for (const Expected &c : controls) {
        auto *w = box.findChild<QWidget *>(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->pos(), c.geometry.topLeft()) << c.name;
        if (c.geometry.width() > 0) {
            EXPECT_EQ(w->width(), c.geometry.width()) << c.name;
        }
        if (c.geometry.height() > 0) {
            EXPECT_EQ(w->height(), c.geometry.height()) << c.name;
        }
        if (c.text) {
            EXPECT_EQ(qobject_cast<QLabel *>(w)->text(), c.text) << c.name;
        }
    }
    auto *comments = box.findChild<QLabel *>("Comments");
    EXPECT_TRUE(comments->wordWrap());
    EXPECT_TRUE(comments->text().startsWith("Copyright"));
    EXPECT_GE(comments->height(), 16);
    auto *ok = box.findChild<QPushButton *>("OKButton");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
}

TEST(AboutBox, PictureIsCentredAndCutNotScaled)
{
    TAboutBox box; // registers the picture's resource
    const QImage source = quorvel::loadJpegPicture(":/about/about.jpg");
    ASSERT_FALSE(source.isNull());
    ASSERT_EQ(source.size(), QSize(163, 82));

    auto *icon = box.findChild<QWidget *>("ProgramIcon");
    box.Show();
    const QImage shown = icon->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(289, 65));
    // Shown pixel (63 + x, y) is picture pixel (x, y + 8): 8 rows lost at the top, 9 below,
    // so the last shown row is picture row 72.
    for (int y : {0, 1, 20, 40, 63, 64}) {
        for (int x : {0, 30, 81, 120, 162}) {
            EXPECT_EQ(shown.pixel(63 + x, y), source.pixel(x, y + 8)) << x << "," << y;
        }
    }
    // Left of the picture is the panel's dark red.
    EXPECT_EQ(QColor(shown.pixel(10, 30)), QColor(128, 0, 0));
}

} // namespace
