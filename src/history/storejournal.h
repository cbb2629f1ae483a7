#pragma once
// The move journal kept in a history store, for a run recorded there.

#include "history/store.h"
#include "verify/deadlinkmover.h"

#include <cstdint>
#include <string>

namespace quorvel::history
{

class StoreJournal : public MoveJournal
{
public:
    StoreJournal(HistoryStore &store, std::int64_t run);

    bool aboutToMove(const std::string &from, const std::string &to) override;
    void moveEnded(MoveOutcome outcome) override;

    // What the store answered when it could not be written; "" while all went well.
    const std::string &error() const { return error_; }

private:
    HistoryStore &store_;
    std::int64_t run_;
    std::int64_t entry_ = 0;
    std::string error_;
};

} // namespace quorvel::history
