#pragma once
// TTfmVerify: the main window. It shows the favorites catalogue as two side-by-side lists, the
// dead links with their counters and the progress of the current request, and carries the menu,
// the toolbar and the two pop-up menus. Each command handler passes straight on to one operation.

#include "catalogue/catalogue.h"

#include <QMainWindow>
#include <string>

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

class TAboutBox;

class TTfmVerify : public QMainWindow
{
    Q_OBJECT
public:
    // Client area below the menu bar.
    static constexpr int ClientWidth = 618;
    static constexpr int ClientHeight = 446;
    static constexpr int ListRowHeight = 13;

    // Builds the window hidden and runs FormCreate, which loads the catalogue.
    explicit TTfmVerify(QWidget *parent = nullptr);
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

    // The single text of the status bar.
    void setStatusText(const QString &text);
    QString statusText() const;

    TSearchListBox *URL_Names() const { return urlNames_; }
    TSearchListBox *URL_List() const { return urlList_; }
    TSearchListBox *Files() const { return files_; }
    TSearchListBox *List404() const { return list404_; }
    TSearchListBox *Deadfiles() const { return deadfiles_; }
    TSearchListBox *Events() const { return events_; }
    QPlainTextEdit *Headers() const { return headers_; }
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
    // Operations the commands lead to. The verification run, the dead-link move, the browser
    // button and the about box are wired in here as they arrive.
    void VerifyAll();
    void BrowseOne();
    void PauseRun();
    void StopRun();
    void MoveDeadLinks();
    void AddBrowserButton();
    void RemoveBrowserButton();
    void ShowAboutBox();
    void Terminate();

    // Creation handler: program-wide values, the start-up load, the splash's hold and removal.
    void FormCreate();
    void showCatalogue();
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

    FavoritesCatalogue catalogue_;
    bool destroying_ = false;
    TAboutBox *aboutBox_ = nullptr;

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
    QPlainTextEdit *headers_ = nullptr;
    QStatusBar *statusBar_ = nullptr;
    QLabel *statusText_ = nullptr;
    TSearchListBox *files_ = nullptr;
    TSearchListBox *deadfiles_ = nullptr;

    QMenu *verifyPopup_ = nullptr;
    QMenu *moveDeadPopup_ = nullptr;
};

} // namespace quorvel
