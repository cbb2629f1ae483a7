// Choosing the favorites folder from the window (File > Open Favorites Folder...) and what the
// empty favorites list says.

#include "app/emptylistnotice.h"
#include "app/favoritesfolderdialog.h"

#include "modaldialog.h"
#include "test_verifyrun_fixture.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

using namespace quorvel;
using namespace quorvel::test;
namespace fs = std::filesystem;

namespace
{

class FavoritesFolderTest : public WindowRunFixture
{
protected:
    void SetUp() override
    {
        WindowRunFixture::SetUp();
        previousChooser_ = setFavoritesFolderChooser([this](QWidget *, const std::string &current) {
            asked_.push_back(current);
            return chosen_;
        });
    }

    void TearDown() override
    {
        WindowRunFixture::TearDown();
        setFavoritesFolderChooser(previousChooser_);
    }

    QAction *openFolder1() { return window_->findChild<QAction *>(QStringLiteral("OpenFolder1")); }

    QString notice() const
    {
        const auto *found =
            window_->findChild<EmptyListNotice *>(QStringLiteral("EmptyFavoritesNotice"));
        EXPECT_NE(found, nullptr);
        return found ? found->text() : QStringLiteral("<no notice>");
    }

    fs::path hive() const
    {
        return profile_.path() / "config/quorvel/registry/HKEY_CURRENT_USER.reg";
    }

    // What a run leaves in the window besides the catalogue.
    void leaveRunResults()
    {
        window_->List404()->addItem(QStringLiteral("dead"));
        window_->Deadfiles()->addItem(QStringLiteral("/somewhere/dead.url"));
        window_->Events()->addItem(QStringLiteral("Connection closed"));
        window_->Headers()->setPlainText(QStringLiteral("HTTP/1.1 404 Not Found"));
        window_->setStatusText(QStringLiteral("Finished 1 links"));
    }

    // The favorites list of a fresh start, without a folder on the command line.
    static QStringList namesAtFreshStart()
    {
        const TTfmVerify fresh;
        return rows(fresh.URL_Names());
    }

