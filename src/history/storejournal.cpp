#include "history/storejournal.h"

namespace quorvel::history
{

namespace
{

MoveState stateOf(MoveOutcome outcome)
{
    switch (outcome) {
    case MoveOutcome::Moved:
        return MoveState::Moved;
    case MoveOutcome::DestinationExists:
        return MoveState::Exists;
    case MoveOutcome::Failed:
    case MoveOutcome::NotJournaled:
        break;
    }
    return MoveState::Failed;
}

} // namespace

StoreJournal::StoreJournal(HistoryStore &store, std::int64_t run) : store_(store), run_(run) {}

bool StoreJournal::aboutToMove(const std::string &from, const std::string &to)
{
    if (!error_.empty())
        return false;
    try {
        entry_ = store_.journalMove(run_, from, to);
        return true;
    } catch (const StoreError &e) {
        error_ = e.what();
        return false;
    }
}

void StoreJournal::moveEnded(MoveOutcome outcome)
{
    try {
        store_.markMove(entry_, stateOf(outcome));
    } catch (const StoreError &e) {
        // The entry stays "pending", which undo reads as "may have moved": nothing is lost.
        error_ = e.what();
    }
}

} // namespace quorvel::history
