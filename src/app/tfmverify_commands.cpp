// The main window's commands: one handler per control, each passing straight on to one
// operation, and the operations themselves.

#include "app/tfmverify.h"

#include "app/aboutbox.h"
#include "app/errorbox.h"
#include "app/headersmemo.h"
#include "app/movedialogs.h"
#include "browserext/browserbutton.h"
#include "history/windowjournal.h"
#include "verify/deadlinkmover.h"
#include "widgets/searchlistbox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPlainTextEdit>

namespace quorvel
{

void TTfmVerify::closeEvent(QCloseEvent *event)
{
    // Closing ends the program the way Exit does; the window stays up until the loop has ended
    // and is destroyed with the application's other windows.
    event->ignore();
    Terminate();
}

void TTfmVerify::OpenFolder1Click()
{
    runGuarded([this] { OpenFavoritesFolder(); });
}
void TTfmVerify::VerifyAll1Click()
{
    runGuarded([this] { VerifyAll(); });
}
void TTfmVerify::VerifyAllToolButtonClick()
{
    runGuarded([this] { VerifyAll(); });
}
void TTfmVerify::VerifySelected1Click()
{
    runGuarded([this] { BrowseOne(); });
}
void TTfmVerify::VerifySelectedToolButtonClick()
{
    runGuarded([this] { BrowseOne(); });
}
void TTfmVerify::ValidateLink1Click()
{
    runGuarded([this] { BrowseOne(); });
}
void TTfmVerify::URL_NamesDblClick()
{
    runGuarded([this] { BrowseOne(); });
}
void TTfmVerify::URL_ListDblClick()
{
    runGuarded([this] { BrowseOne(); });
}
void TTfmVerify::PauseToolButtonClick()
{
    runGuarded([this] { PauseRun(); });
}
void TTfmVerify::StopToolButtonClick()
{
    runGuarded([this] { StopRun(); });
}
void TTfmVerify::Movedeadlinks1Click()
{
    runGuarded([this] { MoveDeadLinks(); });
}
void TTfmVerify::MoveFilesToolButtonClick()
{
    runGuarded([this] { MoveDeadLinks(); });
}
void TTfmVerify::MoveDeadLinks2Click()
{
    runGuarded([this] { MoveDeadLinks(); });
}
void TTfmVerify::AddbuttontoVIRevubar1Click()
{
    runGuarded([this] { AddBrowserButton(); });
}
void TTfmVerify::RemovebuttonfromVIRevubar1Click()
{
    runGuarded([this] { RemoveBrowserButton(); });
}
void TTfmVerify::Exit1Click()
{
    runGuarded([this] { Terminate(); });
}
void TTfmVerify::ExitToolButtonClick()
{
    runGuarded([this] { Terminate(); });
}
void TTfmVerify::About1Click()
{
    runGuarded([this] { ShowAboutBox(); });
}
void TTfmVerify::AboutToolButtonClick()
{
    runGuarded([this] { ShowAboutBox(); });
}

void TTfmVerify::URL_NamesClick()
{
    runGuarded([this] { followSelection(urlNames_, urlList_); });
}

void TTfmVerify::URL_ListClick()
{
    runGuarded([this] { followSelection(urlList_, urlNames_); });
}

void TTfmVerify::VerifyAll()
{
    whileChecking([this] { run_->VerifyAll(); });
}

void TTfmVerify::BrowseOne()
{
    whileChecking([this] { run_->BrowseOne(); });
}

void TTfmVerify::PauseRun()
{
    run_->PauseToolButtonClick();
}

void TTfmVerify::StopRun()
{
    run_->StopToolButtonClick();
}

void TTfmVerify::MoveDeadLinks()
{
    // Moving reloads the catalogue the run walks by index, and empties the lists it fills.
    if (run_->isChecking())
        return;
    setScreenCursor(Qt::WaitCursor);
    const std::string chosenFolder = chooseDestinationFolder(this);
    if (!chosenFolder.empty()) {
        std::vector<std::string> deadFiles;
        deadFiles.reserve(deadfiles_->count());
        for (int i = 0; i < deadfiles_->count(); ++i)
            deadFiles.push_back(deadfiles_->rowText(i).toStdString());
        // Journaled so that quorvel-check --undo can put the files back.
        history::WindowMoveJournal journal(catalogue_.FavoritesFolder(), chosenFolder);
        const std::size_t moved =
            moveDeadFiles(deadFiles, catalogue_.FavoritesFolder(), chosenFolder, &journal);
        showMoveReport(this, moveReport(moved, chosenFolder));
    }
    // Also after a cancelled dialog: the lists are emptied and the catalogue shows the disk.
    list404_->clear();
    deadfiles_->clear();
    events_->clear();
    headers_->clearText();
    ReloadCatalogue();
    setScreenCursor(Qt::ArrowCursor);
    setStatusText(QStringLiteral("Ready"));
}

void TTfmVerify::AddBrowserButton()
{
    AddProgramButton(ProgramFolder);
}

void TTfmVerify::RemoveBrowserButton()
{
    RemoveProgramButton();
}

void TTfmVerify::ShowAboutBox()
{
    if (aboutBox_)
        aboutBox_->Show();
}

void TTfmVerify::setAboutBox(TAboutBox *box)
{
    aboutBox_ = box;
}

void TTfmVerify::Terminate()
{
    // Posted, so a handler that pumps events (a verification run) carries on and the program
    // ends when it has returned to the main loop. exit() rather than quit(): quit() would close
    // (hide) the windows while such a handler is still working.
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

} // namespace quorvel
