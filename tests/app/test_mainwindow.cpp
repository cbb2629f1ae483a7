#include "app/tfmverify.h"

#include "appfixture.h"
#include "widgets/searchlistbox.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <filesystem>
#include <memory>

using namespace quorvel;
namespace fs = std::filesystem;

namespace
{

class MainWindowTest : public test::AppFixture
{
protected:
    // Three shortcuts; the folder "A" comes before "B.url" in the listing, so its C comes first.
    void writeThreeFavorites()
    {
        favorites_.write("B.url", shortcut("http://127.0.0.1/b"));
        favorites_.write("A/C.url", shortcut("http://127.0.0.1/c"));
        favorites_.write("News.URL", shortcut("http://127.0.0.1/news"));
        pointFavoritesAt(favorites_.str());
    }

    TTfmVerify &open()
    {
        window_ = std::make_unique<TTfmVerify>();
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }

    template <class T = QWidget> T *child(const char *name)
    {
        T *found = window_->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    static QStringList rows(const TSearchListBox *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->rowText(i);
        return texts;
    }

    static int selectedRow(const TSearchListBox *list) { return list->selectedRow(); }

    static void clickRow(TSearchListBox *list, int row)
    {
        list->scrollToRow(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRowRect(row).center());
    }

    std::unique_ptr<TTfmVerify> window_;
};

QString textOf(const QWidget *widget)
{
    if (auto box = qobject_cast<const QGroupBox *>(widget))
        return box->title();
    if (auto label = qobject_cast<const QLabel *>(widget))
        return label->text();
    return {};
}

TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThemWithTheirDesignTexts)
{
    TTfmVerify &w = open();
    struct Control {
        const char *name;
        const char *parent;
        QRect geometry; // width -1: sized to its text
        const char *text;
    };
    const Control controls[] = {
        {"ToolBar1", "ClientArea", {0, 0, 618, 25}, ""},
        {"Favorites_Group", "ClientArea", {8, 32, 602, 209}, "Favorites"},
        {"URL_Names", "Favorites_Group", {16, 16, 273, 177}, ""},
        {"URL_List", "Favorites_Group", {304, 16, 281, 177}, ""},
        {"GroupBox1", "ClientArea", {8, 256, 294, 161}, "Dead Links"},
        {"List404", "GroupBox1", {16, 16, 257, 81}, ""},
        {"DeadLinkCount", "GroupBox1", {16, 104, -1, 13}, "Bad link count =  0"},
        {"Count404s", "GroupBox1", {16, 120, -1, 13}, "404 count = 0"},
        {"OtherErrors", "GroupBox1", {16, 136, -1, 13}, "Other errors = 0"},
        {"GroupBox2", "ClientArea", {312, 256, 297, 161}, "Status"},
        {"Events", "ClientArea", {328, 272, 265, 65}, ""},
        {"Headers", "ClientArea", {328, 344, 265, 65}, ""},
        {"StatusBar", "ClientArea", {0, 421, 618, 25}, ""},
    };
    for (const Control &c : controls) {
        const QWidget *widget = child(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QLatin1String(c.parent)) << c.name;
        QRect expected = c.geometry;
        if (expected.width() < 0)
            expected.setWidth(widget->sizeHint().width());
        EXPECT_EQ(widget->geometry(), expected) << c.name;
        EXPECT_EQ(textOf(widget), QString::fromLatin1(c.text)) << c.name;
        EXPECT_TRUE(widget->isVisible()) << c.name;
    }

    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quorvel"));
    EXPECT_EQ(w.centralWidget()->geometry(),
              QRect(0, w.menuBar()->geometry().bottom() + 1, 618, 446));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint) << std::hex << w.windowFlags();
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(w.font().pixelSize(), 11);

    // The log and the header box lie on top of the "Status" frame, not hidden below it.
    QWidget *client = w.centralWidget();
    for (const char *name : {"Events", "Headers"}) {
        const QWidget *widget = child(name);
        const QWidget *hit = client->childAt(widget->geometry().center());
        EXPECT_TRUE(hit == widget || widget->isAncestorOf(hit)) << name;
    }
}

