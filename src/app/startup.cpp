#include "app/startup.h"

#include "app/aboutbox.h"
#include "app/errorbox.h"
#include "app/pictures.h"
#include "app/splash.h"
#include "app/tfmverify.h"

#include <QApplication>

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

std::unique_ptr<TTfmVerify> startQuorvel()
{
    initAppAssets();
    showSplash();
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    auto window = std::make_unique<TTfmVerify>();
    // FormCreate has removed the splash already; this only matters if it could not run.
    destroySplash();
    createAboutBox(*window);
    window->show();
    return window;
}

int runQuorvel(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The program takes no command line; Qt's own options are still honoured by QApplication.
    const std::unique_ptr<TTfmVerify> window = startQuorvel();
    const int code = QApplication::exec();
    return code;
}

} // namespace quorvel
