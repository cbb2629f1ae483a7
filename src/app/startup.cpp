#include "app/startup.h"

#include "app/aboutbox.h"
#include "app/commandline.h"
#include "app/errorbox.h"
#include "app/pictures.h"
#include "app/splash.h"
#include "app/tfmverify.h"

#include <QApplication>
#include <QStringList>
#include <utility>

namespace quorvel
{

namespace
{

// The about box is created here, hidden, once the main window exists; it lives until the
// program ends and is only shown and hidden.
void createAboutBox(TTfmVerify &window)
{
    window.setAboutBox(new TAboutBox(&window));
}

} // namespace

std::unique_ptr<TTfmVerify> startQuorvel(std::optional<std::string> favoritesFolder)
{
    initAppAssets();
    showSplash();
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVEL_APP_ID));
    auto window = std::make_unique<TTfmVerify>(std::move(favoritesFolder));
    // FormCreate has removed the splash already; this only matters if it could not run.
    destroySplash();
    createAboutBox(*window);
    window->show();
    return window;
}

int runQuorvel(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Help and version must work where no display is, as over ssh; processCommandLine exits.
    if (asksForHelpOrVersion(arguments)) {
        QCoreApplication textOnly(argc, argv);
        processCommandLine(textOnly);
        return 0;
    }
    QApplication app(argc, argv);
    // QApplication has taken out the window system's own options by now.
    const CommandLine line = processCommandLine(app);
    const std::unique_ptr<TTfmVerify> window = startQuorvel(line.favoritesFolder);
    const int code = QApplication::exec();
    return code;
}

} // namespace quorvel