// The rows keep the classic 13-pixel height whatever the style or the font fallback would pick,
// so the lists show as many rows as they were laid out for.
TEST_F(MainWindowTest, EveryListHasThirteenPixelRows)
{
    open();
    for (const char *name : {"URL_Names", "URL_List", "List404", "Events", "Files", "Deadfiles"}) {
        auto *list = child<TSearchListBox>(name);
        ASSERT_NE(list, nullptr);
        list->addItems({QStringLiteral("first"), QStringLiteral("second")});
        list->doItemsLayout();
        EXPECT_EQ(list->visualRowRect(1).top() - list->visualRowRect(0).top(), 13) << name;
    }
}

TEST_F(MainWindowTest, CounterLabelGrowsWithLongerTextInsteadOfClippingIt)
{
    TTfmVerify &w = open();
    w.DeadLinkCount()->setText(QStringLiteral("Total bad link count = 12345"));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.DeadLinkCount()->width(), w.DeadLinkCount()->sizeHint().width());
    EXPECT_EQ(w.DeadLinkCount()->height(), 13);
}

TEST_F(MainWindowTest, ToolbarButtonsInOrderWithHintsAndStartStates)
{
    TTfmVerify &w = open();
    struct Button {
        const char *name;
        const char *hint;
        bool enabled;
        bool checkable;
    };
    const Button buttons[] = {
        {"VerifyAllToolButton", "Verify all links", true, false},
        {"PauseToolButton", "Pause", false, true},
        {"StopToolButton", "Stop verifying", false, false},
        {"DividerToolButton1", nullptr, true, false},
        {"VerifySelectedToolButton", "Verify selected link", true, false},
        {"MoveFilesToolButton", "Move bad links", true, false},
        {"ExitToolButton", "Exit", true, false},
        {"AboutToolButton", "About ", true, false},
    };
    auto *bar = child<QToolBar>("ToolBar1");
    int expectedLeft = -1;
    for (const Button &b : buttons) {
        QWidget *widget = child(b.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), bar) << b.name;
        EXPECT_EQ(widget->size(), QSize(23, 22)) << b.name;
        if (expectedLeft >= 0) {
            EXPECT_EQ(widget->x(), expectedLeft) << b.name << " is not next to its left neighbour";
        }
        expectedLeft = widget->x() + 23;
        EXPECT_EQ(widget->isEnabled(), b.enabled) << b.name;
        auto *button = qobject_cast<QToolButton *>(widget);
        if (!b.hint) {
            EXPECT_EQ(button, nullptr) << "the divider is not a button";
            continue;
        }
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->toolTip(), QString::fromLatin1(b.hint)) << b.name;
        EXPECT_EQ(button->isCheckable(), b.checkable) << b.name;
        EXPECT_FALSE(button->isChecked()) << b.name;
        EXPECT_FALSE(button->icon().isNull()) << b.name;
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly) << b.name;
    }
    EXPECT_LE(w.VerifyAllToolButton()->x(), 2);
}

TEST_F(MainWindowTest, MenusHoldTheirItemsInOrderWithPicturesAndNoShortcutsOrSeparators)
{
    TTfmVerify &w = open();
    const QStringList expected[] = {
        {"File1 &File", "OpenFolder1 &Open Favorites Folder...", "VerifyAll1 &Verify All",
         "VerifySelected1 Verify &Selected", "Movedeadlinks1 &Move dead links", "Exit1 E&xit"},
        {"Edit1 &Edit", "AddbuttontoVIRevubar1 &Add button to IE Toolbar",
         "RemovebuttonfromVIRevubar1 &Remove button from IE Toolbar"},
        {"help1 &Help", "About1 &About"},
    };
    const QList<QAction *> menus = w.menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    for (int m = 0; m < 3; ++m) {
        const QMenu *menu = menus[m]->menu();
        QStringList actual{menu->objectName() + ' ' + menu->title()};
        for (const QAction *item : menu->actions()) {
            actual << item->objectName() + ' ' + item->text(); // a separator has neither
            EXPECT_FALSE(item->icon().isNull()) << item->objectName().toStdString();
            EXPECT_TRUE(item->shortcut().isEmpty()) << item->objectName().toStdString();
        }
        EXPECT_EQ(actual, expected[m]);
    }
}

