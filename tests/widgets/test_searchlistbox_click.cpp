// Which user actions fire OnClick, and that the right mouse button leaves the selection alone.
#include "widgets/searchlistbox.h"

#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

class SearchListBoxClick : public ::testing::Test
{
protected:
    void SetUp() override
    {
        list.addItems({"Apple", "apricot", "Banana", "Cherry"});
        list.resize(200, 120);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        list.setFocus();
    }

    QPoint rowCentre(int row) { return list.visualRowRect(row).center(); }

    TSearchListBox list;
};

TEST_F(SearchListBoxClick, LeftClickAndArrowKeysReportTheUsersChange)
{
    QSignalSpy clicks(&list, &TSearchListBox::OnClick);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCentre(2));
    EXPECT_EQ(list.currentRow(), 2);
    EXPECT_EQ(clicks.count(), 1);

    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.currentRow(), 3);
    EXPECT_EQ(clicks.count(), 2);
    QTest::keyClick(&list, Qt::Key_Home);
    EXPECT_EQ(list.currentRow(), 0);
    EXPECT_EQ(clicks.count(), 3);
}

TEST_F(SearchListBoxClick, ProgramSelectionAndUnchangedRowsStaySilent)
{
    QSignalSpy clicks(&list, &TSearchListBox::OnClick);
    list.setCurrentRow(1);
    list.setCurrentRow(3);
    EXPECT_EQ(clicks.count(), 0);

    // Up on the first row moves nothing, so nothing is reported either.
    list.setCurrentRow(0);
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(clicks.count(), 0);
}

// The double click's handler may run a check that pumps events for seconds; a click made
// meanwhile is reported at once, not when that handler returns.
TEST_F(SearchListBoxClick, DoubleClickReportsTheNewRowOnceAndClicksDuringItsHandler)
{
    QSignalSpy clicks(&list, &TSearchListBox::OnClick);
    int clicksSeenInHandler = -1;
    QObject::connect(&list, &QAbstractItemView::doubleClicked, &list, [&] {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCentre(3));
        clicksSeenInHandler = clicks.count();
    });
    // Through the window, so the double click is recognised as the platform would.
    const QPoint inWindow = list.viewport()->mapTo(list.window(), rowCentre(1));
    QTest::mouseDClick(list.window()->windowHandle(), Qt::LeftButton, {}, inWindow);
    EXPECT_EQ(clicksSeenInHandler, 2) << "the click on row 3 was held back";
    EXPECT_EQ(list.currentRow(), 3);
    EXPECT_EQ(clicks.count(), 2);
}

// As in the platform's one-column list box, Left and Right are Up and Down.
TEST_F(SearchListBoxClick, LeftAndRightMoveToThePreviousAndNextRow)
{
    QSignalSpy clicks(&list, &TSearchListBox::OnClick);
    list.setCurrentRow(1);
    QTest::keyClick(&list, Qt::Key_Right);
    EXPECT_EQ(list.selectedRow(), 2);
    QTest::keyClick(&list, Qt::Key_Left);
    QTest::keyClick(&list, Qt::Key_Left);
    EXPECT_EQ(list.selectedRow(), 0);
    EXPECT_EQ(clicks.count(), 3);
    QTest::keyClick(&list, Qt::Key_Left);
    EXPECT_EQ(list.selectedRow(), 0);
    EXPECT_EQ(clicks.count(), 3) << "nothing moved, nothing to report";

    list.setLayoutDirection(Qt::RightToLeft);
    QTest::keyClick(&list, Qt::Key_Right);
    EXPECT_EQ(list.selectedRow(), 1) << "Right is the next row in either direction";
}

// Qt deselects the row on Ctrl+Space; that is the user's change like any other.
TEST_F(SearchListBoxClick, CommandKeyThatChangesSelectionIsReported)
{
    list.setCurrentRow(1);
    QSignalSpy clicks(&list, &TSearchListBox::OnClick);
    QTest::keyClick(&list, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(SearchListBoxClick, OnlyLeftButtonSelectsAndRightStillOpensThePopup)
{
    list.setContextMenuPolicy(Qt::CustomContextMenu);
    list.setCurrentRow(0);
    QSignalSpy clicks(&list, &TSearchListBox::OnClick);
    QSignalSpy menus(&list, &QWidget::customContextMenuRequested);

    // Through the window, as the platform delivers it, so the pop-up request is generated too.
    const QPoint inWindow = list.viewport()->mapTo(list.window(), rowCentre(2));
    QTest::mouseClick(list.window()->windowHandle(), Qt::RightButton, {}, inWindow);
    QTest::mouseDClick(list.viewport(), Qt::RightButton, {}, rowCentre(3));
    QTest::mouseClick(list.viewport(), Qt::MiddleButton, {}, rowCentre(3));

    EXPECT_EQ(list.currentRow(), 0);
    EXPECT_EQ(list.selectedRow(), 0);
    EXPECT_EQ(list.selectionModel()->selectedIndexes().size(), 1);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_GE(menus.count(), 1);
}

} // namespace
