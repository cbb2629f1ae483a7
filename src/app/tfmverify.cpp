#include "app/tfmverify.h"

#include "app/captionframe.h"
#include "app/cataloguemodel.h"
#include "app/emptylistnotice.h"
#include "app/errorbox.h"
#include "app/headersmemo.h"
#include "app/pictures.h"
#include "app/rowheightdelegate.h"
#include "app/splash.h"
#include "http/advhttp.h"
#include "widgets/searchlistbox.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <utility>

// How long the catalogue took to load, for anyone measuring start-up (off by default).
Q_LOGGING_CATEGORY(lcCatalogue, "quorvel.catalogue", QtWarningMsg)

namespace quorvel
{

namespace
{

TTfmVerify *theWindow = nullptr;

constexpr int ToolButtonWidth = 23;
constexpr int ToolButtonHeight = 22;

// HotImages indexes of the pictures in use.
enum HotImage {
    PictureVerifySelected = 0,
    PictureVerifyAll = 1,
    PictureMoveDeadLinks = 3,
    PictureStop = 4,
    PictureAbout = 6,
    PicturePause = 8,
    PictureExit = 10,
    PictureAddButton = 12,
    PictureRemoveButton = 14,
};

} // namespace

TTfmVerify::TTfmVerify(std::optional<std::string> favoritesFolder, QWidget *parent)
    // CustomizeWindowHint keeps Qt from adding the maximise button back to the hints given.
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      commandLineFolder_(std::move(favoritesFolder))
{
    theWindow = this;
    setObjectName(QStringLiteral("TfmVerify"));
    setWindowTitle(QString::fromLatin1(ApplicationTitle));
    setWindowIcon(programIcon());
    setBackgroundRole(QPalette::Button);
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPixelSize(11);
    setFont(windowFont);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);

    buildToolBar(client);

    favoritesGroup_ = new CaptionFrame(QStringLiteral("Favorites"), client);
    favoritesGroup_->setObjectName(QStringLiteral("Favorites_Group"));
    favoritesGroup_->setGeometry(8, 32, 602, 209);
    urlNames_ = makeList("URL_Names", favoritesGroup_, QRect(16, 16, 273, 177));
    urlList_ = makeList("URL_List", favoritesGroup_, QRect(304, 16, 281, 177));
    emptyNotice_ = new EmptyListNotice(urlNames_);
    emptyNotice_->setObjectName(QStringLiteral("EmptyFavoritesNotice"));

    groupBox1_ = new CaptionFrame(QStringLiteral("Dead Links"), client);
    groupBox1_->setObjectName(QStringLiteral("GroupBox1"));
    groupBox1_->setGeometry(8, 256, 294, 161);
    list404_ = makeList("List404", groupBox1_, QRect(16, 16, 257, 81));
    deadLinkCount_ =
        makeCounterLabel("DeadLinkCount", QStringLiteral("Bad link count =  0"), groupBox1_, 104);
    count404s_ = makeCounterLabel("Count404s", QStringLiteral("404 count = 0"), groupBox1_, 120);
    otherErrors_ =
        makeCounterLabel("OtherErrors", QStringLiteral("Other errors = 0"), groupBox1_, 136);
    groupBox1_->installEventFilter(this);

    // A frame only: the log and the header box are the client area's own children, created
    // after it so that they lie on top of it.
    groupBox2_ = new CaptionFrame(QStringLiteral("Status"), client);
    groupBox2_->setObjectName(QStringLiteral("GroupBox2"));
    groupBox2_->setGeometry(312, 256, 297, 161);
    events_ = makeList("Events", client, QRect(328, 272, 265, 65));

    headers_ = new HeadersMemo(client);
    headers_->setObjectName(QStringLiteral("Headers"));
    headers_->setGeometry(328, 344, 265, 65);
    headers_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    headers_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    headers_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    headers_->setTabChangesFocus(true);

