// The move journal and what undo reads of it.

#include "history/store.h"

#include "history/isotime.h"

namespace quorvel::history
{

namespace
{

MoveState stateNamed(const std::string &text)
{
    for (MoveState state : {MoveState::Moved, MoveState::Exists, MoveState::Failed}) {
        if (text == moveStateText(state))
            return state;
    }
    return MoveState::Pending;
}

// A file "moved" for undo: the journal says it did, or that its move may have begun.
constexpr const char *movingStates = "('moved', 'pending')";

const std::string runColumns =
    std::string("SELECT r.id, r.started, r.program, CAST(r.folder AS TEXT), "
                "CAST(r.destination AS TEXT), "
                "sum(m.state IN ") +
    movingStates + "), sum(m.state IN " + movingStates +
    " AND m.undone_at IS NOT NULL) FROM runs r JOIN moves m ON m.run_id = r.id ";

MovingRun runFrom(const Statement &row)
{
    MovingRun run;
    run.id = row.integer(0);
    run.started = row.text(1);
    run.program = row.text(2);
    run.folder = row.text(3);
    run.destination = row.text(4);
    run.moved = static_cast<int>(row.integer(5));
    run.undone = static_cast<int>(row.integer(6));
    return run;
}

} // namespace

std::int64_t HistoryStore::journalMove(std::int64_t run, std::string_view source,
                                       std::string_view destination)
{
    Statement insert(db_, "INSERT INTO moves(run_id, source, destination, state) "
                          "VALUES(?1, ?2, ?3, 'pending')");
    insert.bind(1, run)
        .bindBlob(2, absolutePath(source))
        .bindBlob(3, absolutePath(destination))
        .run();
    return db_.lastInsertId();
}

void HistoryStore::markMove(std::int64_t entry, MoveState state)
{
    Statement update(db_, "UPDATE moves SET state = ?2, moved_at = ?3 WHERE id = ?1");
    update.bind(1, entry).bind(2, moveStateText(state)).bind(3, isoNow()).run();
}

void HistoryStore::markUndone(std::int64_t entry)
{
    Statement update(db_, "UPDATE moves SET undone_at = ?2 WHERE id = ?1");
    update.bind(1, entry).bind(2, isoNow()).run();
}

std::vector<MovingRun> HistoryStore::movingRuns()
{
    Statement query(db_, (runColumns + "GROUP BY r.id HAVING sum(m.state IN " + movingStates +
                          ") > 0 ORDER BY r.id DESC")
                             .c_str());
    std::vector<MovingRun> runs;
    while (query.step())
        runs.push_back(runFrom(query));
    return runs;
}

std::optional<MovingRun> HistoryStore::movingRun(std::int64_t run)
{
    Statement query(db_, (runColumns + "WHERE r.id = ?1 GROUP BY r.id").c_str());
    query.bind(1, run);
    if (!query.step())
        return std::nullopt;
    return runFrom(query);
}

std::vector<JournalEntry> HistoryStore::journalOf(std::int64_t run)
{
    Statement query(db_, (std::string("SELECT id, source, destination, state, undone_at IS NOT "
                                      "NULL FROM moves WHERE run_id = ?1 AND state IN ") +
                          movingStates + " ORDER BY id")
                             .c_str());
    query.bind(1, run);
    std::vector<JournalEntry> entries;
    while (query.step()) {
        JournalEntry entry;
        entry.id = query.integer(0);
        entry.source = query.text(1);
        entry.destination = query.text(2);
        entry.state = stateNamed(query.text(3));
        entry.undone = query.integer(4) != 0;
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace quorvel::history
