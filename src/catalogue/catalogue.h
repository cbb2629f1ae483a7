#pragma once
// The favorites catalogue: one entry per Internet shortcut file below the favorites folder.

#include <string>
#include <vector>

namespace quorvel
{

namespace platform
{
class CodePageDecoder;
}

// Three index-aligned lists in scan order, never sorted.
struct Catalogue {
    std::vector<std::string> URL_Names; // display names
    std::vector<std::string> URL_List;  // URLs, "no path" when the shortcut has none
    std::vector<std::string> Files;     // full paths of the shortcut files

    std::size_t size() const { return URL_List.size(); }
    void clear();
};

// The favorites folder path as the current user's registry holds it; "" when there is none.
// Throws platform::ERegistryException when the value is not a string.
std::string GetFavoritesFolder();

// Stores folder as the current user's favorites folder (a string value), where
// GetFavoritesFolder and every later start find it. Throws platform::ERegistryException when the
// hive cannot be written; it then stays as it was.
void SetFavoritesFolder(const std::string &folder);

// Appends every shortcut file in folder and below it, depth first, each sub-folder's entries
// where the sub-folder's own entry came. Never empties the lists; unreadable folders are skipped.
// Texts in 8-bit code pages are decoded with the system's ANSI code page (platform::GetACP).
void SearchURL(const std::string &folder, Catalogue &catalogue);

// SearchURL's first half: appends the shortcuts' names and paths in the same order, with empty
// URLs, for a ShortcutReader to read.
void listShortcuts(const std::string &folder, Catalogue &catalogue);

// The URL of one shortcut file as the system's Unicode shell reads it, in UTF-8: the
// [InternetShortcut.W] URL (UTF-7) when the file has one that decodes, else the
// [InternetShortcut] URL, decoded from the ANSI code page unless the file is UTF-8 or UTF-16 or
// the value is well-formed UTF-8 already. An unmappable byte shows as U+FFFD. "no path" when
// the file has neither URL or cannot be read. Nothing is ever written to the file.
std::string readShortcutURL(const std::string &path, platform::CodePageDecoder &ansi);
std::string readShortcutURL(const std::string &path, unsigned ansiCodePage);

// The display name of a file name as the lists show it: file names are UTF-8 here, and one that
// is not (copied from an 8-bit system) is decoded from the ANSI code page.
std::string displayNameOf(const std::string &fileName, platform::CodePageDecoder &ansi);

// A path as the lists would show its names: each part between separators that is not UTF-8
// is decoded from the ANSI code page, the others stay as they are.
std::string displayPathOf(const std::string &path, platform::CodePageDecoder &ansi);

// The display name of a shortcut file name: the name without its four-character extension, or
// "None" when nothing is left.
std::string displayNameOf(const std::string &fileName);

// True when the name's extension (from its last '.') is ".URL" in any letter case.
bool isShortcutName(const std::string &fileName);

// The catalogue together with the folder it was read from.
class FavoritesCatalogue
{
public:
    // Start-up load: GetFavoritesFolder, then SearchURL when the folder is known. An error of
    // the lookup propagates; the lists then hold what was loaded before it. Run again (once a
    // new folder is stored), it first forgets the previous folder and its lists.
    void Load();
    // Start-up load of a folder the user named for this run: the registry is neither read nor
    // written. Throws std::runtime_error when the folder cannot be listed, since a named
    // folder that shows nothing would hide the mistake.
    void LoadFolder(const std::string &folder);
    // Empties the lists and scans FavoritesFolder again (the registry is not read again).
    void ReloadCatalogue();

    const std::string &FavoritesFolder() const { return favoritesFolder_; }
    const Catalogue &entries() const { return catalogue_; }

private:
    std::string favoritesFolder_;
    Catalogue catalogue_;
};

} // namespace quorvel
