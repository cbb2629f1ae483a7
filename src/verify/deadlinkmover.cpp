#include "verify/deadlinkmover.h"

#include "platform/filemove.h"

#include <filesystem>
#include <set>

namespace quorvel
{

namespace
{

constexpr char separator = std::filesystem::path::preferred_separator;

std::string folderPart(const std::string &path)
{
    const auto cut = path.rfind(separator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string fileNamePart(const std::string &path)
{
    const auto cut = path.rfind(separator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Joins without doubling the separator, so a chosen root folder ("/") gives "/News".
std::string join(const std::string &folder, const std::string &name)
{
    if (name.empty())
        return folder;
    if (!folder.empty() && folder.back() == separator)
        return folder + name;
    return folder + separator + name;
}

} // namespace

std::string relativeSubFolder(const std::string &shortcutPath, const std::string &favoritesFolder)
{
    // Every catalogue path is the favorites folder, a separator, then the rest.
    const std::string folder = folderPart(shortcutPath);
    const std::size_t start = favoritesFolder.size() + 1;
    return folder.size() > start ? folder.substr(start) : std::string();
}

std::string destinationFolderFor(const std::string &shortcutPath,
                                 const std::string &favoritesFolder,
                                 const std::string &chosenFolder)
{
    return join(chosenFolder, relativeSubFolder(shortcutPath, favoritesFolder));
}

std::string destinationPathFor(const std::string &shortcutPath, const std::string &favoritesFolder,
                               const std::string &chosenFolder)
{
    return join(destinationFolderFor(shortcutPath, favoritesFolder, chosenFolder),
                fileNamePart(shortcutPath));
}

namespace
{

MoveOutcome moveUnjournaled(const std::string &shortcutPath, const std::string &destination,
                            const std::string &folder)
{
    if (!platform::isDirectory(folder))
        platform::createDirectories(folder);
    if (platform::moveFile(shortcutPath, destination))
        return MoveOutcome::Moved;
    // Asked only after the move refused, so the answer cannot tempt anyone to overwrite.
    std::error_code error;
    return std::filesystem::symlink_status(destination, error).type() ==
                   std::filesystem::file_type::not_found
               ? MoveOutcome::Failed
               : MoveOutcome::DestinationExists;
}

} // namespace

MoveOutcome moveDeadFile(const std::string &shortcutPath, const std::string &favoritesFolder,
                         const std::string &chosenFolder, MoveJournal *journal)
{
    const std::string folder = destinationFolderFor(shortcutPath, favoritesFolder, chosenFolder);
    const std::string destination = destinationPathFor(shortcutPath, favoritesFolder, chosenFolder);
    if (journal && !journal->aboutToMove(shortcutPath, destination))
        return MoveOutcome::NotJournaled;
    const MoveOutcome outcome = moveUnjournaled(shortcutPath, destination, folder);
    if (journal)
        journal->moveEnded(outcome);
    return outcome;
}

std::size_t moveDeadFiles(const std::vector<std::string> &deadFiles,
                          const std::string &favoritesFolder, const std::string &chosenFolder,
                          MoveJournal *journal)
{
    std::size_t moved = 0;
    std::set<std::string> seen;
    for (const std::string &path : deadFiles) {
        if (!seen.insert(path).second)
            continue;
        if (moveDeadFile(path, favoritesFolder, chosenFolder, journal) == MoveOutcome::Moved)
            ++moved;
    }
    return moved;
}

MoveReport moveReport(std::size_t moved, const std::string &chosenFolder)
{
    if (moved == 1)
        return {"Moved 1 link to " + chosenFolder + ".", "Link Moved"};
    return {"Moved " + std::to_string(moved) + " links to " + chosenFolder + ".", "Links Moved"};
}

} // namespace quorvel
