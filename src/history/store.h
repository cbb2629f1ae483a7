#pragma once
// The history store: one SQLite database holding every recorded run of a check, each
// shortcut's result in it, each link's current run of dead results, and the journal of moves.
// Paths are kept as their exact bytes (BLOBs); times as ISO 8601 text in UTC.

#include "history/linkindex.h"
#include "history/sqlite.h"
#include "history/streak.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::history
{

// The schema this program writes. An older store is upgraded when opened; a newer one is
// refused, so that a downgrade never damages what a newer program wrote.
inline constexpr int schemaVersion = 1;

// $XDG_STATE_HOME/quorvel/history.db, else ~/.local/state/quorvel/history.db.
std::string defaultStorePath();

// The store keeps absolute paths, so that an undo from another working folder finds the files.
// Made absolute without resolving links: the path stays the one the user gave.
std::string absolutePath(std::string_view path);

struct ResultRow {
    std::string_view path; // the shortcut file's full path
    std::string_view url;
    std::string_view verdict; // "alive", "dead", "skipped", ...
    std::string_view reason;
    int status = 0;
    std::uint32_t error = 0;
    int tries = 1;
    long long milliseconds = -1; // -1: no request made
    Standing standing = Standing::NoVerdict;
};

enum class MoveState { Pending, Moved, Exists, Failed };
std::string_view moveStateText(MoveState state);

struct MovingRun {
    std::int64_t id = 0;
    std::string started;
    std::string program;
    std::string folder;
    std::string destination;
    int moved = 0;  // files moved (and those whose move may have begun: the journal says pending)
    int undone = 0; // of those, put back
};

struct JournalEntry {
    std::int64_t id = 0;
    std::string source;      // where the file was
    std::string destination; // where it went
    MoveState state = MoveState::Pending;
    bool undone = false;
};

class HistoryStore
{
public:
    enum class Access {
        ReadWrite, // created when missing; refused when it cannot be written
        ReadOnly,  // must exist
        // Another connection to a store this process has open already. The file's first bytes
        // are then not read apart from SQLite: closing any other descriptor of the file would
        // drop this process's locks on it, and another process could then take the store's
        // journal away from under it.
        Another,
    };

    // Throws StoreError, naming the file, for a file that is not a history store, one written by
    // a newer program, one that cannot be read, or (ReadWrite) written. Such a file is left
    // exactly as it was.
    HistoryStore(const std::string &file, Access access);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    const std::string &file() const { return db_.file(); }

    // Runs. program is "quorvel-check" or "quorvel"; destination "" for a run that moves nothing.
    // Paths given to the store are made absolute, but those of results, which a caller with
    // many of them makes absolute itself.
    std::int64_t beginRun(std::string_view program, std::string_view folder,
                          std::string_view destination, bool dryRun);
    void finishRun(std::int64_t run, bool completed);
    // When the run began, as the store keeps it; "" for no such run.
    std::string runStarted(std::int64_t run);

    // Makes room before a run records its results: the results of alive links are dropped
    // from the runs of the same folder older than its latest three before this one. Those
    // runs keep their other results; streaks never need them.
    void pruneBefore(std::int64_t run);
    // Every known link and the streaks of the dead ones.
    LinkIndex readLinks();

    // Records a run's results in one transaction; each add returns the link's streak with this
    // result counted. Nothing is kept unless committed. links is what readLinks returned,
    // read since the last run recorded its results (or it is read now).
    class Results
    {
    public:
        Results(HistoryStore &store, std::int64_t run);
        Results(HistoryStore &store, std::int64_t run, LinkIndex links);
        Streak add(const ResultRow &row);
        void commit();

    private:
        std::int64_t linkId(std::string_view path, std::string_view url);

        Database &db_;
        std::int64_t run_;
        LinkIndex links_;
        std::string started_;
        // Each row refers to the run and link this code has just written or read; checking
        // so for 100,000 rows would cost more than writing them.
        ScopedSetting noKeyChecks_;
        Transaction transaction_;
        Statement findLink_;
        Statement addLink_;
        Statement setStreak_;
        Statement endStreak_;
        Statement result_;
    };

    // The journal: an entry is written (and on disk) before its file moves, then marked.
    std::int64_t journalMove(std::int64_t run, std::string_view source,
                             std::string_view destination);
    void markMove(std::int64_t entry, MoveState state);
    void markUndone(std::int64_t entry);

    // Runs with at least one file moved (or pending), newest first.
    std::vector<MovingRun> movingRuns();
    std::optional<MovingRun> movingRun(std::int64_t run);
    // The entries of a run whose file moved or may have moved, in the order they were written.
    std::vector<JournalEntry> journalOf(std::int64_t run);

private:
    // readLinks within a transaction already open.
    LinkIndex readLinksHere();

    Database db_;
};

} // namespace quorvel::history
