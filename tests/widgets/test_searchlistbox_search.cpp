// Incremental search by typed prefix: matching, beeping, Backspace, Escape, the pause that drops
// the prefix, and that Tab still leaves the list.
#include "widgets/searchlistbox.h"

#include "widgets/beep.h"

#include <QApplication>
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

    void type(const QString &keys)
    {
        for (QChar c : keys)
            QTest::keyClick(&list, c.toLatin1());
    }
    void key(Qt::Key k) { QTest::keyClick(&list, k); }
    QString selectedText() const
    {
        const auto items = list.selectedItems();
        return items.size() == 1 ? items.first()->text() : QString();
    }

    TSearchListBox list;
    int beeps = 0;
    quorvel::BeepHook previousBeep;
};

TEST_F(SearchListBoxSearch, TypedPrefixSelectsFirstRowFromTopIgnoringCase)
{
    struct Step {
        const char *typed;
        const char *selected;
        const char *prefix;
        int beeps;
    };
    // x matches nothing: it beeps and is dropped, the row and prefix stay.
    const Step steps[] = {
        {"a", "Apple", "a", 0},     {"p", "Apple", "ap", 0},     {"r", "apricot", "apr", 0},
        {"x", "apricot", "apr", 1}, {"I", "apricot", "aprI", 1},
    };
    for (const Step &step : steps) {
        type(QString::fromLatin1(step.typed));
        EXPECT_EQ(selectedText().toStdString(), step.selected) << step.typed;
        EXPECT_EQ(list.searchPrefix().toStdString(), step.prefix) << step.typed;
        EXPECT_EQ(beeps, step.beeps) << step.typed;
    }
}

TEST_F(SearchListBoxSearch, PauseStartsNewPrefix)
{
    type("ap");
    auto *timer = list.findChild<QTimer *>(QStringLiteral("SearchTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1500);
    // One real wait for the whole interval; the prefix must be gone afterwards.
    QTest::qWait(1700);
    EXPECT_EQ(list.searchPrefix(), QString());
    EXPECT_FALSE(timer->isActive());
    type("b");
    EXPECT_EQ(selectedText(), "Banana");
    EXPECT_EQ(beeps, 0);
}

TEST_F(SearchListBoxSearch, BackspaceShortensOrResetsPrefix)
{
    type("ap");
    key(Qt::Key_Backspace);
    EXPECT_EQ(list.searchPrefix(), "a");
    EXPECT_EQ(selectedText(), "Apple");

    type("b"); // "ab" matches nothing
    EXPECT_EQ(beeps, 1);
    list.setCurrentRow(2);
    key(Qt::Key_Backspace);
    EXPECT_EQ(list.searchPrefix(), QString());
    EXPECT_EQ(list.currentRow(), 0);

    // With no prefix Backspace beeps and selects the first row.
    list.setCurrentRow(2);
    key(Qt::Key_Backspace);
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(list.currentRow(), 0);
}

TEST_F(SearchListBoxSearch, EscapeAndNavigationDropPrefix)
{
    type("apr");
    key(Qt::Key_Escape);
    EXPECT_TRUE(list.selectedItems().isEmpty());
    EXPECT_EQ(list.currentRow(), -1);
    EXPECT_EQ(list.searchPrefix(), QString());

    type("ap");
    key(Qt::Key_Down);
    EXPECT_EQ(list.searchPrefix(), QString());
    type("b");
    EXPECT_EQ(selectedText(), "Banana");

    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(0)).center());
    EXPECT_EQ(list.searchPrefix(), QString());
}

TEST_F(SearchListBoxSearch, NoBeepWhenSwitchedOff)
{
    list.setBeepOnInvalidKey(false);
    type("z");
    key(Qt::Key_Backspace);
    EXPECT_EQ(beeps, 0);
}

TEST_F(SearchListBoxSearch, MatchFiresOnMatchButNotOnClick)
{
    QSignalSpy clicks(&list, &TSearchListBox::OnClick);
    QSignalSpy matches(&list, &TSearchListBox::OnMatch);
    QSignalSpy keys(&list, &TSearchListBox::OnKeyPress);
    type("b");
    type("q");
    EXPECT_EQ(matches.count(), 1);
    ASSERT_EQ(keys.count(), 1);
    EXPECT_EQ(keys.first().first().value<QChar>(), QChar('b'));
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(SearchListBoxSearch, ControlCharactersAndQtLetterSearchDoNothing)
{
    list.setCurrentRow(0);
    key(Qt::Key_Return);
    list.keyboardSearch("Banana");
    EXPECT_EQ(list.currentRow(), 0);
    EXPECT_EQ(beeps, 0);
}

TEST_F(SearchListBoxSearch, MultiSelectionMovesOnlyTheFocusedRow)
{
    list.setSelectionMode(QAbstractItemView::MultiSelection);
    list.item(2)->setSelected(true);
    list.setCurrentRow(0, QItemSelectionModel::Select);
    type("apr");
    EXPECT_FALSE(list.item(0)->isSelected());
    EXPECT_TRUE(list.item(1)->isSelected());
    EXPECT_TRUE(list.item(2)->isSelected());
    EXPECT_EQ(list.currentRow(), 1);
}

TEST_F(SearchListBoxSearch, NonLatinCharactersSearchToo)
{
    list.addItems({"Ärger", "😀 smile"});
    QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, QStringLiteral("ä"));
    QApplication::sendEvent(&list, &umlaut);
    EXPECT_EQ(selectedText(), QStringLiteral("Ärger"));
    list.setCurrentRow(0);
    key(Qt::Key_Escape);
    QKeyEvent emoji(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("😀"));
    QApplication::sendEvent(&list, &emoji);
    EXPECT_EQ(selectedText(), QStringLiteral("😀 smile"));
    key(Qt::Key_Backspace);
    EXPECT_EQ(list.searchPrefix(), QString());
}

TEST(SearchListBoxFocus, TabStillMovesFocusToNextWidget)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *list = new TSearchListBox;
    auto *edit = new QLineEdit;
    list->addItems({"one", "two"});
    layout->addWidget(list);
    layout->addWidget(edit);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    list->setFocus();
    ASSERT_TRUE(list->hasFocus());
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_TRUE(edit->hasFocus());
}

} // namespace
