#include "cli/historycommands.h"

#include "cli/reportdetail.h"
#include "history/undo.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace quorvel::cli
{

namespace
{

constexpr int storeStatus = 2;

std::string storeFile(const Options &options)
{
    return options.historyFile.empty() ? history::defaultStorePath() : options.historyFile;
}

// "2026-11-02 14:03:09" of "2026-11-02T14:03:09Z": the way people read a time.
std::string readable(const std::string &iso)
{
    std::string text = iso;
    if (text.size() > 10 && text[10] == 'T')
        text[10] = ' ';
    if (!text.empty() && text.back() == 'Z')
        text.pop_back();
    return text + " UTC";
}

std::string programName(const std::string &program)
{
    return program == "quorvel" ? "window" : program;
}

void writeItem(std::ostream &out, const history::UndoItem &item)
{
    const std::string from = printable(item.destination);
    const std::string to = printable(item.source);
    switch (item.outcome) {
    case history::UndoOutcome::Back:
        out << "back          " << from << " -> " << to << '\n';
        break;
    case history::UndoOutcome::WouldGoBack:
        out << "would go back " << from << " -> " << to << '\n';
        break;
    case history::UndoOutcome::AlreadyBack:
        out << "already back  " << to << '\n';
        break;
    case history::UndoOutcome::NotAtDestination:
        out << "stays         " << to << ": it is no longer at " << from << '\n';
        break;
    case history::UndoOutcome::PlaceTaken:
        out << "stays         " << from << ": its old place " << to << " is taken\n";
        break;
    case history::UndoOutcome::Failed:
        out << "stays         " << from << ": it could not be moved back to " << to << '\n';
        break;
    }
}

int complain(std::ostream &err, const std::string &message)
{
    err << "quorvel-check: " << message << '\n';
    return storeStatus;
}

} // namespace

int listMoves(const Options &options, std::ostream &out, std::ostream &err)
{
    const std::string file = storeFile(options);
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        out << "No moves are recorded: there is no history store '" << printable(file)
            << "' yet.\n";
        return 0;
    }
    try {
        history::HistoryStore store(file, history::HistoryStore::Access::ReadOnly);
        const auto runs = store.movingRuns();
        if (runs.empty()) {
            out << "No moves are recorded in '" << printable(file) << "'.\n";
            return 0;
        }
        out << "    ID  Started                  Program        Moved  Undone  From -> To\n";
        for (const history::MovingRun &run : runs) {
            char numbers[96];
            std::snprintf(numbers, sizeof numbers, "%6lld  %-23s  %-13s  %5d  %6d  ",
                          static_cast<long long>(run.id), readable(run.started).c_str(),
                          programName(run.program).c_str(), run.moved, run.undone);
            out << numbers << printable(run.folder) << " -> " << printable(run.destination) << '\n';
        }
        out.flush();
        return out ? 0 : storeStatus;
    } catch (const history::StoreError &e) {
        return complain(err, e.what());
    }
}

int undoMoves(const Options &options, long long run, std::ostream &out, std::ostream &err)
{
    const std::string file = storeFile(options);
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        if (run != 0)
            return complain(err, "there is no history store '" + file + "'");
        out << "Nothing to undo: there is no history store '" << printable(file) << "' yet.\n";
        return 0;
    }
    try {
        // A dry run reads only, so it works on a store that cannot be written too.
        history::HistoryStore store(file, options.dryRun
                                              ? history::HistoryStore::Access::ReadOnly
                                              : history::HistoryStore::Access::ReadWrite);
        std::optional<history::MovingRun> target;
        if (run != 0) {
            target = store.movingRun(run);
            if (!target || target->moved == 0)
                return complain(err, "run " + std::to_string(run) +
                                         " moved no files (quorvel-check --moves lists those "
                                         "that did)");
        } else {
            for (const history::MovingRun &candidate : store.movingRuns()) {
                if (candidate.undone < candidate.moved) {
                    target = candidate;
                    break;
                }
            }
            if (!target) {
                out << "Nothing to undo: every recorded move has been undone.\n";
                return 0;
            }
        }
        out << (options.dryRun ? "Would undo run " : "Undoing run ") << target->id << " ("
            << programName(target->program) << ", " << readable(target->started)
            << "): " << printable(target->destination) << " -> " << printable(target->folder)
            << '\n';
        const history::UndoResult result = history::undoRun(store, target->id, options.dryRun);
        std::size_t back = 0;
        for (const history::UndoItem &item : result.items) {
            writeItem(out, item);
            if (item.outcome != history::UndoOutcome::NotAtDestination &&
                item.outcome != history::UndoOutcome::PlaceTaken &&
                item.outcome != history::UndoOutcome::Failed)
                ++back;
        }
        const std::string files = countOf(result.items.size(), "file", "files");
        if (result.items.empty())
            out << "Nothing to undo: the files of run " << target->id << " are back already.\n";
        else if (options.dryRun)
            out << "Would put back " << back << " of " << files << ".\n";
        else
            out << "Put back " << back << " of " << files << ".\n";
        out.flush();
        if (!out)
            return storeStatus;
        return result.allBack() ? 0 : 1;
    } catch (const history::StoreError &e) {
        return complain(err, e.what());
    }
}

} // namespace quorvel::cli
