#pragma once
// The program's command line: quorvel [FOLDER], --help, --version.

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

class QCoreApplication;

namespace quorvel
{

// What the command line asks of this run.
struct CommandLine {
    // The favorites folder to open instead of the registry's, absolute and without a trailing
    // separator; empty when none was given.
    std::optional<std::string> favoritesFolder;
};

// True when the arguments ask for the help or version text and nothing the window system must
// see first. Those texts need no display, so the caller answers them before any window exists.
bool asksForHelpOrVersion(const QStringList &arguments);

// Reads app's arguments (the window system's own options already taken out). Help, version and
// usage mistakes are answered as QCommandLineParser answers them: the text on the terminal, then
// the process exits, with 0 for help and version and 1 for a mistake.
CommandLine processCommandLine(const QCoreApplication &app);

// FOLDER as the catalogue takes it: relative to the current folder, ".." and doubled or
// trailing separators resolved, in the file system's encoding.
std::string favoritesFolderArgument(const QString &argument);

} // namespace quorvel
