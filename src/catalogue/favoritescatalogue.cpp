#include "catalogue/catalogue.h"

#include "platform/registry.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace quorvel
{

namespace
{

constexpr const char *ShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char *FavoritesValue = "Favorites";

// Why the folder cannot be listed; no error when it can.
std::error_code listingError(const std::string &folder)
{
    std::error_code error;
    const std::filesystem::directory_iterator listing(folder, error);
    return error;
}

} // namespace

std::string GetFavoritesFolder()
{
    platform::TRegistry reg(platform::RootKey::CurrentUser);
    // A key that cannot be opened simply has no value to read.
    reg.OpenKey(ShellFoldersKey, false);
    return reg.ReadString(FavoritesValue);
}

void SetFavoritesFolder(const std::string &folder)
{
    platform::TRegistry reg(platform::RootKey::CurrentUser);
    // A key that cannot be created leaves none open, and the write raises the registry's error.
    reg.OpenKey(ShellFoldersKey, true);
    reg.WriteString(FavoritesValue, folder);
}

void FavoritesCatalogue::Load()
{
    favoritesFolder_.clear();
    catalogue_.clear();
    favoritesFolder_ = GetFavoritesFolder();
    if (!favoritesFolder_.empty())
        SearchURL(favoritesFolder_, catalogue_);
}

void FavoritesCatalogue::LoadFolder(const std::string &folder)
{
    favoritesFolder_ = folder;
    if (const std::error_code error = listingError(folder))
        throw std::runtime_error("Cannot read the favorites folder '" + folder +
                                 "': " + error.message());
    SearchURL(favoritesFolder_, catalogue_);
}

void FavoritesCatalogue::ReloadCatalogue()
{
    catalogue_.clear();
    if (!favoritesFolder_.empty())
        SearchURL(favoritesFolder_, catalogue_);
}

} // namespace quorvel
