#pragma once
// A finished (or interrupted) check as the report writers see it, and the writers: human text,
// JSON, CSV and Markdown.

#include "cli/checkresult.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace quorvel::cli
{

enum class ReportFormat { Text, Json, Csv, Markdown };

struct ReportEntry {
    std::string name; // the display name, as the window lists it
    std::string path; // of the shortcut file, relative to the folder, as the window shows names
    std::string pathBytes; // the relative path's own bytes when they are not UTF-8, else ""
    std::string file;      // the full path, as the catalogue holds it
    std::string url;
    CheckResult result;
};

struct Tally {
    std::size_t shortcuts = 0;
    std::size_t checked = 0; // requested and answered: alive, dead or suspect
    std::size_t alive = 0;
    std::size_t deadBy404 = 0;
    std::size_t deadBy410 = 0;
    std::size_t otherErrors = 0;
    std::size_t unverified = 0;   // of the alive: no try gave a verdict
    std::size_t rateLimited = 0;  // of those: the server asked to come back later
    std::size_t networkLost = 0;  // of those: the network stopped answering
    std::size_t suspect = 0;
    std::size_t skipped = 0;
    std::size_t unchecked = 0;
    std::size_t moved = 0;
    std::size_t toMove = 0;  // shortcuts that were to be moved (or would be, dry run)
    std::size_t staying = 0; // suspects left in place without --suspect-is-dead
    std::size_t unconfirmed = 0; // dead, but in fewer runs in a row than --confirm asks

    std::size_t dead() const { return deadBy404 + deadBy410 + otherErrors; }
};

// Texts are UTF-8 (paths decoded as the window decodes file names); the writers still make
// sure that no byte a server sent can make a report invalid UTF-8.
struct Report {
    std::string folder;
    std::vector<ReportEntry> entries; // in catalogue order
    bool complete = true;             // false when interrupted
    double elapsedSeconds = 0;
    std::string moveTarget; // --move-dead-to, "" without
    bool dryRun = false;
    bool listRedirects = false; // --report-redirects
    bool deep = false;          // --deep: suspects were looked for
    std::size_t probes = 0;     // requests for addresses that cannot exist, made for --deep
    bool networkDown = false;   // the run showed no usable network: its failures prove nothing
    std::size_t hostsTried = 0;
    int confirm = 1;            // --confirm: runs in a row a link must be dead to move
    // A bookmark store's kind ("html", "chromium", "firefox"); "" for a folder of shortcuts.
    std::string storeKind;
    std::string cleanedCopy;       // --write-bookmarks: the file written, "" when none was
    std::string cleanedNotWritten; // why the cleaned copy asked for was not written, "" if it was

    Tally tally() const;
};

// True when the link was permanently redirected to another URL (--report-redirects).
bool permanentlyRedirected(const ReportEntry &entry);

void writeText(std::ostream &out, const Report &report);
void writeJson(std::ostream &out, const Report &report);
void writeCsv(std::ostream &out, const Report &report);
void writeMarkdown(std::ostream &out, const Report &report);
void writeReport(std::ostream &out, const Report &report, ReportFormat format);

// The one-line summary of the text report.
std::string summaryLine(const Report &report);

// "2 suspects stay where they are (...)." after a move without --suspect-is-dead; "" when none.
std::string stayingLine(const Tally &tally);

// "Wrote the cleaned copy FILE: 415 bookmarks, 12 of them in "Dead links"." with
// --write-bookmarks, or why it was not written; "" without.
std::string cleanedCopyLine(const Report &report);

// "4 dead but not yet confirmed: dead in fewer than 3 runs" after a move with --confirm; ""
// when none.
std::string unconfirmedLine(const Tally &tally, int confirm);

} // namespace quorvel::cli
