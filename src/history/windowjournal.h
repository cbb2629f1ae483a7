#pragma once
// The journal of the window's "Move dead links".

#include "history/storejournal.h"

#include <cstdint>
#include <memory>
#include <string>

namespace quorvel::history
{

// The window's journal: into the default store, as a run of the program "quorvel". The window
// must move as it always has when the store cannot be opened or written, so this journal never
// refuses a move; it says once, on standard error, that the moves are not being journaled.
class WindowMoveJournal : public MoveJournal
{
public:
    WindowMoveJournal(const std::string &favoritesFolder, const std::string &chosenFolder);
    ~WindowMoveJournal() override;
    WindowMoveJournal(const WindowMoveJournal &) = delete;
    WindowMoveJournal &operator=(const WindowMoveJournal &) = delete;

    bool aboutToMove(const std::string &from, const std::string &to) override;
    void moveEnded(MoveOutcome outcome) override;

private:
    void giveUp(const std::string &why);

    std::unique_ptr<HistoryStore> store_;
    std::unique_ptr<StoreJournal> journal_;
    std::int64_t run_ = 0;
};

} // namespace quorvel::history
