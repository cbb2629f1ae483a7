#include "app/aboutbox.h"

#include "app/pictures.h"
#include "widgets/framepainter.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

// The about picture lives in its own resource file of this static library; it must be
// registered by hand or the linker may drop it. Q_INIT_RESOURCE cannot sit inside a namespace.
static void initAboutResource()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(about);
        return true;
    }();
    (void)done;
}

namespace quorvel
{

namespace
{

constexpr QSize clientSize(334, 253);
const QColor panelColour(128, 0, 0);

TAboutBox::UrlOpener &urlOpener()
{
    static TAboutBox::UrlOpener opener;
    return opener;
}

QFont sansSerif(int pixels)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixels);
    return font;
}

} // namespace

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setModal(false);
    setFont(sansSerif(11));
    setFixedSize(clientSize);
    buildControls();
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::buildControls()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 313, 201);
    QPalette panelPalette = Panel1->palette();
    panelPalette.setColor(QPalette::Window, panelColour);
    // White on dark red for every text of the panel.
    panelPalette.setColor(QPalette::WindowText, Qt::white);
    Panel1->setPalette(panelPalette);
    Panel1->setAutoFillBackground(true);
    Panel1->installEventFilter(this);

    initAboutResource();
    ProgramIcon = new QWidget(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 16, 289, 65);
    ProgramIcon->installEventFilter(this);
    // A picture that cannot be decoded leaves the area empty; the box still works.
    m_picture = QPixmap::fromImage(loadJpegPicture(QStringLiteral(":/about/about.jpg")));

    ProductName = new QLabel(QString::fromLatin1(MakerWebPage), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->setGeometry(16, 96, 176, 16);
    QFont linkFont = sansSerif(13);
    linkFont.setUnderline(true);
    ProductName->setFont(linkFont);
    ProductName->setCursor(Qt::PointingHandCursor);
    ProductName->installEventFilter(this);

    Version = addTextLabel("Version", QStringLiteral("Freeware"), 16, 120);
    Copyright = addTextLabel("Copyright", QStringLiteral("Version 1.1"), 16, 144);
    Comments = new QLabel(QStringLiteral("Copyright \u00a9 2026 Quorvel developers"), Panel1);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Comments->setGeometry(16, 168, 163, std::max(16, Comments->heightForWidth(163)));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(127, 220, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
}

QLabel *TAboutBox::addTextLabel(const char *name, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, Panel1);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->resize(label->sizeHint().width(), 16);
    return label;
}

void TAboutBox::Show()
{
    if (!isVisible()) {
        const QScreen *screen =
            parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (screen)
            move(screen->availableGeometry().center() - rect().center());
        show();
    }
    raise();
    activateWindow();
}

void TAboutBox::OKButtonClick()
{
    hide();
}

void TAboutBox::ProductNameClick()
{
    const QUrl page(QString::fromLatin1(MakerWebPage));
    // Whether a browser opened is not our concern: the box stays and nothing is reported.
    if (urlOpener())
        urlOpener()(page);
    else
        QDesktopServices::openUrl(page);
}

TAboutBox::UrlOpener TAboutBox::setUrlOpener(UrlOpener opener)
{
    UrlOpener previous = std::move(urlOpener());
    urlOpener() = std::move(opener);
    return previous;
}

bool TAboutBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Panel1 && event->type() == QEvent::Paint) {
        // A lowered outer bevel around a raised inner one.
        QPainter painter(Panel1);
        FrameShades shades = frameShades(palette(), palette().color(QPalette::Dark));
        shades.face = panelColour;
        paintFrame(painter, Panel1->rect(), fsGroove, allFrameSides, shades);
    } else if (watched == ProgramIcon && event->type() == QEvent::Paint) {
        paintPicture();
        return true;
    } else if (watched == ProductName && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton &&
            ProductName->rect().contains(mouse->position().toPoint())) {
            ProductNameClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::paintPicture()
{
    if (m_picture.isNull())
        return;
    // At its own size and centred, never scaled: a picture taller than the area loses the
    // smaller half of the excess at the top (17 rows: 8 above, 9 below).
    const QSize area = ProgramIcon->size();
    const QSize size = m_picture.deviceIndependentSize().toSize();
    const int left = (area.width() - size.width()) / 2;
    const int top = -((size.height() - area.height()) / 2);
    QPainter painter(ProgramIcon);
    painter.drawPixmap(left, top, m_picture);
}

void TAboutBox::keyPressEvent(QKeyEvent *event)
{
    // There is no cancel button, so Escape leaves the box open; Enter still presses OK.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quorvel
