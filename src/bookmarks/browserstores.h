#pragma once
// Where each browser keeps its default profile's bookmarks under a user's home folder: Firefox's
// profiles.ini names the default profile, whose places.sqlite holds them; the Chromium family
// keeps a Default/Bookmarks file under its folder in ~/.config.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::bookmarks
{

enum class Browser { Firefox, Chromium, Chrome, Brave, Edge, Vivaldi };

// The names the command line takes, in the order "list" shows them.
const std::vector<std::string_view> &browserNames();
std::optional<Browser> browserNamed(std::string_view name);
std::string_view nameOf(Browser browser);

// The default profile's bookmark store of browser under home, when that file exists.
std::optional<std::filesystem::path> findBrowserStore(Browser browser,
                                                      const std::filesystem::path &home);

struct FoundStore {
    Browser browser;
    std::filesystem::path file;
};

// Every browser's store that exists under home, in the order of browserNames().
std::vector<FoundStore> findBrowserStores(const std::filesystem::path &home);

// The default profile's folder that a profiles.ini (in firefoxFolder) names, or nothing.
std::optional<std::filesystem::path>
firefoxDefaultProfile(const std::filesystem::path &firefoxFolder);

} // namespace quorvel::bookmarks
