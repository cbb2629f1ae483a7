#pragma once
// Putting back the files of one moving run, each to its exact old path.

#include "history/store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::history
{

enum class UndoOutcome {
    Back,             // moved back to its old path
    WouldGoBack,      // a dry run's answer for a file that would be moved back
    AlreadyBack,      // found at its old path and not at the destination: it never left or was
                      // put back already (a crash may have come between a move and its mark)
    NotAtDestination, // stays: it is not where it was moved to, nor at its old path
    PlaceTaken,       // stays: another file now has its old path
    Failed,           // stays: the move back failed (access denied, disk full...)
};

struct UndoItem {
    std::string source;      // its old path, where it goes back to
    std::string destination; // where it was moved to
    UndoOutcome outcome = UndoOutcome::Failed;
};

struct UndoResult {
    std::vector<UndoItem> items;
    bool allBack() const;
};

// Moves back every file of the run not yet put back, never over an existing file, making its
// old sub-folders again where they are gone, and marks each one put back. With dryRun nothing
// is moved or marked. Throws StoreError when the store cannot be read or written.
UndoResult undoRun(HistoryStore &store, std::int64_t run, bool dryRun);

} // namespace quorvel::history
