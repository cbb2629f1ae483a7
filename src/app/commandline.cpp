#include "app/commandline.h"

#include "app/errorbox.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

namespace quorvel
{

namespace
{

void describeOptions(QCommandLineParser &parser)
{
    QCoreApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    parser.setApplicationDescription(QStringLiteral(
        "Checks the web links kept as Internet shortcut files (.url), lists the dead ones\n"
        "and moves their files into a folder of your choice."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("The favorites folder to open for this run, "
                                                "instead of the one in Quorvel's registry "
                                                "(which stays as it is)."),
                                 QStringLiteral("[FOLDER]"));
}

} // namespace

bool asksForHelpOrVersion(const QStringList &arguments)
{
    QCommandLineParser parser;
    describeOptions(parser);
    // A failed parse may only mean window-system options that QApplication has yet to take.
    if (!parser.parse(arguments))
        return false;
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"));
}

CommandLine processCommandLine(const QCoreApplication &app)
{
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);
    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1) {
        std::fprintf(stderr, "%s: Only one FOLDER can be given.\n", ApplicationTitle);
        std::exit(EXIT_FAILURE);
    }
    CommandLine line;
    if (!folders.isEmpty())
        line.favoritesFolder = favoritesFolderArgument(folders.front());
    return line;
}

std::string favoritesFolderArgument(const QString &argument)
{
    const QString absolute = QDir::cleanPath(QFileInfo(argument).absoluteFilePath());
    return QFile::encodeName(absolute).toStdString();
}

} // namespace quorvel
