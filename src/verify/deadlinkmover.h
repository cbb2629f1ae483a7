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
    NotJournaled,      // left where it is: the journal could not record the move first
};

// Records moves so they can be undone: an entry before each file moves, its outcome after, so
// that even a crash between the two leaves word of where the file may be.
class MoveJournal
{
public:
    virtual ~MoveJournal() = default;
    // False when the entry could not be written: the file must then not move.
    virtual bool aboutToMove(const std::string &from, const std::string &to) = 0;
    // The outcome of the move just announced.
    virtual void moveEnded(MoveOutcome outcome) = 0;
};

// Moves one shortcut file to its destination below the chosen folder, creating the folders it
// needs; never overwrites. With a journal, the move is recorded there first.
MoveOutcome moveDeadFile(const std::string &shortcutPath, const std::string &favoritesFolder,
                         const std::string &chosenFolder, MoveJournal *journal = nullptr);

// Moves every listed shortcut file, creating the destination folders it needs. A file whose
// destination exists is left where it is (never overwritten); a path listed twice is moved
// once. Returns the number of files actually moved.
std::size_t moveDeadFiles(const std::vector<std::string> &deadFiles,
                          const std::string &favoritesFolder, const std::string &chosenFolder,
                          MoveJournal *journal = nullptr);

// The report box after a move: "Moved 1 link to X." / "Link Moved", otherwise
// "Moved n links to X." / "Links Moved".
struct MoveReport {
    std::string text;
    std::string caption;
};
MoveReport moveReport(std::size_t moved, const std::string &chosenFolder);

} // namespace quorvel
