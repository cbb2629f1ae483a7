#include "history/undo.h"

#include "platform/filemove.h"

#include <algorithm>
#include <filesystem>

namespace quorvel::history
{

namespace
{

// Links count as the names they are: a link is never followed to decide where a file is.
bool present(const std::string &path)
{
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() !=
           std::filesystem::file_type::not_found;
}

UndoOutcome putBack(const JournalEntry &entry, bool dryRun)
{
    const bool atOldPlace = present(entry.source);
    const bool atDestination = present(entry.destination);
    if (atOldPlace)
        return atDestination ? UndoOutcome::PlaceTaken : UndoOutcome::AlreadyBack;
    if (!atDestination)
        return UndoOutcome::NotAtDestination;
    if (dryRun)
        return UndoOutcome::WouldGoBack;
    const std::string folder = std::filesystem::path(entry.source).parent_path().string();
    if (!folder.empty() && !platform::isDirectory(folder))
        platform::createDirectories(folder);
    if (platform::moveFile(entry.destination, entry.source))
        return UndoOutcome::Back;
    // The move back never overwrites; another file may have taken the place meanwhile.
    return present(entry.source) ? UndoOutcome::PlaceTaken : UndoOutcome::Failed;
}

} // namespace

bool UndoResult::allBack() const
{
    return std::all_of(items.begin(), items.end(), [](const UndoItem &item) {
        return item.outcome == UndoOutcome::Back || item.outcome == UndoOutcome::AlreadyBack ||
               item.outcome == UndoOutcome::WouldGoBack;
    });
}

UndoResult undoRun(HistoryStore &store, std::int64_t run, bool dryRun)
{
    UndoResult result;
    for (const JournalEntry &entry : store.journalOf(run)) {
        if (entry.undone)
            continue;
        const UndoOutcome outcome = putBack(entry, dryRun);
        if (!dryRun && (outcome == UndoOutcome::Back || outcome == UndoOutcome::AlreadyBack))
            store.markUndone(entry.id);
        result.items.push_back({entry.source, entry.destination, outcome});
    }
    return result;
}

} // namespace quorvel::history