TEST_F(MainWindowTest, PopupMenusOpenOnRightClickAndKeyWithoutChangingSelection)
{
    writeThreeFavorites();
    TTfmVerify &w = open();
    struct Popup {
        const char *list;
        const char *menu;
        const char *item;
        const char *caption;
    };
    const Popup popups[] = {
        {"URL_Names", "VerifyPopupRClick", "ValidateLink1", "&Validate Selected Link"},
        {"URL_List", "VerifyPopupRClick", "ValidateLink1", "&Validate Selected Link"},
        {"List404", "MoveDeadPopup", "MoveDeadLinks2", "&Move Dead Links"},
    };
    w.List404()->addItems({QStringLiteral("dead one"), QStringLiteral("dead two")});
    for (const Popup &p : popups) {
        auto *list = child<TSearchListBox>(p.list);
        auto *menu = child<QMenu>(p.menu);
        ASSERT_TRUE(list && menu);
        ASSERT_EQ(menu->actions().size(), 1);
        QAction *action = menu->actions().first();
        EXPECT_EQ(action->objectName(), QLatin1String(p.item));
        EXPECT_EQ(action->text(), QLatin1String(p.caption));
        EXPECT_TRUE(action->icon().isNull()) << "pop-up items carry no pictures";

        // The window system turns a right click into a context-menu event; QTest does not, so
        // the test sends both halves itself.
        list->setCurrentRow(0);
        const QPoint onRowOne = list->visualRowRect(1).center();
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, onRowOne);
        QContextMenuEvent click(QContextMenuEvent::Mouse, onRowOne,
                                list->viewport()->mapToGlobal(onRowOne));
        QApplication::sendEvent(list->viewport(), &click);
        EXPECT_TRUE(menu->isVisible()) << p.list << ": right click";
        EXPECT_EQ(selectedRow(list), 0) << p.list << ": right click moved the selection";
        menu->hide();

        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5),
                              list->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(list, &key);
        EXPECT_TRUE(menu->isVisible()) << p.list << ": context-menu key";
        menu->hide();
    }
}

TEST_F(MainWindowTest, TabMovesThroughListsHeadersAndLogInOrder)
{
    TTfmVerify &w = open();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.URL_Names()->setFocus();
    QStringList visited;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                                : QStringLiteral("<none>"));
    }
    EXPECT_EQ(visited, (QStringList{"URL_List", "List404", "Headers", "Events", "URL_Names"}));
}

TEST_F(MainWindowTest, CatalogueShownInScanOrderAndReloadReplacesIt)
{
    writeThreeFavorites();
    TTfmVerify &w = open();
    EXPECT_EQ(rows(w.URL_Names()), (QStringList{"C", "B", "News"}));
    EXPECT_EQ(rows(w.URL_List()),
              (QStringList{"http://127.0.0.1/c", "http://127.0.0.1/b", "http://127.0.0.1/news"}));
    const QString folder = QString::fromStdString(favorites_.str());
    EXPECT_EQ(rows(w.Files()),
              (QStringList{folder + "/A/C.url", folder + "/B.url", folder + "/News.URL"}));
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_EQ(selectedRow(w.URL_Names()), -1);
    EXPECT_EQ(selectedRow(w.URL_List()), -1);

    fs::remove(favorites_.path() / "B.url");
    favorites_.write("D.url", shortcut("http://127.0.0.1/d"));
    w.ReloadCatalogue();
    EXPECT_EQ(rows(w.URL_Names()), (QStringList{"C", "D", "News"}));
    EXPECT_EQ(rows(w.URL_List()),
              (QStringList{"http://127.0.0.1/c", "http://127.0.0.1/d", "http://127.0.0.1/news"}));
    EXPECT_EQ(rows(w.Files()),
              (QStringList{folder + "/A/C.url", folder + "/D.url", folder + "/News.URL"}));
}

