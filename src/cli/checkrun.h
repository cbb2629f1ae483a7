#pragma once
// The steps of one quorvel-check run after its command line: checking a catalogue's links,
// moving the dead shortcuts, and the exit status.

#include "catalogue/catalogue.h"
#include "cli/linkchecker.h"
#include "cli/report.h"
#include "deep/parking.h"
#include "verify/deadlinkmover.h"

#include <cstddef>
#include <functional>
#include <string>

namespace quorvel::cli
{

// Links done so far, of total, and how many of them are dead and suspect.
using ProgressHandler =
    std::function<void(std::size_t done, std::size_t total, std::size_t dead, std::size_t suspect)>;

// Checks every http(s) link of the catalogue (read from folder) and returns the report in
// catalogue order; skipped links are decided without a request. With deepPhrases (--deep),
// links that answer 2xx are looked at again and may be found suspect. When the settings' stop
// descriptor ends the run, the links not reached (or whose probe had not answered) are
// unchecked and the report is incomplete. The catalogue's texts move into the report.
Report checkCatalogue(Catalogue catalogue, const std::string &folder, bool httpOnly,
                      const CheckSettings &settings, const ProgressHandler &progress = {},
                      const deep::ParkingPhrases *deepPhrases = nullptr);

// The shortcuts of folder read and checked as checkCatalogue does, the links checked while the
// rest of the folder is still being read (with deepPhrases, once it is all read).
Report checkFolder(const std::string &folder, bool httpOnly, const CheckSettings &settings,
                   const ProgressHandler &progress = {},
                   const deep::ParkingPhrases *deepPhrases = nullptr);

// Moves the dead shortcuts of a complete report into target (or, for a dry run, records where
// each would go) with the window's mover; suspects too when suspectIsDead, otherwise they are
// marked as staying. A link dead in fewer runs in a row than report.confirm stays, unconfirmed.
// stopAsked is consulted between moves: a move that has begun always completes, the rest are
// then not tried. With a journal, each move is recorded there first; when it cannot be, that
// file and the rest are not tried and the result is false.
bool moveDeadShortcuts(Report &report, const std::string &folder, const std::string &target,
                       bool dryRun, bool suspectIsDead = false,
                       const std::function<bool()> &stopAsked = {},
                       MoveJournal *journal = nullptr);

// 0: no dead or suspect link, 1: at least one, 3: the network looked unreachable (unless
// forceMove), 130: interrupted.
int exitStatusOf(const Report &report, bool forceMove = false);

// A shortcut's path relative to the folder it was found in.
std::string relativePath(const std::string &file, const std::string &folder);

// The folder as given, without trailing separators (the root stays itself).
std::string normalizedFolder(std::string folder);

} // namespace quorvel::cli
