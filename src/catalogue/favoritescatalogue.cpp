#include "catalogue/catalogue.h"

#include "platform/registry.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace quorvel
{

namespace
{

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
    reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false);
    return reg.ReadString("Favorites");
}

void FavoritesCatalogue::Load()
{
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
