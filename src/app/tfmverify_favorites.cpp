// The main window's choice of its favorites folder, and what the favorites list says while it
// is empty.

#include "app/tfmverify.h"

#include "app/emptylistnotice.h"
#include "app/favoritesfolderdialog.h"
#include "app/headersmemo.h"
#include "widgets/searchlistbox.h"

#include <QAction>
#include <QPlainTextEdit>

namespace quorvel
{

void TTfmVerify::OpenFavoritesFolder()
{
    // A run walks the catalogue by index; another folder's would take its links from under it.
    if (run_->isChecking())
        return;
    const std::string folder = chooseFavoritesFolder(this, catalogue_.FavoritesFolder());
    if (folder.empty())
        return;
    // Stored first: a registry that cannot be written leaves the window as it was.
    SetFavoritesFolder(folder);
    struct DefaultCursor {
        ~DefaultCursor() { setScreenCursor(Qt::ArrowCursor); }
    };
    const DefaultCursor restore;
    setScreenCursor(Qt::WaitCursor);
    // Read back from the registry, as the next start will read it.
    loadCatalogue([this] { catalogue_.Load(); });
    list404_->clear();
    deadfiles_->clear();
    events_->clear();
    headers_->clearText();
    setStatusText(QStringLiteral("Ready"));
}

void TTfmVerify::updateEmptyNotice()
{
    emptyNotice_->setText(catalogue_.entries().size() == 0
                              ? emptyCatalogueNotice(catalogue_.FavoritesFolder())
                              : QString());
}

void TTfmVerify::whileChecking(const std::function<void()> &check)
{
    // Enabled again only when the outermost check has ended: a command clicked during a run
    // returns at once while the run goes on.
    struct Restore {
        TTfmVerify *window;
        ~Restore() { window->openFolder1_->setEnabled(!window->run_->isChecking()); }
    };
    openFolder1_->setEnabled(false);
    const Restore restore{this};
    check();
}

} // namespace quorvel
