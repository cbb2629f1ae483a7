// A list box over 100,000 rows of a model it shares: search, keys and the wheel still find the
// right rows, and two lists over one model keep their own selections.
#include "widgets/searchlistbox.h"

#include "widgets/beep.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

constexpr int rowCount = 100000;

// Rows made on demand, as the catalogue's model does: "Row 000000" ... "Row 099999", with one
// odd row near the end.
class ManyRows : public QAbstractListModel
{
public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : ::rowCount;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        ++reads;
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        if (index.row() == ::rowCount - 2)
            return QStringLiteral("Zebra near the end");
        return QStringLiteral("Row %1").arg(index.row(), 6, 10, QLatin1Char('0'));
    }
    void reload()
    {
        beginResetModel();
        endResetModel();
    }
    mutable long reads = 0;
};

class SearchListBoxLarge : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previousBeep = quorvel::setBeepHook([this] { ++beeps; });
        for (TSearchListBox *list : {&first, &second}) {
            list->setModel(&rows);
            list->resize(200, 180);
            list->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
        }
        QApplication::setActiveWindow(&first);
        first.setFocus();
    }
    void TearDown() override { quorvel::setBeepHook(previousBeep); }

    void type(const QString &text)
    {
        QKeyEvent e(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(&first, &e);
    }

    ManyRows rows;
    TSearchListBox first;
    TSearchListBox second;
    int beeps = 0;
    quorvel::BeepHook previousBeep;
};

TEST_F(SearchListBoxLarge, SearchAndKeysFindRowsAcrossTheWholeList)
{
    EXPECT_EQ(first.count(), rowCount);
    // Drawing the list reads the rows it shows, not all of them.
    EXPECT_LT(rows.reads, 1000);

    type("z");
    EXPECT_EQ(first.selectedRow(), rowCount - 2);
    EXPECT_EQ(first.rowText(first.selectedRow()), QStringLiteral("Zebra near the end"));
    type("q");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(first.selectedRow(), rowCount - 2);

    QTest::keyClick(&first, Qt::Key_Escape);
    for (const QChar c : QStringLiteral("row 099997"))
        type(c);
    EXPECT_EQ(first.selectedRow(), 99997);
    EXPECT_EQ(first.searchPrefix(), QStringLiteral("row 099997"));
    EXPECT_EQ(beeps, 1);

    QTest::keyClick(&first, Qt::Key_Right);
    EXPECT_EQ(first.currentRow(), rowCount - 2);
    EXPECT_EQ(first.searchPrefix(), QString());
    QTest::keyClick(&first, Qt::Key_Home);
    EXPECT_EQ(first.currentRow(), 0);
    QTest::keyClick(&first, Qt::Key_End);
    EXPECT_EQ(first.currentRow(), rowCount - 1);
    EXPECT_EQ(first.verticalScrollBar()->value(), first.verticalScrollBar()->maximum());

    // Each list has its own selection over the shared rows.
    EXPECT_EQ(second.selectedRow(), -1);
    second.setCurrentRow(5);
    EXPECT_EQ(first.currentRow(), rowCount - 1);
}

TEST_F(SearchListBoxLarge, OwnRowsComeBackAfterAModelAndAReloadDropsTheSelection)
{
    first.setCurrentRow(10);
    first.addItem(QStringLiteral("own"));
    EXPECT_EQ(first.count(), 1);
    EXPECT_EQ(first.rowText(0), QStringLiteral("own"));
    first.setModel(&rows);
    EXPECT_EQ(first.count(), rowCount);
    EXPECT_EQ(first.selectedRow(), -1);

    first.setCurrentRow(10);
    second.setCurrentRow(20);
    rows.reload();
    EXPECT_EQ(first.selectedRow(), -1);
    EXPECT_EQ(second.selectedRow(), -1);
    EXPECT_EQ(first.count(), rowCount);
}

} // namespace