    statusBar_ = new QStatusBar(client);
    statusBar_->setObjectName(QStringLiteral("StatusBar"));
    statusBar_->setGeometry(0, 421, ClientWidth, 25);
    statusBar_->setSizeGripEnabled(false);
    statusText_ = new QLabel(statusBar_);
    statusText_->setObjectName(QStringLiteral("StatusText"));
    statusText_->setTextFormat(Qt::PlainText);
    statusText_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    statusBar_->addWidget(statusText_, 1);

    files_ = makeList("Files", client, QRect());
    files_->hide();
    showCatalogue();
    deadfiles_ = makeList("Deadfiles", client, QRect());
    deadfiles_->hide();

    buildMenus();
    buildPopups();

    setTabOrder(urlNames_, urlList_);
    setTabOrder(urlList_, list404_);
    setTabOrder(list404_, headers_);
    setTabOrder(headers_, events_);

    connect(urlNames_, &TSearchListBox::OnClick, this, &TTfmVerify::URL_NamesClick);
    // Typing, Backspace and Escape change the selection without a click; the lists follow all
    // the same.
    connect(urlNames_, &TSearchListBox::keySelectionChanged, this, &TTfmVerify::URL_NamesClick);
    connect(urlList_, &TSearchListBox::OnClick, this, &TTfmVerify::URL_ListClick);
    connect(urlList_, &TSearchListBox::keySelectionChanged, this, &TTfmVerify::URL_ListClick);
    connect(urlNames_, &QAbstractItemView::doubleClicked, this, &TTfmVerify::URL_NamesDblClick);
    connect(urlList_, &QAbstractItemView::doubleClicked, this, &TTfmVerify::URL_ListDblClick);

    setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    if (const QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    createBrowseTo();
    FormCreate();
}

TTfmVerify::~TTfmVerify()
{
    destroying_ = true;
    // The component goes first: it ends a request still in flight, and no event of it can then
    // reach a handler while the lists are being torn down.
    delete browseTo_;
    browseTo_ = nullptr;
    // Children outlive this destructor's body; none of their signals may reach a handler of a
    // window that is half gone.
    for (QObject *child : findChildren<QObject *>())
        child->disconnect(this);
    if (theWindow == this)
        theWindow = nullptr;
}

TTfmVerify *TTfmVerify::instance()
{
    return theWindow;
}

void TTfmVerify::buildToolBar(QWidget *client)
{
    toolBar_ = new QToolBar(client);
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setGeometry(0, 0, ClientWidth, 25);
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Buttons sit edge to edge from the left, as the fixed button widths assume.
    toolBar_->setContentsMargins(0, 0, 0, 0);
    toolBar_->layout()->setContentsMargins(0, 0, 0, 0);
    toolBar_->layout()->setSpacing(0);

    verifyAllButton_ =
        makeToolButton("VerifyAllToolButton", PictureVerifyAll, QStringLiteral("Verify all links"));
    pauseButton_ = makeToolButton("PauseToolButton", PicturePause, QStringLiteral("Pause"));
    pauseButton_->setCheckable(true);
    pauseButton_->setEnabled(false);
    stopButton_ = makeToolButton("StopToolButton", PictureStop, QStringLiteral("Stop verifying"));
    stopButton_->setEnabled(false);

    divider_ = new QFrame(toolBar_);
    divider_->setObjectName(QStringLiteral("DividerToolButton1"));
    divider_->setFrameShape(QFrame::VLine);
    divider_->setFrameShadow(QFrame::Sunken);
    divider_->setFixedSize(ToolButtonWidth, ToolButtonHeight);
    toolBar_->addWidget(divider_);

    verifySelectedButton_ = makeToolButton("VerifySelectedToolButton", PictureVerifySelected,
                                           QStringLiteral("Verify selected link"));
    moveFilesButton_ = makeToolButton("MoveFilesToolButton", PictureMoveDeadLinks,
                                      QStringLiteral("Move bad links"));
    exitButton_ = makeToolButton("ExitToolButton", PictureExit, QStringLiteral("Exit"));
    aboutButton_ = makeToolButton("AboutToolButton", PictureAbout, QStringLiteral("About "));

    connect(verifyAllButton_, &QToolButton::clicked, this, &TTfmVerify::VerifyAllToolButtonClick);
    connect(pauseButton_, &QToolButton::clicked, this, &TTfmVerify::PauseToolButtonClick);
    connect(stopButton_, &QToolButton::clicked, this, &TTfmVerify::StopToolButtonClick);
    connect(verifySelectedButton_, &QToolButton::clicked, this,
            &TTfmVerify::VerifySelectedToolButtonClick);
    connect(moveFilesButton_, &QToolButton::clicked, this, &TTfmVerify::MoveFilesToolButtonClick);
    connect(exitButton_, &QToolButton::clicked, this, &TTfmVerify::ExitToolButtonClick);
    connect(aboutButton_, &QToolButton::clicked, this, &TTfmVerify::AboutToolButtonClick);
}

QToolButton *TTfmVerify::makeToolButton(const char *name, int picture, const QString &hint)
{
    auto *button = new QToolButton(toolBar_);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(hotImage(picture));
    button->setIconSize(QSize(16, 16));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(ToolButtonWidth, ToolButtonHeight);
    toolBar_->addWidget(button);
    return button;
}

void TTfmVerify::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));

    auto addItem = [this](QMenu *menu, const char *name, const QString &caption,
                          const QIcon &picture, void (TTfmVerify::*handler)()) {
        QAction *action = menu->addAction(picture, caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setIconVisibleInMenu(true);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    openFolder1_ = addItem(file, "OpenFolder1", QStringLiteral("&Open Favorites Folder..."),
                           openFolderPicture(), &TTfmVerify::OpenFolder1Click);
    addItem(file, "VerifyAll1", QStringLiteral("&Verify All"), hotImage(PictureVerifyAll),
            &TTfmVerify::VerifyAll1Click);
    addItem(file, "VerifySelected1", QStringLiteral("Verify &Selected"),
            hotImage(PictureVerifySelected), &TTfmVerify::VerifySelected1Click);
    addItem(file, "Movedeadlinks1", QStringLiteral("&Move dead links"),
            hotImage(PictureMoveDeadLinks), &TTfmVerify::Movedeadlinks1Click);
    addItem(file, "Exit1", QStringLiteral("E&xit"), hotImage(PictureExit), &TTfmVerify::Exit1Click);

    QMenu *edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    addItem(edit, "AddbuttontoVIRevubar1", QStringLiteral("&Add button to IE Toolbar"),
            hotImage(PictureAddButton), &TTfmVerify::AddbuttontoVIRevubar1Click);
    addItem(edit, "RemovebuttonfromVIRevubar1", QStringLiteral("&Remove button from IE Toolbar"),
            hotImage(PictureRemoveButton), &TTfmVerify::RemovebuttonfromVIRevubar1Click);

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("help1"));
    addItem(help, "About1", QStringLiteral("&About"), hotImage(PictureAbout),
            &TTfmVerify::About1Click);
}

void TTfmVerify::buildPopups()
{
    verifyPopup_ = new QMenu(this);
    verifyPopup_->setObjectName(QStringLiteral("VerifyPopupRClick"));
    QAction *validate = verifyPopup_->addAction(QStringLiteral("&Validate Selected Link"));
    validate->setObjectName(QStringLiteral("ValidateLink1"));
    connect(validate, &QAction::triggered, this, &TTfmVerify::ValidateLink1Click);

    moveDeadPopup_ = new QMenu(this);
    moveDeadPopup_->setObjectName(QStringLiteral("MoveDeadPopup"));
    QAction *moveDead = moveDeadPopup_->addAction(QStringLiteral("&Move Dead Links"));
    moveDead->setObjectName(QStringLiteral("MoveDeadLinks2"));
    connect(moveDead, &QAction::triggered, this, &TTfmVerify::MoveDeadLinks2Click);

    // CustomContextMenu covers both the right button and the keyboard's context-menu key; the
    // position arrives in viewport coordinates.
    auto attach = [](TSearchListBox *list, QMenu *popup) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, popup,
                [list, popup](QPoint pos) { popup->popup(list->viewport()->mapToGlobal(pos)); });
    };
    attach(urlNames_, verifyPopup_);
    attach(urlList_, verifyPopup_);
    attach(list404_, moveDeadPopup_);
}

