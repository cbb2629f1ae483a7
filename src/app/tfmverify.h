#pragma once
// TTfmVerify: the main window. It shows the favorites catalogue as two side-by-side lists, the
// dead links with their counters and the progress of the current request, and carries the menu,
// the toolbar and the two pop-up menus. Each command handler passes straight on to one operation.
//
// One class, one file per job: tfmverify.cpp builds the window and loads the catalogue,
// tfmverify_commands.cpp holds the commands, tfmverify_favorites.cpp the choice of the favorites
// folder and what the empty list says, tfmverify_browseto.cpp the HTTP component and its event
// handlers, tfmverify_runview.cpp the window as the verification run sees it.

#include "catalogue/catalogue.h"
#include "verify/verifyrun.h"
#include "verify/verifyview.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QToolBar;
class QToolButton;
class TSearchListBox;

namespace quorvel
{

class CatalogueModel;
class EmptyListNotice;
class HeadersMemo;
class TAboutBox;
class TAdvHttp;

// The window is also what the verification run and the result classification work on.
class TTfmVerify : public QMainWindow, public VerifyView
{
    Q_OBJECT
public:
    // Client area below the menu bar.
    static constexpr int ClientWidth = 618;
    static constexpr int ClientHeight = 446;
    static constexpr int ListRowHeight = 13;

    // Builds the window hidden and runs FormCreate, which loads the catalogue: from
    // favoritesFolder when one is given (the command line's, for this run only), else from the
    // folder the registry names.
    explicit TTfmVerify(std::optional<std::string> favoritesFolder = {}, QWidget *parent = nullptr);
    ~TTfmVerify() override;

    // The window while it exists (there is only ever one), else nullptr.
    static TTfmVerify *instance();

    // Program-wide values set by FormCreate and used by the run, the classification and the
    // browser button commands.
    std::string ProgramFolder; // folder of the running program file, with a trailing separator
    bool StopRequested = false;
    int NotFoundCount = 0;
    int OtherErrorCount = 0;
    std::string CurrentName; // link whose request is in progress
    std::string CurrentFile;

    // True from the moment destruction begins; log lines are dropped from then on.
    bool isDestroying() const { return destroying_; }

    FavoritesCatalogue &catalogue() { return catalogue_; }
    // Scans the favorites folder again and shows the new catalogue in URL_Names, URL_List and
    // Files, replacing what they held.
    void ReloadCatalogue();

    // The about box that About shows; created hidden at start-up and owned by this window.
    void setAboutBox(TAboutBox *box);

    // The program-wide mouse cursor over all windows; Qt::ArrowCursor is the default cursor.
    static void setScreenCursor(Qt::CursorShape shape);

    // The HTTP component that checks the links, one request at a time.
    TAdvHttp *BrowseTo() const { return browseTo_; }
    // The run behind the check commands (tests shorten its waits through it).
    VerifyRun &verifyRun() { return *run_; }

    // The one way a line enters the connection log Events; dropped once destruction has begun.
    void LogEvent(const std::string &line) override;

    // Handlers of BrowseTo's events: the two results, then the progress lines of the log.
    void BrowseTORequestComplete(TAdvHttp *sender);
    void BrowseTOError(TAdvHttp *sender);
    void BrowseTOClosingConnection(TAdvHttp *sender);
    void BrowseTOConnectedToServer(TAdvHttp *sender);
    void BrowseTOConnectingToServer(TAdvHttp *sender);
    void BrowseTOConnectionClosed(TAdvHttp *sender);
    void BrowseTODataAvailable(TAdvHttp *sender);
    void BrowseTOIntermediateResponse(TAdvHttp *sender);
    void BrowseTONameResolved(TAdvHttp *sender);
    void BrowseTOReceivingResponse(TAdvHttp *sender);
    void BrowseTORedirect(TAdvHttp *sender);

    // The single text of the status bar.
    void setStatusText(const QString &text);
    QString statusText() const;

    TSearchListBox *URL_Names() const { return urlNames_; }
    TSearchListBox *URL_List() const { return urlList_; }
    TSearchListBox *Files() const { return files_; }
    TSearchListBox *List404() const { return list404_; }
    TSearchListBox *Deadfiles() const { return deadfiles_; }
    TSearchListBox *Events() const { return events_; }
    // A text the box holds aside is put in first, so the box reads as it is about to show.
    QPlainTextEdit *Headers() const;
    QLabel *DeadLinkCount() const { return deadLinkCount_; }
    QLabel *Count404s() const { return count404s_; }
    QLabel *OtherErrors() const { return otherErrors_; }
    QStatusBar *StatusBar() const { return statusBar_; }
    QToolButton *VerifyAllToolButton() const { return verifyAllButton_; }
    QToolButton *PauseToolButton() const { return pauseButton_; }
    QToolButton *StopToolButton() const { return stopButton_; }
    QToolButton *VerifySelectedToolButton() const { return verifySelectedButton_; }
    QToolButton *MoveFilesToolButton() const { return moveFilesButton_; }
    QToolButton *ExitToolButton() const { return exitButton_; }
    QToolButton *AboutToolButton() const { return aboutButton_; }

public slots:
    void OpenFolder1Click();
    void VerifyAll1Click();
    void VerifyAllToolButtonClick();
    void VerifySelected1Click();
    void VerifySelectedToolButtonClick();
    void ValidateLink1Click();
    void URL_NamesDblClick();
    void URL_ListDblClick();
    void PauseToolButtonClick();
    void StopToolButtonClick();
    void Movedeadlinks1Click();
    void MoveFilesToolButtonClick();
    void MoveDeadLinks2Click();
    void AddbuttontoVIRevubar1Click();
    void RemovebuttonfromVIRevubar1Click();
    void Exit1Click();
    void ExitToolButtonClick();
    void About1Click();
    void AboutToolButtonClick();
    void URL_NamesClick();
    void URL_ListClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Operations the commands lead to (tfmverify_commands.cpp, tfmverify_favorites.cpp).
    void OpenFavoritesFolder();
    void VerifyAll();
    void BrowseOne();
    void PauseRun();
    void StopRun();
    void MoveDeadLinks();
    void AddBrowserButton();
    void RemoveBrowserButton();
    void ShowAboutBox();
    void Terminate();

