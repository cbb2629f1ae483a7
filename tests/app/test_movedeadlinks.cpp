#include "app/movedialogs.h"
#include "app/tfmverify.h"

#include "appfixture.h"
#include "history/undo.h"
#include "modaldialog.h"
#include "widgets/searchlistbox.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include <filesystem>
#include <memory>
#include <vector>

using namespace quorvel;
namespace fs = std::filesystem;

namespace
{

class MoveDeadLinksTest : public test::AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        previousChooser_ = setFolderChooser([this](QWidget *) {
            ++dialogs_;
            cursors_.push_back(cursorShape());
            return chosen_;
        });
        previousPresenter_ = setMoveReportPresenter([this](QWidget *, const MoveReport &report) {
            reports_.push_back(report);
            cursors_.push_back(cursorShape());
        });
    }

    void TearDown() override
    {
        window_.reset();
        setFolderChooser(previousChooser_);
        setMoveReportPresenter(previousPresenter_);
        AppFixture::TearDown();
    }

    TTfmVerify &open()
    {
        pointFavoritesAt(favorites_.str());
        window_ = std::make_unique<TTfmVerify>();
        window_->show();
        return *window_;
    }

    // What a verification run leaves behind for one dead link.
    void listDead(const std::string &name, const fs::path &file)
    {
        window_->List404()->addItem(QString::fromStdString(name));
        window_->Deadfiles()->addItem(QString::fromStdString(file.string()));
        window_->Events()->addItem(QStringLiteral("Connection closed"));
        window_->Headers()->setPlainText(QStringLiteral("HTTP/1.1 404 Not Found"));
    }

    static int cursorShape()
    {
        const QCursor *cursor = QApplication::overrideCursor();
        return cursor ? cursor->shape() : -1;
    }

    static QStringList rows(const TSearchListBox *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->rowText(i);
        return texts;
    }

    void expectRefreshed()
    {
        EXPECT_EQ(window_->List404()->count(), 0);
        EXPECT_EQ(window_->Deadfiles()->count(), 0);
        EXPECT_EQ(window_->Events()->count(), 0);
        EXPECT_TRUE(window_->Headers()->toPlainText().isEmpty());
        EXPECT_EQ(window_->statusText(), QStringLiteral("Ready"));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    test::TempDir destination_;
    std::string chosen_;
    int dialogs_ = 0;
    std::vector<MoveReport> reports_;
    std::vector<int> cursors_; // the program-wide cursor while each dialog was up
    std::unique_ptr<TTfmVerify> window_;

private:
    FolderChooser previousChooser_;
    MoveReportPresenter previousPresenter_;
};

TEST_F(MoveDeadLinksTest, OneDeadLinkMovesIntoItsMirroredFolderAndReportsSingular)
{
    const fs::path dead = favorites_.write("News/Daily.url", shortcut("http://127.0.0.1/gone"));
    favorites_.write("Home.url", shortcut("http://127.0.0.1/"));
    open();
    listDead("Daily", dead);
    chosen_ = destination_.str();

    window_->findChild<QAction *>(QStringLiteral("Movedeadlinks1"))->trigger();

    EXPECT_TRUE(fs::exists(destination_.path() / "News" / "Daily.url"));
    EXPECT_FALSE(fs::exists(dead));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].text, "Moved 1 link to " + chosen_ + ".");
    EXPECT_EQ(reports_[0].caption, "Link Moved");
    EXPECT_EQ(cursors_, (std::vector<int>{Qt::WaitCursor, Qt::WaitCursor}));
    EXPECT_EQ(rows(window_->URL_Names()), QStringList{QStringLiteral("Home")});
    EXPECT_EQ(window_->Files()->count(), 1);
    expectRefreshed();
}

TEST_F(MoveDeadLinksTest, NoDeadLinksWithAFolderChosenReportsZeroAndRebuildsTheCatalogue)
{
    favorites_.write("Home.url", shortcut("http://127.0.0.1/"));
    open();
    favorites_.write("Later.url", shortcut("http://127.0.0.1/later"));
    chosen_ = destination_.str();

    QTest::mouseClick(window_->MoveFilesToolButton(), Qt::LeftButton);

    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].text, "Moved 0 links to " + chosen_ + ".");
    EXPECT_EQ(reports_[0].caption, "Links Moved");
    EXPECT_EQ(rows(window_->URL_Names()), (QStringList{"Home", "Later"}));
    expectRefreshed();
}

