#include "bookmarks/browserstores.h"

#include "platform/asciitext.h"

#include <array>
#include <fstream>
#include <map>

namespace quorvel::bookmarks
{
namespace
{

namespace fs = std::filesystem;

struct Known {
    Browser browser;
    std::string_view name;
    std::string_view configFolder; // below ~/.config; empty for Firefox
};
constexpr std::array<Known, 6> known{{{Browser::Firefox, "firefox", ""},
                                      {Browser::Chromium, "chromium", "chromium"},
                                      {Browser::Chrome, "chrome", "google-chrome"},
                                      {Browser::Brave, "brave", "BraveSoftware/Brave-Browser"},
                                      {Browser::Edge, "edge", "microsoft-edge"},
                                      {Browser::Vivaldi, "vivaldi", "vivaldi"}}};

const Known &knownOf(Browser browser)
{
    for (const Known &entry : known)
        if (entry.browser == browser)
            return entry;
    return known.front();
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Sections in file order, each with its keys (lower case) and values.
using Section = std::map<std::string, std::string>;
std::vector<std::pair<std::string, Section>> readIni(const fs::path &file)
{
    std::vector<std::pair<std::string, Section>> sections;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = trimmed(line);
        if (text.starts_with('[') && text.ends_with(']')) {
            sections.emplace_back(std::string(text.substr(1, text.size() - 2)), Section{});
        } else if (const auto equals = text.find('=');
                   equals != std::string_view::npos && !sections.empty()) {
            sections.back().second.emplace(platform::asciiLower(trimmed(text.substr(0, equals))),
                                           std::string(trimmed(text.substr(equals + 1))));
        }
    }
    return sections;
}

std::string valueOf(const Section &section, const std::string &key)
{
    const auto found = section.find(key);
    return found == section.end() ? std::string() : found->second;
}

std::optional<fs::path> existingFile(const fs::path &file)
{
    std::error_code error;
    if (fs::is_regular_file(file, error))
        return file;
    return std::nullopt;
}

} // namespace

const std::vector<std::string_view> &browserNames()
{
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> all;
        for (const Known &entry : known)
            all.push_back(entry.name);
        return all;
    }();
    return names;
}

std::optional<Browser> browserNamed(std::string_view name)
{
    for (const Known &entry : known)
        if (entry.name == name)
            return entry.browser;
    return std::nullopt;
}

std::string_view nameOf(Browser browser)
{
    return knownOf(browser).name;
}

std::optional<fs::path> firefoxDefaultProfile(const fs::path &firefoxFolder)
{
    const auto sections = readIni(firefoxFolder / "profiles.ini");
    const auto resolve = [&](const std::string &path, bool relative) {
        return relative ? firefoxFolder / fs::path(path).relative_path() : fs::path(path);
    };
    // Since Firefox 67 each installation names its own default in an [Install...] section,
    // which wins over the profile marked Default=1.
    for (const auto &[name, keys] : sections) {
        if (!name.starts_with("Install"))
            continue;
        const std::string path = valueOf(keys, "default");
        if (path.empty())
            continue;
        bool relative = !fs::path(path).is_absolute();
        for (const auto &[other, profile] : sections)
            if (other.starts_with("Profile") && valueOf(profile, "path") == path)
                relative = valueOf(profile, "isrelative") != "0";
        return resolve(path, relative);
    }
    std::optional<fs::path> first;
    for (const auto &[name, keys] : sections) {
        if (!name.starts_with("Profile") || valueOf(keys, "path").empty())
            continue;
        const fs::path profile = resolve(valueOf(keys, "path"), valueOf(keys, "isrelative") == "1");
        if (valueOf(keys, "default") == "1")
            return profile;
        if (!first)
            first = profile;
    }
    // A single profile is the default even when nothing marks it.
    return first;
}

std::optional<fs::path> findBrowserStore(Browser browser, const fs::path &home)
{
    const Known &entry = knownOf(browser);
    if (browser == Browser::Firefox) {
        const auto profile = firefoxDefaultProfile(home / ".mozilla" / "firefox");
        return profile ? existingFile(*profile / "places.sqlite") : std::nullopt;
    }
    return existingFile(home / ".config" / fs::path(entry.configFolder) / "Default" / "Bookmarks");
}

std::vector<FoundStore> findBrowserStores(const fs::path &home)
{
    std::vector<FoundStore> found;
    for (const Known &entry : known)
        if (auto file = findBrowserStore(entry.browser, home))
            found.push_back({entry.browser, std::move(*file)});
    return found;
}

} // namespace quorvel::bookmarks