    void createBrowseTo();

    // VerifyView (tfmverify_runview.cpp).
    int linkCount() const override;
    std::string linkURL(int row) const override;
    std::string linkName(int row) const override;
    std::string linkFile(int row) const override;
    int selectedLink() const override;
    void selectLink(int row) override;
    void addDeadLink(const std::string &name, const std::string &file) override;
    int deadLinkCount() const override;
    void clearDeadLinks() override;
    void setCaption(const std::string &caption) override;
    std::string currentStatusText() const override;
    void showStatusText(const std::string &text) override;
    void setDeadLinkCountText(const std::string &text) override;
    void setCount404sText(const std::string &text) override;
    void setOtherErrorsText(const std::string &text) override;
    void setHeaders(const StringList &lines) override;
    void clearHeaders() override;
    void clearEvents() override;
    void setVerifyAllEnabled(bool enabled) override;
    void setPauseEnabled(bool enabled) override;
    bool pauseDown() const override;
    void setPauseDown(bool down) override;
    void setStopEnabled(bool enabled) override;
    void setVerifySelectedEnabled(bool enabled) override;
    void setRunCursor(RunCursor cursor) override;
    bool &stopRequested() override;
    int &notFoundCount() override;
    int &otherErrorCount() override;
    std::string &currentName() override;
    std::string &currentFile() override;

    // Creation handler: program-wide values, the start-up load, the splash's hold and removal.
    void FormCreate();
    // The favorites lists show columns of the one catalogue model.
    void showCatalogue();
    // Runs a load of the catalogue while the lists know it is changing.
    void loadCatalogue(const std::function<void()> &load);
    // An empty favorites list says why it is empty.
    void updateEmptyNotice();
    // Runs a check with the commands that would replace the catalogue refused.
    void whileChecking(const std::function<void()> &check);
    // The counter labels are sized to their texts, which the run and the classification change.
    void fitCounterLabels();
    // Selection sync: the other list follows the row the user selected.
    void followSelection(TSearchListBox *from, TSearchListBox *to);

    void buildToolBar(QWidget *client);
    void buildMenus();
    void buildPopups();
    TSearchListBox *makeList(const char *name, QWidget *parent, const QRect &geometry);
    QLabel *makeCounterLabel(const char *name, const QString &text, QWidget *parent, int top);
    QToolButton *makeToolButton(const char *name, int picture, const QString &hint);

    std::optional<std::string> commandLineFolder_;
    FavoritesCatalogue catalogue_;
    CatalogueModel *catalogueModel_ = nullptr;
    bool destroying_ = false;
    TAboutBox *aboutBox_ = nullptr;
    TAdvHttp *browseTo_ = nullptr;
    std::unique_ptr<VerifyRun> run_;

    QToolBar *toolBar_ = nullptr;
    QToolButton *verifyAllButton_ = nullptr;
    QToolButton *pauseButton_ = nullptr;
    QToolButton *stopButton_ = nullptr;
    QFrame *divider_ = nullptr;
    QToolButton *verifySelectedButton_ = nullptr;
    QToolButton *moveFilesButton_ = nullptr;
    QToolButton *exitButton_ = nullptr;
    QToolButton *aboutButton_ = nullptr;

    QGroupBox *favoritesGroup_ = nullptr;
    TSearchListBox *urlNames_ = nullptr;
    TSearchListBox *urlList_ = nullptr;
    QGroupBox *groupBox1_ = nullptr;
    TSearchListBox *list404_ = nullptr;
    QLabel *deadLinkCount_ = nullptr;
    QLabel *count404s_ = nullptr;
    QLabel *otherErrors_ = nullptr;
    QGroupBox *groupBox2_ = nullptr;
    TSearchListBox *events_ = nullptr;
    HeadersMemo *headers_ = nullptr;
    QStatusBar *statusBar_ = nullptr;
    QLabel *statusText_ = nullptr;
    TSearchListBox *files_ = nullptr;
    TSearchListBox *deadfiles_ = nullptr;

    QAction *openFolder1_ = nullptr;
    EmptyListNotice *emptyNotice_ = nullptr;
    QMenu *verifyPopup_ = nullptr;
    QMenu *moveDeadPopup_ = nullptr;
};

} // namespace quorvel