TEST_F(MainWindowTest, CreationSetsProgramWideValuesAndShowsLoadErrorWithEmptyLists)
{
    writeFavoritesValue("\"Favorites\"=dword:00000001");
    TTfmVerify &w = open();
    EXPECT_EQ(errors_, QStringList{QStringLiteral("Invalid data type for 'Favorites'")});
    EXPECT_EQ(w.URL_Names()->count(), 0);
    EXPECT_EQ(w.URL_List()->count(), 0);
    EXPECT_EQ(w.Files()->count(), 0);
    EXPECT_EQ(w.ProgramFolder, QCoreApplication::applicationDirPath().toStdString() + "/");
    EXPECT_FALSE(w.StopRequested);
    EXPECT_EQ(w.NotFoundCount, 0);
    EXPECT_EQ(w.OtherErrorCount, 0);
    EXPECT_EQ(TTfmVerify::instance(), &w);
    window_.reset();
    EXPECT_EQ(TTfmVerify::instance(), nullptr) << "a destroyed window stays reachable";
}

TEST_F(MainWindowTest, UserSelectionInEitherListSelectsSameRowInTheOther)
{
    writeThreeFavorites();
    TTfmVerify &w = open();
    QApplication::setActiveWindow(&w);

    clickRow(w.URL_Names(), 1);
    EXPECT_EQ(selectedRow(w.URL_List()), 1) << "click in the names";
    clickRow(w.URL_List(), 2);
    EXPECT_EQ(selectedRow(w.URL_Names()), 2) << "click in the URLs";

    w.URL_List()->setFocus();
    QTest::keyClick(w.URL_List(), Qt::Key_Up);
    EXPECT_EQ(selectedRow(w.URL_List()), 1);
    EXPECT_EQ(selectedRow(w.URL_Names()), 1) << "arrow key in the URLs";
    w.URL_Names()->setFocus();
    QTest::keyClick(w.URL_Names(), Qt::Key_Home);
    EXPECT_EQ(selectedRow(w.URL_List()), 0) << "Home key in the names";

    // Keys of the incremental search select rows without a click event; the lists still agree.
    QTest::keyClick(w.URL_Names(), Qt::Key_N);
    EXPECT_EQ(selectedRow(w.URL_Names()), 2);
    EXPECT_EQ(selectedRow(w.URL_List()), 2) << "incremental search in the names";
    QTest::keyClick(w.URL_Names(), Qt::Key_Backspace);
    EXPECT_EQ(selectedRow(w.URL_Names()), 0);
    EXPECT_EQ(selectedRow(w.URL_List()), 0) << "Backspace that empties the prefix";
    w.URL_List()->setFocus();
    QTest::keyClick(w.URL_List(), Qt::Key_Escape);
    EXPECT_EQ(selectedRow(w.URL_List()), -1);
    EXPECT_EQ(selectedRow(w.URL_Names()), -1) << "Escape in the URLs";
}

// A one-column list box moves to the previous and next row on Left and Right as on Up and Down;
// the favorites lists stay in step and the typed prefix is dropped.
TEST_F(MainWindowTest, LeftAndRightMoveRowsInEveryListAndKeepFavoritesInStep)
{
    writeThreeFavorites();
    TTfmVerify &w = open();
    QApplication::setActiveWindow(&w);
    for (TSearchListBox *list : {w.URL_Names(), w.URL_List()}) {
        TSearchListBox *other = list == w.URL_Names() ? w.URL_List() : w.URL_Names();
        const std::string name = list->objectName().toStdString();
        list->setFocus();
        clickRow(list, 0);
        const struct {
            Qt::Key key;
            int row;
        } steps[] = {{Qt::Key_Right, 1}, {Qt::Key_Right, 2}, {Qt::Key_Right, 2},
                     {Qt::Key_Left, 1},  {Qt::Key_Left, 0},  {Qt::Key_Left, 0}};
        for (const auto &step : steps) {
            QTest::keyClick(list, step.key);
            EXPECT_EQ(selectedRow(list), step.row) << name;
            EXPECT_EQ(selectedRow(other), step.row) << name << ": the other list";
        }
        // "n" finds News among the names, "h" the first URL.
        const QString typed = list == w.URL_Names() ? QStringLiteral("n") : QStringLiteral("h");
        QTest::keyClicks(list, typed);
        ASSERT_EQ(list->searchPrefix(), typed) << name;
        QTest::keyClick(list, Qt::Key_Right);
        EXPECT_EQ(list->searchPrefix(), QString()) << name;
        EXPECT_EQ(selectedRow(other), selectedRow(list)) << name;
    }

    w.List404()->addItems({QStringLiteral("dead one"), QStringLiteral("dead two")});
    w.List404()->setFocus();
    clickRow(w.List404(), 0);
    QTest::keyClick(w.List404(), Qt::Key_Right);
    EXPECT_EQ(selectedRow(w.List404()), 1);
    QTest::keyClick(w.List404(), Qt::Key_Left);
    EXPECT_EQ(selectedRow(w.List404()), 0);
}

