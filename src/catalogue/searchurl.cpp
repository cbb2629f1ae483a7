#include "catalogue/catalogue.h"
#include "catalogue/shortcutreader.h"

#include "platform/codepage.h"
#include "platform/direnum.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

namespace quorvel
{

namespace
{

// One folder being walked: its path, its entries and the next one to handle. The walk keeps
// these on its own stack rather than recursing, so no depth of folders can overflow the call
// stack, and the order stays depth first: a sub-folder's entries come where its entry came.
struct Level {
    std::string path;
    std::vector<platform::DirEntry> entries;
    std::size_t next = 0;
};

class Scan
{
public:
    explicit Scan(Catalogue &catalogue) : catalogue_(catalogue), ansi_(platform::GetACP()) {}

    void run(const std::string &folder)
    {
        enter(folder);
        while (!stack_.empty()) {
            Level &level = stack_.back();
            if (level.next == level.entries.size()) {
                stack_.pop_back();
                continue;
            }
            const platform::DirEntry &entry = level.entries[level.next++];
            std::string path;
            path.reserve(level.path.size() + 1 + entry.name.size());
            path.append(level.path).push_back(std::filesystem::path::preferred_separator);
            path.append(entry.name);
            if (entry.isDirectory)
                enter(std::move(path)); // may move the stack: level is not used after this
            else if (isShortcutName(entry.name))
                add(entry.name, std::move(path));
        }
    }

private:
    void enter(std::string folder)
    {
        std::optional<platform::DirListing> listing = platform::readDirectory(folder);
        if (!listing)
            return;
        // A folder reached a second time (a link back up the tree, or two links to one
        // folder) is not walked again: that would loop forever or list shortcuts twice.
        if (!visited_.emplace(listing->device, listing->inode).second)
            return;
        stack_.push_back(Level{std::move(folder), std::move(listing->entries), 0});
    }

    // The shortcut's place in the lists, with its name; its URL is read afterwards.
    void add(const std::string &name, std::string path)
    {
        std::string displayName = displayNameOf(name, ansi_);
        // Room first, so running out of memory can never leave the three lists out of step.
        for (auto *list : {&catalogue_.URL_List, &catalogue_.URL_Names, &catalogue_.Files}) {
            if (list->size() == list->capacity())
                list->reserve(std::max<std::size_t>(16, list->capacity() * 2));
        }
        catalogue_.URL_List.emplace_back();
        catalogue_.URL_Names.push_back(std::move(displayName));
        catalogue_.Files.push_back(std::move(path));
    }

    Catalogue &catalogue_;
    platform::CodePageDecoder ansi_;
    std::vector<Level> stack_;
    std::set<std::pair<std::uint64_t, std::uint64_t>> visited_;
};

} // namespace

void listShortcuts(const std::string &folder, Catalogue &catalogue)
{
    Scan(catalogue).run(folder);
}

void SearchURL(const std::string &folder, Catalogue &catalogue)
{
    const std::size_t first = catalogue.size();
    listShortcuts(folder, catalogue);
    try {
        ShortcutReader(catalogue, first).finish();
    } catch (...) {
        // Some URLs of this scan may be unread: none of its shortcuts is listed then.
        for (auto *list : {&catalogue.URL_List, &catalogue.URL_Names, &catalogue.Files})
            list->resize(first);
        throw;
    }
}

} // namespace quorvel
