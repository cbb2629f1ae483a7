// Wheel scrolling, the horizontal scroll range and the drawn frame.
#include "widgets/searchlistbox.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace
{

class SearchListBoxView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < 40; ++i)
            list.addItem(QStringLiteral("row %1").arg(i));
        list.resize(160, 100);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    void wheel(int notches)
    {
        const QPoint at = list.viewport()->rect().center();
        QWheelEvent e(at, list.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list.viewport(), &e);
        EXPECT_TRUE(e.isAccepted());
    }

    int top() { return list.verticalScrollBar()->value(); }

    TSearchListBox list;
};

TEST_F(SearchListBoxView, WheelScrollsBySystemLineCount)
{
    const int lines = QApplication::wheelScrollLines();
    ASSERT_GT(lines, 0);
    wheel(-1);
    EXPECT_EQ(top(), lines);
    wheel(-2);
    EXPECT_EQ(top(), 3 * lines);
    wheel(1);
    EXPECT_EQ(top(), 2 * lines);

    // Far past the end stays within the list's range.
    wheel(-100);
    EXPECT_EQ(top(), list.verticalScrollBar()->maximum());
}

TEST_F(SearchListBoxView, WheelUpNearTopReachesFirstRow)
{
    const int lines = QApplication::wheelScrollLines();
    list.verticalScrollBar()->setValue(lines - 1);
    wheel(1);
    EXPECT_EQ(top(), 0);
}

TEST_F(SearchListBoxView, HorizontalRangeFollowsExtent)
{
    QScrollBar *bar = list.horizontalScrollBar();
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_FALSE(bar->isVisible());

    list.setHorzScrollBar(true);
    list.setHorzExtent(600);
    QApplication::processEvents();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 600 - list.viewport()->width());

    // A relayout (a resize, new rows) must not fall back to the width of the rows' texts,
    // nor lose the sideways position.
    bar->setValue(300);
    list.resize(200, 100);
    list.addItem("one more");
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), 600 - list.viewport()->width());
    EXPECT_EQ(bar->value(), 300);

    list.setHorzExtent(0);
    EXPECT_EQ(bar->maximum(), 0);
}

TEST_F(SearchListBoxView, DrawnFrameSitsOnChosenSidesInFrameColour)
{
    list.setFrameColor(QColor(0, 0, 255));
    list.setFrameStyle(fsFlat);
    list.setFrameSides(TFrameSides(sdLeft) | sdTop);
    list.setFrameVisible(true);
    QApplication::processEvents();

    const QImage image = list.grab().toImage();
    const QColor blue(0, 0, 255);
    EXPECT_EQ(image.pixelColor(0, image.height() / 2), blue);
    EXPECT_EQ(image.pixelColor(image.width() / 2, 0), blue);
    // Sides left out show the list's background, not Qt's own box.
    const QColor base = list.palette().color(QPalette::Base);
    EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() / 2), base);
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() - 1), base);
    // The rows start inside the frame, not under it.
    EXPECT_EQ(list.viewport()->geometry().topLeft(), QPoint(2, 2));
}

TEST_F(SearchListBoxView, FlatFrameFollowsFocusAndMouse)
{
    list.setFrameFlat(true);
    EXPECT_TRUE(list.FrameVisible());
    EXPECT_EQ(list.FrameSides(), allFrameSides);

    // Neither focused nor under the mouse to begin with.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&list, &leave);
    list.clearFocus();
    EXPECT_EQ(list.FrameStyle(), fsStatus);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&list, &enter);
    EXPECT_EQ(list.FrameStyle(), fsLowered);
    QApplication::sendEvent(&list, &leave);
    EXPECT_EQ(list.FrameStyle(), fsStatus);

    QApplication::setActiveWindow(&list);
    list.setFocus();
    EXPECT_EQ(list.FrameStyle(), fsLowered);
}

} // namespace
