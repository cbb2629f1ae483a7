#include "app/favoritesfolderdialog.h"

#include "app/folderdialog.h"

#include <QDir>
#include <QFile>
#include <filesystem>
#include <system_error>

namespace quorvel
{

namespace
{

std::string realChooser(QWidget *owner, const std::string &current)
{
    return askForFolder(owner, QStringLiteral("Select the favorites folder"),
                        dialogStartFolder(current));
}

FavoritesFolderChooser &chooser()
{
    static FavoritesFolderChooser current = realChooser;
    return current;
}

} // namespace

std::string chooseFavoritesFolder(QWidget *owner, const std::string &current)
{
    return chooser()(owner, current);
}

FavoritesFolderChooser setFavoritesFolderChooser(FavoritesFolderChooser replacement)
{
    FavoritesFolderChooser previous = chooser();
    chooser() = replacement ? std::move(replacement) : FavoritesFolderChooser(realChooser);
    return previous;
}

std::string dialogStartFolder(const std::string &current)
{
    std::filesystem::path folder(current);
    if (folder.is_absolute()) {
        std::error_code error;
        while (!std::filesystem::is_directory(folder, error) && folder != folder.parent_path())
            folder = folder.parent_path();
        if (std::filesystem::is_directory(folder, error))
            return folder.string();
    }
    return QFile::encodeName(QDir::homePath()).toStdString();
}

} // namespace quorvel
