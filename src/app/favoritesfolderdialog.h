#pragma once
// The dialog of File > Open Favorites Folder...: a directory dialog that starts at the current
// favorites folder. Tests replace it so that nothing blocks.

#include <functional>
#include <string>

class QWidget;

namespace quorvel
{

// Returns the chosen folder, or "" when the user cancelled; current is the favorites folder the
// window shows.
using FavoritesFolderChooser =
    std::function<std::string(QWidget *owner, const std::string &current)>;

std::string chooseFavoritesFolder(QWidget *owner, const std::string &current);

// Replaces the current function and returns the previous one; an empty function restores the
// real dialog.
FavoritesFolderChooser setFavoritesFolderChooser(FavoritesFolderChooser chooser);

// Where the dialog opens: current, or its nearest folder above that exists (a first start names
// a ~/Favorites that is seldom there), else the home folder.
std::string dialogStartFolder(const std::string &current);

} // namespace quorvel
