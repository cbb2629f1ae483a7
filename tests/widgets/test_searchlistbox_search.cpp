// Incremental search by typed prefix: matching, beeping, Backspace, Escape, the pause that drops
// the prefix, and that Tab still leaves the list.
#include "widgets/searchlistbox.h"

#include "widgets/beep.h"

#include "support/pump.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace
{

class SearchListBoxSearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previousBeep = quorvel::setBeepHook([this] { ++beeps; });
        list.addItems({"Apple", "apricot", "Banana"});
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        list.setFocus();
    }
    void TearDown() override { quorvel::setBeepHook(previousBeep); }

    void type(const QString &text)
    {
        QKeyEvent e(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(&list, &e);
    }
    void key(Qt::Key k) { QTest::keyClick(&list, k); }
    std::string selected() const
    {
        const auto rows = list.selectionModel()->selectedIndexes();
        return rows.size() == 1 ? list.rowText(rows.first().row()).toStdString() : std::string();
    }

    TSearchListBox list;
    int beeps = 0;
    quorvel::BeepHook previousBeep;
};

TEST_F(SearchListBoxSearch, TypedPrefixSelectsFirstRowFromTopIgnoringCase)
{
    QSignalSpy clicks(&list, &TSearchListBox::OnClick);
    QSignalSpy matches(&list, &TSearchListBox::OnMatch);
    struct Step {
        const char *typed, *selected, *prefix;
        int beeps, matches;
    };
    // x matches nothing: it beeps and is dropped, the row and prefix stay.
    const Step steps[] = {
        {"a", "Apple", "a", 0, 1},      {"p", "Apple", "ap", 0, 2},
        {"r", "apricot", "apr", 0, 3},  {"x", "apricot", "apr", 1, 3},
        {"I", "apricot", "aprI", 1, 4},
    };
    for (const Step &step : steps) {
        type(step.typed);
        EXPECT_EQ(selected(), step.selected) << step.typed;
        EXPECT_EQ(list.searchPrefix().toStdString(), step.prefix) << step.typed;
        EXPECT_EQ(beeps, step.beeps) << step.typed;
        EXPECT_EQ(matches.count(), step.matches) << step.typed;
    }
    // A row chosen by typing is not the user's click.
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(SearchListBoxSearch, PauseStartsNewPrefix)
{
    type("a");
    type("p");
    auto *timer = list.findChild<QTimer *>(QStringLiteral("SearchTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1500);
    // The prefix goes once the interval has passed; a busy machine may fire the timer late.
    QElapsedTimer waited;
    waited.start();
    EXPECT_TRUE(quorvel::test::pumpUntil([&] { return list.searchPrefix().isEmpty(); }, 10000));
    EXPECT_GE(waited.elapsed(), 1400) << "the prefix went before the pause was long enough";
    type("b");
    EXPECT_EQ(selected(), "Banana");
    EXPECT_EQ(beeps, 0);
}

TEST_F(SearchListBoxSearch, BackspaceShortensOrResetsPrefix)
{
    type("a");
    type("p");
    key(Qt::Key_Backspace);
    EXPECT_EQ(list.searchPrefix(), "a");
    EXPECT_EQ(selected(), "Apple");

    list.setCurrentRow(2);
    key(Qt::Key_Backspace);
    EXPECT_EQ(list.searchPrefix(), QString());
    EXPECT_EQ(list.currentRow(), 0);

    // With no prefix Backspace beeps and selects the first row.
    list.setCurrentRow(2);
    key(Qt::Key_Backspace);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(list.currentRow(), 0);
}

TEST_F(SearchListBoxSearch, EscapeAndNavigationDropPrefix)
{
    type("a");
    key(Qt::Key_Escape);
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_EQ(list.currentRow(), -1);
    EXPECT_EQ(list.searchPrefix(), QString());

    type("a");
    key(Qt::Key_Down);
    EXPECT_EQ(list.searchPrefix(), QString());
    type("b");
    EXPECT_EQ(selected(), "Banana");

    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRowRect(0).center());
    EXPECT_EQ(list.searchPrefix(), QString());
}

TEST_F(SearchListBoxSearch, SilentAndInertWhereNothingShouldHappen)
{
    list.setBeepOnInvalidKey(false);
    type("z");
    key(Qt::Key_Escape);
    key(Qt::Key_Backspace);
    EXPECT_EQ(beeps, 0);

    // Enter and Qt's own one-letter search leave the row alone.
    list.setCurrentRow(0);
    key(Qt::Key_Return);
    list.keyboardSearch("Banana");
    EXPECT_EQ(list.currentRow(), 0);
}

TEST_F(SearchListBoxSearch, MultiSelectionMovesOnlyTheFocusedRow)
{
    list.setSelectionMode(QAbstractItemView::MultiSelection);
    list.selectionModel()->select(list.model()->index(2, 0), QItemSelectionModel::Select);
    list.setCurrentRow(0, QItemSelectionModel::Select);
    type("a");
    type("p");
    type("r");
    EXPECT_FALSE(list.isRowSelected(0));
    EXPECT_TRUE(list.isRowSelected(1));
    EXPECT_TRUE(list.isRowSelected(2));
    EXPECT_EQ(list.currentRow(), 1);
}

TEST_F(SearchListBoxSearch, CharactersBeyondLatin1SearchToo)
{
    list.addItems({QStringLiteral("Ärger"), QStringLiteral("😀 smile")});
    type(QStringLiteral("ä"));
    EXPECT_EQ(selected(), "Ärger");
    key(Qt::Key_Escape);
    type(QStringLiteral("😀"));
    EXPECT_EQ(selected(), "😀 smile");
    // Backspace removes the whole character, not half of its surrogate pair.
    key(Qt::Key_Backspace);
    EXPECT_EQ(list.searchPrefix(), QString());
}

TEST(SearchListBoxFocus, TabStillMovesFocusToNextWidget)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *list = new TSearchListBox;
    auto *edit = new QLineEdit;
    layout->addWidget(list);
    layout->addWidget(edit);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_TRUE(edit->hasFocus());
}

} // namespace
