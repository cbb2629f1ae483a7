#include "catalogue/catalogue.h"

#include "platform/codepage.h"
#include "platform/direnum.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <filesystem>
#include <set>
#include <thread>
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

// Reading the files costs far more than walking the folders (an open, a read and a close each),
// and each file is read on its own, so the files are read by a few threads at once once the
// walk has put them in order. Small folders are read on the caller's thread alone.
constexpr std::size_t filesPerThread = 512;
constexpr unsigned mostReaders = 4;
constexpr std::size_t filesPerTake = 64;

class Scan
{
public:
    explicit Scan(Catalogue &catalogue)
        : catalogue_(catalogue), codePage_(platform::GetACP()), ansi_(codePage_)
    {
    }

    void run(const std::string &folder)
    {
        const std::size_t first = catalogue_.Files.size();
        walk(folder);
        try {
            readURLs(first);
        } catch (...) {
            // Some URLs of this scan may be unread: none of its shortcuts is listed then.
            for (auto *list : {&catalogue_.URL_List, &catalogue_.URL_Names, &catalogue_.Files})
                list->resize(first);
            throw;
        }
    }

private:
    void walk(const std::string &folder)
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

    // Reads the URL of every shortcut from first on.
    void readURLs(std::size_t first)
    {
        const std::size_t count = catalogue_.Files.size();
        const unsigned readers = static_cast<unsigned>(
            std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), mostReaders,
                                   1 + (count - first) / filesPerThread}));
        std::atomic<std::size_t> next{first};
        const auto read = [&](platform::CodePageDecoder &ansi) {
            for (;;) {
                const std::size_t begin = next.fetch_add(filesPerTake);
                if (begin >= count)
                    return;
                const std::size_t end = std::min(count, begin + filesPerTake);
                for (std::size_t i = begin; i < end; ++i)
                    catalogue_.URL_List[i] = readShortcutURL(catalogue_.Files[i], ansi);
            }
        };
        std::vector<std::thread> helpers;
        std::vector<std::exception_ptr> failures(readers);
        for (unsigned r = 1; r < readers; ++r) {
            try {
                helpers.emplace_back([&, r] {
                    try {
                        platform::CodePageDecoder ansi(codePage_);
                        read(ansi);
                    } catch (...) {
                        failures[r] = std::current_exception();
                        next = count; // the others stop too
                    }
                });
            } catch (...) {
                break; // no thread to be had: the ones started and this one do the rest
            }
        }
        try {
            read(ansi_);
        } catch (...) {
            failures[0] = std::current_exception();
            next = count;
        }
        for (std::thread &helper : helpers)
            helper.join();
        for (const std::exception_ptr &failure : failures) {
            if (failure)
                std::rethrow_exception(failure);
        }
    }

    Catalogue &catalogue_;
    unsigned codePage_;
    platform::CodePageDecoder ansi_;
    std::vector<Level> stack_;
    std::set<std::pair<std::uint64_t, std::uint64_t>> visited_;
};

} // namespace

void SearchURL(const std::string &folder, Catalogue &catalogue)
{
    Scan(catalogue).run(folder);
}

} // namespace quorvel