TSearchListBox *TTfmVerify::makeList(const char *name, QWidget *parent, const QRect &geometry)
{
    auto *list = new TSearchListBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    if (geometry.isValid())
        list->setGeometry(geometry);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    list->setItemDelegate(new RowHeightDelegate(ListRowHeight, list));
    return list;
}

QLabel *TTfmVerify::makeCounterLabel(const char *name, const QString &text, QWidget *parent,
                                     int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->move(16, top);
    label->resize(label->sizeHint().width(), 13);
    return label;
}

void TTfmVerify::fitCounterLabels()
{
    for (QLabel *label : {deadLinkCount_, count404s_, otherErrors_}) {
        const int width = label->sizeHint().width();
        if (label->width() != width)
            label->resize(width, 13);
    }
}

bool TTfmVerify::eventFilter(QObject *watched, QEvent *event)
{
    // A label's new text asks its parent for a new layout; the group box has none, so the
    // labels are fitted here.
    if (watched == groupBox1_ &&
        (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show))
        fitCounterLabels();
    return QMainWindow::eventFilter(watched, event);
}

void TTfmVerify::FormCreate()
{
    runGuarded([this] {
        const std::filesystem::path program(QCoreApplication::applicationFilePath().toStdString());
        ProgramFolder = program.parent_path().string() + std::filesystem::path::preferred_separator;
        StopRequested = false;
        OtherErrorCount = 0;
        NotFoundCount = 0;
        stopButton_->setEnabled(false);

        // An error of the load is shown, and start-up goes on with whatever was loaded.
        runGuarded([this] {
            loadCatalogue([this] {
                if (commandLineFolder_)
                    catalogue_.LoadFolder(*commandLineFolder_);
                else
                    catalogue_.Load();
            });
        });
    });
    // Deliberately blocking: the splash stays up, unrepainted, for a fixed time after loading.
    std::this_thread::sleep_for(std::chrono::milliseconds(splashHoldMs()));
    destroySplash();
}

void TTfmVerify::showCatalogue()
{
    catalogueModel_ = new CatalogueModel(catalogue_.entries(), this);
    const std::pair<TSearchListBox *, CatalogueModel::Column> columns[] = {
        {urlNames_, CatalogueModel::NameColumn},
        {urlList_, CatalogueModel::UrlColumn},
        {files_, CatalogueModel::FileColumn},
    };
    for (const auto &[list, column] : columns) {
        list->setModel(catalogueModel_);
        list->setModelColumn(column);
    }
}

void TTfmVerify::loadCatalogue(const std::function<void()> &load)
{
    // The lists drop their rows first and take the new ones at the end, also when the load
    // fails part way: they then show what was loaded.
    struct Reload {
        TTfmVerify *window;
        ~Reload()
        {
            window->catalogueModel_->endReload();
            window->updateEmptyNotice();
        }
    };
    const auto start = std::chrono::steady_clock::now();
    catalogueModel_->beginReload();
    {
        const Reload reload{this};
        load();
    }
    qCInfo(lcCatalogue, "%zu shortcuts loaded and shown in %lld ms", catalogue_.entries().size(),
           static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - start)
                                      .count()));
}

void TTfmVerify::ReloadCatalogue()
{
    loadCatalogue([this] { catalogue_.ReloadCatalogue(); });
}

void TTfmVerify::setStatusText(const QString &text)
{
    statusText_->setText(text);
}

QString TTfmVerify::statusText() const
{
    return statusText_->text();
}

void TTfmVerify::setScreenCursor(Qt::CursorShape shape)
{
    // One program-wide cursor over all windows: the default drops every override.
    if (shape == Qt::ArrowCursor) {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    } else if (QApplication::overrideCursor()) {
        QApplication::changeOverrideCursor(QCursor(shape));
    } else {
        QApplication::setOverrideCursor(QCursor(shape));
    }
}

} // namespace quorvel
