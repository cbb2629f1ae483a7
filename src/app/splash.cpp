#include "app/splash.h"

#include "app/pictures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

namespace quorvel
{

TSplash *Splash = nullptr;

namespace
{

int holdMs = SplashHoldMs;

// How long showSplash waits at most for the window system to map the window.
constexpr int ExposeWaitMs = 1000;

} // namespace

TSplash::TSplash(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), image1_(new QLabel(this)),
      label1_(new QLabel(this))
{
    setObjectName(QStringLiteral("Splash"));
    setWindowTitle(QStringLiteral("Initializing"));
    setFixedSize(ClientWidth, ClientHeight);
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPixelSize(11);
    setFont(windowFont);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    // Drawn at its own size from the top-left: a picture wider than the area loses its right
    // columns rather than being scaled.
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(0, 0, ClientWidth, ClientHeight - LabelHeight);
    image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image1_->setScaledContents(false);
    const QImage picture = loadJpegPicture(QStringLiteral(":/app/splash.jpg"));
    if (!picture.isNull())
        image1_->setPixmap(QPixmap::fromImage(picture));

    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(0, ClientHeight - LabelHeight, ClientWidth, LabelHeight);
    label1_->setTextFormat(Qt::PlainText);
    label1_->setText(QStringLiteral("    Loading Favorites....."));
    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setPixelSize(16);
    labelFont.setBold(true);
    label1_->setFont(labelFont);
    QPalette labelPalette = label1_->palette();
    labelPalette.setColor(QPalette::Window, Qt::black);
    labelPalette.setColor(QPalette::WindowText, Qt::yellow);
    label1_->setPalette(labelPalette);
    // Without explicit roles the label would take the window's button-face role from its parent.
    label1_->setBackgroundRole(QPalette::Window);
    label1_->setForegroundRole(QPalette::WindowText);
    label1_->setAutoFillBackground(true);
    label1_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void showSplash()
{
    destroySplash();
    Splash = new TSplash;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = Splash->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        Splash->move(frame.topLeft());
    }
    Splash->show();
    // The window system has to map the window before a paint can reach the screen. User input
    // stays queued; the wait is bounded so a window system that never exposes us cannot hang
    // start-up.
    QElapsedTimer waited;
    waited.start();
    do {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    } while (Splash->windowHandle() && !Splash->windowHandle()->isExposed() &&
             waited.elapsed() < ExposeWaitMs);
    Splash->repaint();
}

void destroySplash()
{
    if (!Splash)
        return;
    TSplash *splash = Splash;
    Splash = nullptr;
    splash->hide();
    delete splash;
}

int splashHoldMs()
{
    return holdMs;
}

void setSplashHoldMs(int ms)
{
    holdMs = ms < 0 ? 0 : ms;
}

} // namespace quorvel
