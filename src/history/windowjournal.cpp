#include "history/windowjournal.h"

#include <iostream>

namespace quorvel::history
{

WindowMoveJournal::WindowMoveJournal(const std::string &favoritesFolder,
                                     const std::string &chosenFolder)
{
    try {
        store_ =
            std::make_unique<HistoryStore>(defaultStorePath(), HistoryStore::Access::ReadWrite);
        run_ = store_->beginRun("quorvel", favoritesFolder, chosenFolder, false);
        journal_ = std::make_unique<StoreJournal>(*store_, run_);
    } catch (const StoreError &e) {
        giveUp(e.what());
    }
}

WindowMoveJournal::~WindowMoveJournal()
{
    if (!journal_)
        return;
    try {
        store_->finishRun(run_, true);
    } catch (const StoreError &e) {
        giveUp(e.what());
    }
}

bool WindowMoveJournal::aboutToMove(const std::string &from, const std::string &to)
{
    if (journal_ && !journal_->aboutToMove(from, to))
        giveUp(journal_->error());
    return true;
}

void WindowMoveJournal::moveEnded(MoveOutcome outcome)
{
    if (!journal_)
        return;
    journal_->moveEnded(outcome);
    if (!journal_->error().empty())
        giveUp(journal_->error());
}

void WindowMoveJournal::giveUp(const std::string &why)
{
    std::cerr << "quorvel: the moves are not journaled, so they cannot be undone: " << why << '\n';
    journal_.reset();
    store_.reset();
}

} // namespace quorvel::history
