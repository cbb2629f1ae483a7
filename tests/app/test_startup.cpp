#include "app/startup.h"

#include "app/splash.h"
#include "app/tfmverify.h"
#include "appfixture.h"
#include "widgets/searchlistbox.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTest>

#include <memory>

using namespace quorvel;

namespace
{

// Records, in order, when the splash and the main window are shown, when the splash goes and
// when an error box appears, with what else was on screen at that moment.
class StartupRecorder : public QObject
{
public:
    QStringList steps;
    int rowsAtFirstShow = -1;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        if (watched->objectName() == QLatin1String("Splash")) {
            steps << QStringLiteral("splash shown");
            connect(watched, &QObject::destroyed, this,
                    [this] { steps << QStringLiteral("splash destroyed"); });
        } else if (auto *window = qobject_cast<TTfmVerify *>(watched)) {
            steps << QStringLiteral("main shown") + (Splash ? " with splash" : "");
            if (rowsAtFirstShow < 0)
                rowsAtFirstShow = window->URL_Names()->count();
        }
        return false;
    }

    void errorShown(const QString &text)
    {
        const TTfmVerify *window = TTfmVerify::instance();
        steps << "error: " + text + (Splash && Splash->isVisible() ? " over splash" : "") +
                     (window && window->isVisible() ? " with main" : "");
    }
};

class StartupTest : public test::AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        qApp->installEventFilter(&recorder_);
        setErrorPresenter([this](const QString &text) { recorder_.errorShown(text); });
    }
    void TearDown() override
    {
        qApp->removeEventFilter(&recorder_);
        AppFixture::TearDown();
    }

    StartupRecorder recorder_;
};

TEST_F(StartupTest, SplashIsGoneBeforeMainWindowShowsWithItsListsFilled)
{
    favorites_.write("one.url", shortcut("http://127.0.0.1/1"));
    favorites_.write("two.url", shortcut("http://127.0.0.1/2"));
    pointFavoritesAt(favorites_.str());
    const std::unique_ptr<TTfmVerify> window = startQuorvel();
    EXPECT_EQ(recorder_.steps, (QStringList{"splash shown", "splash destroyed", "main shown"}));
    EXPECT_EQ(recorder_.rowsAtFirstShow, 2);
    EXPECT_EQ(Splash, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Quorvel"));
}

TEST_F(StartupTest, LoadErrorIsShownOverTheSplashAndStartUpGoesOn)
{
    writeFavoritesValue("\"Favorites\"=dword:00000002");
    const std::unique_ptr<TTfmVerify> window = startQuorvel();
    EXPECT_EQ(recorder_.steps,
              (QStringList{"splash shown", "error: Invalid data type for 'Favorites' over splash",
                           "splash destroyed", "main shown"}));
    EXPECT_EQ(window->URL_Names()->count(), 0);
    EXPECT_TRUE(window->isVisible());
}

// The picture is wider than its area: drawn from the top-left it loses its right columns; a
// centred or scaled picture would show other pixels at the area's corners.
TEST_F(StartupTest, SplashDrawsPictureAtOwnSizeFromTopLeftAboveTheLabel)
{
    showSplash();
    ASSERT_NE(Splash, nullptr);
    TSplash &splash = *Splash;
    EXPECT_EQ(splash.objectName(), QStringLiteral("Splash"));
    EXPECT_EQ(splash.windowTitle(), QStringLiteral("Initializing"));
    EXPECT_EQ(splash.size(), QSize(429, 290));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(splash.isVisible());

    QLabel *image = splash.findChild<QLabel *>(QStringLiteral("Image1"));
    QLabel *label = splash.findChild<QLabel *>(QStringLiteral("Label1"));
    ASSERT_TRUE(image && label);
    EXPECT_EQ(image->geometry(), QRect(0, 0, 429, 271));
    EXPECT_EQ(label->geometry(), QRect(0, 271, 429, 19));
    EXPECT_EQ(label->text(), QStringLiteral("    Loading Favorites....."));
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->font().pixelSize(), 16);

    const QImage picture = image->pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(431, 268));
    const QImage shown = splash.grab().toImage();
    for (const QPoint at : {QPoint(0, 0), QPoint(428, 0), QPoint(428, 267), QPoint(200, 130)})
        EXPECT_EQ(shown.pixelColor(at), picture.pixelColor(at)) << at.x() << "," << at.y();
    // Below the picture and above the label: the area's own background, not a stretched row.
    EXPECT_EQ(shown.pixelColor(10, 270), splash.palette().color(QPalette::Button));
    EXPECT_EQ(shown.pixelColor(300, 280), QColor(Qt::black));

    destroySplash();
    EXPECT_EQ(Splash, nullptr);
    destroySplash(); // a second call finds nothing to do
}

} // namespace