    TempDir other_;
    std::string chosen_;
    std::vector<std::string> asked_; // the current folder the dialog was given, once per dialog

private:
    FavoritesFolderChooser previousChooser_;
};

TEST_F(FavoritesFolderTest, ChosenFolderIsStoredLoadedAsAtStartUpAndTheRunsResultsAreCleared)
{
    favorites({{"Old", "http://127.0.0.1/old"}});
    other_.write("B.url", shortcut("http://127.0.0.1/b"));
    other_.write("A/C.url", shortcut("http://127.0.0.1/c"));
    other_.write("Bare.url", "[InternetShortcut]\r\n");
    other_.write("notes.txt", "not a shortcut");
    TTfmVerify &w = open();
    leaveRunResults();
    chosen_ = other_.str();

    openFolder1()->trigger();

    EXPECT_EQ(asked_, std::vector<std::string>{favorites_.str()}) << "starts at the current one";
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(rows(w.URL_Names()), (QStringList{"C", "B", "Bare"}));
    EXPECT_EQ(rows(w.URL_List()),
              (QStringList{"http://127.0.0.1/c", "http://127.0.0.1/b", "no path"}));
    EXPECT_EQ(w.catalogue().FavoritesFolder(), other_.str());
    EXPECT_EQ(w.List404()->count(), 0);
    EXPECT_EQ(w.Deadfiles()->count(), 0);
    EXPECT_EQ(w.Events()->count(), 0);
    EXPECT_TRUE(w.Headers()->toPlainText().isEmpty());
    EXPECT_EQ(w.statusText(), QStringLiteral("Ready"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    EXPECT_EQ(GetFavoritesFolder(), other_.str());
    EXPECT_EQ(namesAtFreshStart(), (QStringList{"C", "B", "Bare"}));
}

TEST_F(FavoritesFolderTest, CancelledDialogChangesNothing)
{
    favorites({{"1 A", "http://127.0.0.1/a"}, {"2 B", "http://127.0.0.1/b"}});
    TTfmVerify &w = open();
    leaveRunResults();
    w.URL_List()->setCurrentRow(1);
    w.URL_Names()->setCurrentRow(1);
    const std::string hiveBefore = readFile(hive());
    chosen_.clear();

    openFolder1()->trigger();

    EXPECT_EQ(asked_.size(), 1u);
    EXPECT_EQ(rows(w.URL_Names()), (QStringList{"1 A", "2 B"}));
    EXPECT_EQ(w.URL_List()->selectedRow(), 1);
    EXPECT_EQ(w.List404()->count(), 1);
    EXPECT_EQ(w.Events()->count(), 1);
    EXPECT_FALSE(w.Headers()->toPlainText().isEmpty());
    EXPECT_EQ(w.statusText(), QStringLiteral("Finished 1 links"));
    EXPECT_EQ(readFile(hive()), hiveBefore);
    EXPECT_TRUE(errors_.isEmpty());
}

// The choice must reach the disk before the window shows it: a registry that cannot take it
// leaves both the hive and the window as they were, and says why.
TEST_F(FavoritesFolderTest, RegistryThatCannotTakeTheChoiceIsReportedAndChangesNothing)
{
    const struct {
        const char *why;
        std::function<void(const fs::path &hive)> spoil;
        QString error;
    } cases[] = {
        {"read-only hive",
         [](const fs::path &file) {
             fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
         },
         QStringLiteral("Failed to set data for 'Favorites'")},
        {"hive broken since start-up",
         [](const fs::path &file) {
             std::ofstream(file, std::ios::app) << "this line is no registry\r\n";
         },
         {}},
    };
    other_.write("New.url", shortcut("http://127.0.0.1/new"));
    for (const auto &c : cases) {
        favorites({{"Old", "http://127.0.0.1/old"}});
        TTfmVerify &w = open();
        leaveRunResults();
        c.spoil(hive());
        const std::string hiveBefore = readFile(hive());
        errors_.clear();
        chosen_ = other_.str();

        openFolder1()->trigger();

        ASSERT_EQ(errors_.size(), 1) << c.why;
        if (!c.error.isEmpty()) {
            EXPECT_EQ(errors_.front().toStdString(), c.error.toStdString()) << c.why;
        }
        EXPECT_EQ(readFile(hive()), hiveBefore) << c.why;
        EXPECT_EQ(rows(w.URL_Names()), QStringList{"Old"}) << c.why;
        EXPECT_EQ(w.catalogue().FavoritesFolder(), favorites_.str()) << c.why;
        EXPECT_EQ(w.List404()->count(), 1) << c.why;
        EXPECT_EQ(w.statusText(), QStringLiteral("Finished 1 links")) << c.why;
        fs::permissions(hive(), fs::perms::owner_read | fs::perms::owner_write);
        fs::remove(hive());
    }
}

// A folder on the command line is for that run only; a folder chosen in such a run is the
// user's choice for later runs too.
TEST_F(FavoritesFolderTest, CommandLineFolderWinsForOneRunAndAChoiceInThatRunIsStored)
{
    favorites({{"Stored", "http://127.0.0.1/stored"}});
    TempDir named;
    named.write("Named.url", shortcut("http://127.0.0.1/named"));
    const std::string hiveBefore = readFile(hive());

    window_ = std::make_unique<TTfmVerify>(named.str());
    EXPECT_EQ(rows(window_->URL_Names()), QStringList{"Named"});
    EXPECT_EQ(readFile(hive()), hiveBefore);
    EXPECT_EQ(namesAtFreshStart(), QStringList{"Stored"});

    other_.write("Chosen.url", shortcut("http://127.0.0.1/chosen"));
    chosen_ = other_.str();
    openFolder1()->trigger();
    EXPECT_EQ(asked_, std::vector<std::string>{named.str()});
    EXPECT_EQ(rows(window_->URL_Names()), QStringList{"Chosen"});
    EXPECT_EQ(namesAtFreshStart(), QStringList{"Chosen"});
}

TEST_F(FavoritesFolderTest, CommandIsRefusedWhileAVerificationRunsAndOfferedAgainAfter)
{
    server_.route("/a", Reply::ok("a"));
    favorites({{"1 A", server_.url("/a")}});
    other_.write("New.url", shortcut("http://127.0.0.1/new"));
    TTfmVerify &w = open();
    chosen_ = other_.str();
    const std::pair<const char *, std::function<void()>> checks[] = {
        {"verify all", [&w] { w.VerifyAllToolButton()->click(); }},
        {"verify selected", [&w] { w.VerifySelectedToolButton()->click(); }},
    };
    w.URL_List()->setCurrentRow(0);
    for (const auto &[name, check] : checks) {
        int waits = 0;
        clock_.onWait = [&] {
            if (waits++)
                return;
            EXPECT_FALSE(openFolder1()->isEnabled()) << name;
            openFolder1()->trigger();
            // A pause gives Verify All back; the folder stays refused until the run ends.
            if (w.PauseToolButton()->isEnabled()) {
                w.PauseToolButton()->click();
                w.VerifyAllToolButton()->click();
                w.PauseToolButton()->click();
                EXPECT_FALSE(openFolder1()->isEnabled()) << name << ": after a pause";
            }
        };
        check();
        EXPECT_GT(waits, 0) << name;
        EXPECT_TRUE(asked_.empty()) << name << ": the dialog came up during the run";
        EXPECT_EQ(rows(w.URL_Names()), QStringList{"1 A"}) << name;
        EXPECT_TRUE(openFolder1()->isEnabled()) << name << ": not offered again";
    }
    clock_.onWait = nullptr;
    openFolder1()->trigger();
    EXPECT_EQ(rows(w.URL_Names()), QStringList{"New"});
}

TEST_F(FavoritesFolderTest, EmptyListSaysWhyItIsEmptyAndHowToPickAFolder)
{
    const QString howTo = QStringLiteral("\nFile > Open Favorites Folder... picks one.");
    const std::string missing = (favorites_.path() / "Favorites").string();
    favorites_.write("Empty/notes.txt", "no shortcut");
    favorites_.write("Empty/Sub/readme", "none here either");
    const std::string empty = (favorites_.path() / "Empty").string();
    other_.write("Sub/One.url", shortcut("http://127.0.0.1/one"));
    const struct {
        std::string folder;
        QString notice;
    } cases[] = {
        {missing, "No favorites folder at " + QString::fromStdString(missing) + "." + howTo},
        {empty, "No shortcuts in " + QString::fromStdString(empty) + "." + howTo},
        {other_.str(), {}},
    };
    for (const auto &c : cases) {
        pointFavoritesAt(c.folder);
        TTfmVerify &w = open();
        EXPECT_EQ(notice(), c.notice) << c.folder;
        EXPECT_TRUE(errors_.isEmpty()) << c.folder;
        if (c.notice.isEmpty())
            continue;
        // Drawn over the list, not added to it: the lists stay empty, the status bar too.
        EXPECT_EQ(w.URL_Names()->count(), 0);
        EXPECT_EQ(w.URL_List()->count(), 0);
        EXPECT_TRUE(w.statusText().isEmpty());
        // Nothing else draws on an empty list's background.
        const QImage shown = w.URL_Names()->viewport()->grab().toImage();
        const QColor background = w.URL_Names()->viewport()->palette().color(QPalette::Base);
        int textPixels = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x)
                textPixels += shown.pixelColor(x, y) != background;
        }
        EXPECT_GT(textPixels, 100) << c.folder << ": the text is not drawn";
    }

    // Choosing a folder with shortcuts takes the text away; one that has none brings it back.
    pointFavoritesAt(empty);
    TTfmVerify &w = open();
    chosen_ = other_.str();
    openFolder1()->trigger();
    EXPECT_EQ(notice(), QString());
    EXPECT_EQ(w.URL_Names()->count(), 1);
    chosen_ = missing;
    openFolder1()->trigger();
    EXPECT_EQ(notice(), "No favorites folder at " + QString::fromStdString(missing) + "." + howTo);
}

TEST_F(FavoritesFolderTest, RealDialogOffersFoldersOnlyFromTheCurrentFolderOrTheNearestAbove)
{
    setFavoritesFolderChooser(nullptr);
    const std::string deeper = (other_.path() / "gone" / "Favorites").string();
    const struct {
        std::string current;
        QString start;
    } cases[] = {
        {other_.str(), QString::fromStdString(other_.str())},
        {deeper, QString::fromStdString(other_.str())},
        {"Favorites", QDir::homePath()},
    };
    QWidget owner;
    for (const auto &c : cases) {
        std::string chosen = "<not returned>";
        withModal<QFileDialog>(
            [&](QFileDialog *dialog) {
                EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select the favorites folder"));
                EXPECT_EQ(dialog->directory().absolutePath(), c.start) << c.current;
                EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
                EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
            },
            [&] { chosen = chooseFavoritesFolder(&owner, c.current); });
        EXPECT_EQ(chosen, "") << "a cancelled dialog chooses nothing";
    }
}

} // namespace
