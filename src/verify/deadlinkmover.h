#pragma once
// Moving the shortcut files of dead links out of the favorites folder into a folder the user
// chose, rebuilding their sub-folders below it.

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel
{

// The sub-folder of a shortcut's folder below the favorites folder: "" for a shortcut that lies
// directly in it, "News" one level down, "News/Sport" two levels down.
std::string relativeSubFolder(const std::string &shortcutPath, const std::string &favoritesFolder);

// Where a shortcut goes: the chosen folder, its relative sub-folder, its file name.
std::string destinationFolderFor(const std::string &shortcutPath,
                                 const std::string &favoritesFolder,
                                 const std::string &chosenFolder);
std::string destinationPathFor(const std::string &shortcutPath, const std::string &favoritesFolder,
                               const std::string &chosenFolder);

// What became of one shortcut file.
enum class MoveOutcome {
    Moved,
    DestinationExists, // left where it is: a file of that name is already there
    Failed,            // left where it is: the source is gone, access denied, disk full...
};

// Moves one shortcut file to its destination below the chosen folder, creating the folders it
// needs; never overwrites.
MoveOutcome moveDeadFile(const std::string &shortcutPath, const std::string &favoritesFolder,
                         const std::string &chosenFolder);

// Moves every listed shortcut file, creating the destination folders it needs. A file whose
// destination exists is left where it is (never overwritten); a path listed twice is moved
// once. Returns the number of files actually moved.
std::size_t moveDeadFiles(const std::vector<std::string> &deadFiles,
                          const std::string &favoritesFolder, const std::string &chosenFolder);

// The report box after a move: "Moved 1 link to X." / "Link Moved", otherwise
// "Moved n links to X." / "Links Moved".
struct MoveReport {
    std::string text;
    std::string caption;
};
MoveReport moveReport(std::size_t moved, const std::string &chosenFolder);

} // namespace quorvel
