#pragma once
// Start-up and shutdown of the program: splash, main window, about box, event loop.

#include <memory>
#include <optional>
#include <string>

namespace quorvel
{

class TTfmVerify;

// Everything up to the event loop, inside an existing QApplication: the splash is shown and
// painted, the main window created hidden (its FormCreate loads the favorites, holds the splash
// and destroys it), the about box created, and the main window shown. A favoritesFolder given
// (the command line's FOLDER) is loaded in place of the registry's folder.
std::unique_ptr<TTfmVerify> startQuorvel(std::optional<std::string> favoritesFolder = {});

// The whole program, command line included: returns the exit code once the event loop has ended.
int runQuorvel(int argc, char **argv);

} // namespace quorvel
