#pragma once
// quorvel-check on a browser's bookmark store: finding and reading it, checking every bookmark
// as a shortcut is checked, and the cleaned copy with the dead ones in "Dead links".

#include "bookmarks/bookmarktree.h"
#include "cli/checkrun.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli
{

// The name reports give a store's kind: "html", "chromium" or "firefox".
std::string_view storeKindName(bookmarks::StoreKind kind);

// The user's home folder: $HOME, else the password database's.
std::filesystem::path homeFolder();

// The store that --bookmarks or --browser names, saying on err which file a browser's is; nothing,
// with the reason written to err, when there is none.
std::optional<std::filesystem::path> bookmarkStoreOf(const std::string &file,
                                                     const std::string &browser,
                                                     const std::filesystem::path &home,
                                                     std::ostream &err);

// --browser list: every store found under home, one a line. 0 when one was found, else 1.
int listBrowserStores(const std::filesystem::path &home, std::ostream &out);

// Checks every bookmark (flatten's entries of a store of kind) as checkCatalogue checks
// shortcuts: the title is the name, the folders and the title the path ("Bookmarks
// Toolbar/News/Old paper"), and each entry's file is that path below storeFile, which keys its
// history. A bookmark that is another one's twin (same path and URL) gets a number in its file
// so that each keeps a history of its own. The report is in the order of the entries.
Report checkBookmarks(std::vector<bookmarks::BookmarkEntry> entries, bookmarks::StoreKind kind,
                      const std::string &storeFile, bool httpOnly, const CheckSettings &settings,
                      const ProgressHandler &progress = {},
                      const deep::ParkingPhrases *deepPhrases = nullptr);

// Before the check: the cleaned copy may go to target, which must be neither the store itself
// nor an existing file other than a bookmarks HTML file. False, with the reason written, if not.
bool usableCleanedCopy(const std::filesystem::path &target, const std::filesystem::path &store,
                       std::ostream &err);

// Which entries of a complete report go into "Dead links" (dead ones confirmed by
// report.confirm, and suspects too when suspectIsDead), marked in their results as moved there;
// the others that are dead or suspect are marked as staying or unconfirmed.
std::vector<bool> sortIntoDeadLinks(Report &report, bool suspectIsDead);

// Writes the cleaned copy and notes it in the report; false, with the reason written to err and
// the entries marked as not moved, when it cannot be written.
bool writeCleanedCopy(Report &report, const std::filesystem::path &target,
                      const bookmarks::BookmarkTree &tree, const std::vector<bool> &dead,
                      std::ostream &err);

} // namespace quorvel::cli
