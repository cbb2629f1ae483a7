#include "catalogue/catalogue.h"

#include "platform/registry.h"

namespace quorvel {

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

void FavoritesCatalogue::ReloadCatalogue()
{
    catalogue_.clear();
    if (!favoritesFolder_.empty())
        SearchURL(favoritesFolder_, catalogue_);
}

} // namespace quorvel
