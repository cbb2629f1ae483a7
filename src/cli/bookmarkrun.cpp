#include "cli/bookmarkrun.h"

#include "bookmarks/bookmarkerror.h"
#include "bookmarks/browserstores.h"
#include "bookmarks/cleanedcopy.h"
#include "bookmarks/htmlbookmarks.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <unordered_map>

#include <pwd.h>
#include <unistd.h>

namespace quorvel::cli
{

namespace fs = std::filesystem;

namespace
{

constexpr std::string_view deadFolder = "Dead links";

std::string complaint(const std::string &message)
{
    return "quorvel-check: " + message + '\n';
}

std::string pathOf(const bookmarks::BookmarkEntry &entry)
{
    return entry.folderPath.empty() ? entry.title : entry.folderPath + '/' + entry.title;
}

} // namespace

std::string_view storeKindName(bookmarks::StoreKind kind)
{
    switch (kind) {
    case bookmarks::StoreKind::Html:
        return "html";
    case bookmarks::StoreKind::Chromium:
        return "chromium";
    case bookmarks::StoreKind::Firefox:
        return "firefox";
    }
    return "html";
}

fs::path homeFolder()
{
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd *user = ::getpwuid(::getuid()); user && user->pw_dir)
        return user->pw_dir;
    return {};
}

std::optional<fs::path> bookmarkStoreOf(const std::string &file, const std::string &browser,
                                        const fs::path &home, std::ostream &err)
{
    if (!file.empty())
        return fs::path(file);
    const auto named = bookmarks::browserNamed(browser);
    if (!named)
        return std::nullopt; // the parser takes only known names
    if (home.empty()) {
        err << complaint("--browser " + browser + ": no home folder is known (HOME is not set)");
        return std::nullopt;
    }
    auto store = bookmarks::findBrowserStore(*named, home);
    if (!store) {
        err << complaint("--browser " + browser + ": no bookmarks of its default profile found "
                         "under " + home.string() + " (--browser list shows the stores found; "
                         "--bookmarks FILE reads any other)");
        return std::nullopt;
    }
    // The user sees which of possibly several profiles was read.
    err << "quorvel-check: reading the bookmarks of " << browser << " from " << store->string()
        << '\n';
    return store;
}

int listBrowserStores(const fs::path &home, std::ostream &out)
{
    const auto stores = home.empty() ? std::vector<bookmarks::FoundStore>{}
                                     : bookmarks::findBrowserStores(home);
    if (stores.empty()) {
        out << "No browser's bookmarks found under "
            << (home.empty() ? std::string("the home folder (HOME is not set)") : home.string())
            << ".\n";
        return 1;
    }
    for (const bookmarks::FoundStore &store : stores) {
        const std::string name(bookmarks::nameOf(store.browser));
        out << name << std::string(name.size() < 10 ? 10 - name.size() : 1, ' ')
            << store.file.string() << '\n';
    }
    return 0;
}

Report checkBookmarks(std::vector<bookmarks::BookmarkEntry> entries, bookmarks::StoreKind kind,
                      const std::string &storeFile, bool httpOnly, const CheckSettings &settings,
                      const ProgressHandler &progress, const deep::ParkingPhrases *deepPhrases)
{
    Catalogue catalogue;
    catalogue.URL_Names.reserve(entries.size());
    catalogue.URL_List.reserve(entries.size());
    catalogue.Files.reserve(entries.size());
    // A store may hold one bookmark twice in one folder; the history keeps one link per path
    // and URL, so the second is told apart by a number in its file, not in its path.
    // Known by a hash of path and URL: a store of 100,000 bookmarks is read at once, and two
    // that only share the hash (odds of about 2^-64) are merely numbered, the same in every run.
    std::unordered_map<std::uint64_t, int> seen;
    seen.reserve(entries.size());
    std::vector<std::pair<std::size_t, std::string>> twins;
    const std::hash<std::string_view> hash;
    for (bookmarks::BookmarkEntry &entry : entries) {
        std::string path = pathOf(entry);
        std::string file = storeFile + '/' + path;
        const std::uint64_t key = hash(path) * 0x9e3779b97f4a7c15ULL ^ hash(entry.url);
        if (const int twin = seen[key]++; twin > 0) {
            file += " #" + std::to_string(twin + 1);
            twins.emplace_back(catalogue.size(), std::move(path));
        }
        catalogue.URL_Names.push_back(std::move(entry.title));
        catalogue.URL_List.push_back(std::move(entry.url));
        catalogue.Files.push_back(std::move(file));
    }
    entries = {};
    seen = {};
    Report report = checkCatalogue(std::move(catalogue), storeFile, httpOnly, settings, progress,
                                   deepPhrases);
    // Paths are the files below the store; titles are UTF-8 and shown as they are.
    for (auto &[index, path] : twins)
        report.entries[index].path = std::move(path);
    for (ReportEntry &entry : report.entries)
        entry.pathBytes.clear();
    report.storeKind = storeKindName(kind);
    return report;
}

bool usableCleanedCopy(const fs::path &target, const fs::path &store, std::ostream &err)
{
    std::error_code error;
    const auto status = fs::status(target, error);
    if (fs::exists(status)) {
        if (fs::equivalent(target, store, error)) {
            err << complaint("--write-bookmarks: '" + target.string() +
                             "' is the store being checked; the cleaned copy goes to a file of "
                             "its own");
            return false;
        }
        std::ifstream in(target, std::ios::binary);
        std::string head(512, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        if (!fs::is_regular_file(status) || !bookmarks::looksLikeBookmarksHtml(head)) {
            err << complaint("--write-bookmarks: '" + target.string() +
                             "' exists and is not a bookmarks HTML file; it is not overwritten");
            return false;
        }
    }
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(parent, error)) {
        err << complaint("--write-bookmarks: the folder '" + parent.string() +
                         "' does not exist");
        return false;
    }
    if (::access(parent.c_str(), W_OK) != 0) {
        err << complaint("--write-bookmarks: the folder '" + parent.string() +
                         "' cannot be written");
        return false;
    }
    return true;
}

std::vector<bool> sortIntoDeadLinks(Report &report, bool suspectIsDead)
{
    std::vector<bool> dead(report.entries.size(), false);
    for (std::size_t i = 0; i < report.entries.size(); ++i) {
        ReportEntry &entry = report.entries[i];
        CheckResult &r = entry.result;
        if (r.kind != ResultKind::Dead && r.kind != ResultKind::Suspect)
            continue;
        r.moveTo = std::string(deadFolder) + '/' + entry.path;
        if (r.kind == ResultKind::Suspect && !suspectIsDead)
            r.move = MoveState::SuspectStays;
        else if (r.deadRuns < report.confirm)
            r.move = MoveState::Unconfirmed;
        else
            r.move = MoveState::Moved;
        dead[i] = r.move == MoveState::Moved;
    }
    return dead;
}

bool writeCleanedCopy(Report &report, const fs::path &target,
                      const bookmarks::BookmarkTree &tree, const std::vector<bool> &dead,
                      std::ostream &err)
{
    try {
        bookmarks::writeCleanedBookmarks(target, tree, dead);
        report.cleanedCopy = target.string();
        return true;
    } catch (const bookmarks::BookmarkError &error) {
        err << complaint(error.what());
    } catch (const std::exception &error) {
        err << complaint(target.string() + ": cannot be written: " + error.what());
    }
    for (ReportEntry &entry : report.entries) {
        if (entry.result.move == MoveState::Moved)
            entry.result.move = MoveState::Failed;
    }
    report.cleanedNotWritten = "it could not be written";
    return false;
}

} // namespace quorvel::cli
