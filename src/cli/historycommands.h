#pragma once
// quorvel-check --moves and --undo: the journal of moves read back, and the moves undone.

#include "cli/options.h"

#include <ostream>

namespace quorvel::cli
{

// Lists the runs that moved files, newest first. 0, or 2 when the store cannot be read.
int listMoves(const Options &options, std::ostream &out, std::ostream &err);

// Puts back the files of the run (0: the latest run not yet wholly undone); with
// options.dryRun only says what it would do. 0 when every file went back (or nothing was left
// to undo), 1 when some stay, 2 for a run that moved nothing or a store that cannot be read.
int undoMoves(const Options &options, long long run, std::ostream &out, std::ostream &err);

} // namespace quorvel::cli