TEST_F(MoveDeadLinksTest, CancelledDialogMovesNothingShowsNoBoxButStillEmptiesAndReloads)
{
    const fs::path dead = favorites_.write("Gone.url", shortcut("http://127.0.0.1/gone"));
    open();
    listDead("Gone", dead);
    chosen_.clear();

    window_->findChild<QAction *>(QStringLiteral("MoveDeadLinks2"))->trigger();

    EXPECT_EQ(dialogs_, 1);
    EXPECT_TRUE(reports_.empty());
    EXPECT_TRUE(fs::exists(dead));
    EXPECT_EQ(rows(window_->URL_Names()), QStringList{QStringLiteral("Gone")});
    expectRefreshed();
}

TEST_F(MoveDeadLinksTest, ShortcutThatCannotMoveIsNotCountedAndIsListedAgain)
{
    const fs::path dead = favorites_.write("Home.url", shortcut("http://127.0.0.1/gone"));
    const fs::path taken = destination_.write("Home.url", "someone else's file");
    open();
    listDead("Home", dead);
    listDead("Home", dead);
    chosen_ = destination_.str();

    window_->findChild<QAction *>(QStringLiteral("Movedeadlinks1"))->trigger();

    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].text, "Moved 0 links to " + chosen_ + ".");
    EXPECT_EQ(test::readFile(taken), "someone else's file");
    EXPECT_TRUE(fs::exists(dead));
    EXPECT_EQ(rows(window_->URL_Names()), QStringList{QStringLiteral("Home")});
}

TEST_F(MoveDeadLinksTest, RealFolderDialogOffersFoldersOnlyFromTheRoot)
{
    setFolderChooser(nullptr);
    QWidget owner;
    std::string chosen = "<not returned>";
    test::withModal<QFileDialog>(
        [](QFileDialog *dialog) {
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select the directory"));
            EXPECT_EQ(dialog->directory().absolutePath(), QStringLiteral("/"));
            EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
            EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
            EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal) << "other windows usable";
        },
        [&] { chosen = chooseDestinationFolder(&owner); });
    EXPECT_EQ(chosen, "") << "a cancelled dialog chooses nothing";
}

TEST_F(MoveDeadLinksTest, RealReportShowsAFolderNameThatLooksLikeMarkupAsItIs)
{
    setMoveReportPresenter(nullptr);
    QWidget owner;
    const MoveReport report = moveReport(2, "/home/u/<b>old</b>");
    test::withModal<QMessageBox>(
        [&](QMessageBox *box) {
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Links Moved"));
            EXPECT_EQ(box->text(), QStringLiteral("Moved 2 links to /home/u/<b>old</b>."));
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        },
        [&] { showMoveReport(&owner, report); });
}

TEST_F(MoveDeadLinksTest, TheWindowsMovesAreJournaledSoThatUndoPutsThemBack)
{
    const fs::path dead = favorites_.write("News/Daily.url", shortcut("http://127.0.0.1/gone"));
    const fs::path top = favorites_.write("Top.url", shortcut("http://127.0.0.1/top"));
    open();
    listDead("Daily", dead);
    listDead("Top", top);
    chosen_ = destination_.str();
    window_->findChild<QAction *>(QStringLiteral("Movedeadlinks1"))->trigger();
    ASSERT_FALSE(fs::exists(dead));

    // The default store, which the fixture keeps in the test's own folder.
    const fs::path file = profile_.path() / "state/quorvel/history.db";
    ASSERT_TRUE(fs::exists(file));
    history::HistoryStore store(file.string(), history::HistoryStore::Access::ReadWrite);
    const auto runs = store.movingRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].program, "quorvel");
    EXPECT_EQ(runs[0].folder, favorites_.str());
    EXPECT_EQ(runs[0].destination, chosen_);
    EXPECT_EQ(runs[0].moved, 2);

    fs::remove_all(favorites_.path() / "News");
    EXPECT_TRUE(history::undoRun(store, runs[0].id, false).allBack());
    EXPECT_EQ(test::readFile(dead), shortcut("http://127.0.0.1/gone"));
    EXPECT_EQ(test::readFile(top), shortcut("http://127.0.0.1/top"));
}

TEST_F(MoveDeadLinksTest, AStoreThatCannotBeUsedChangesNothingTheWindowDoesOrShows)
{
    const fs::path dead = favorites_.write("Gone.url", shortcut("http://127.0.0.1/gone"));
    const fs::path file = profile_.write("state/quorvel/history.db", "not a database");
    open();
    listDead("Gone", dead);
    chosen_ = destination_.str();
    window_->findChild<QAction *>(QStringLiteral("Movedeadlinks1"))->trigger();

    EXPECT_TRUE(fs::exists(destination_.path() / "Gone.url"));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].text, "Moved 1 link to " + chosen_ + ".");
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_EQ(test::readFile(file), "not a database");
    expectRefreshed();
}

} // namespace