// Shortcuts saved on Windows in other languages show their names and Unicode URLs in the lists,
// and each row keeps its file's own path.
TEST_F(MainWindowTest, ShortcutsInOtherLanguagesShowDecoded)
{
    profile_.write("config/quorvel/registry/HKEY_LOCAL_MACHINE.reg",
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n"
                   "\"ACP\"=\"936\"\r\n");
    favorites_.write("Пример.url", "[InternetShortcut]\r\nURL=http://?.?/\r\n"
                                   "[InternetShortcut.W]\r\nURL=http://+BD8EQAQ4BDwENQRA-.rf/\r\n");
    favorites_.write("\xC0\xFD\xD7\xD3.url",
                     "[InternetShortcut]\r\nURL=http://\xC0\xFD\xD7\xD3.test/\r\n");
    pointFavoritesAt(favorites_.str());
    TTfmVerify &w = open();
    EXPECT_EQ(rows(w.URL_Names()), (QStringList{"例子", "Пример"}));
    EXPECT_EQ(rows(w.URL_List()), (QStringList{"http://例子.test/", "http://пример.rf/"}));
    EXPECT_EQ(w.Files()->count(), 2);
    const auto &view = static_cast<const VerifyView &>(w);
    EXPECT_EQ(view.linkFile(0), (favorites_.path() / "\xC0\xFD\xD7\xD3.url").string());
    EXPECT_EQ(view.linkURL(1), "http://пример.rf/");
}

TEST_F(MainWindowTest, SelectionMadeByProgramIsNotMirrored)
{
    writeThreeFavorites();
    TTfmVerify &w = open();
    clickRow(w.URL_Names(), 0);
    ASSERT_EQ(selectedRow(w.URL_List()), 0);
    w.URL_Names()->setCurrentRow(2);
    EXPECT_EQ(selectedRow(w.URL_List()), 0);
    w.URL_List()->setCurrentRow(1);
    EXPECT_EQ(selectedRow(w.URL_Names()), 2);
}

// Each way of ending the program ends the event loop with code 0; a broken one would leave the
// loop running, which the guard timer turns into exit code 1 instead of a hung test.
TEST_F(MainWindowTest, ExitMenuToolbarAndCloseBoxEndTheEventLoop)
{
    TTfmVerify &w = open();
    const std::pair<const char *, std::function<void()>> ways[] = {
        {"Exit1", [&w] { w.findChild<QAction *>(QStringLiteral("Exit1"))->trigger(); }},
        {"ExitToolButton", [&w] { QTest::mouseClick(w.ExitToolButton(), Qt::LeftButton); }},
        {"close box", [&w] { EXPECT_FALSE(w.close()) << "closing must not hide the window"; }},
    };
    for (const auto &[name, act] : ways) {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(10000);
        QTimer::singleShot(0, &w, act);
        EXPECT_EQ(QCoreApplication::exec(), 0) << name;
        EXPECT_TRUE(w.isVisible()) << name;
    }
}

TEST_F(MainWindowTest, ExitDuringPumpingHandlerLetsItFinishWithWindowStillShown)
{
    TTfmVerify &w = open();
    bool visibleWhilePumping = false;
    bool handlerFinished = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(10000);
    QTimer::singleShot(0, &w, [&] {
        QTest::mouseClick(w.ExitToolButton(), Qt::LeftButton);
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        visibleWhilePumping = w.isVisible();
        handlerFinished = true;
    });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(handlerFinished);
    EXPECT_TRUE(visibleWhilePumping);
}

} // namespace
