#include "catalogue/catalogue.h"

#include "support/tempdir.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using quorvel::Catalogue;
using quorvel::SearchURL;
using quorvel::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::string shortcut(const std::string &url)
{
    return "[InternetShortcut]\r\nURL=" + url + "\r\n";
}

TEST(SearchUrl, SubFolderEntriesComeWhereTheFolderCameNotAfterTheFiles)
{
    TempDir fav;
    fav.write("B.url", shortcut("http://b/"));
    fav.write("A/C.url", shortcut("http://c/"));
    fav.write("A/D/E.url", shortcut("http://e/"));
    fav.write("a0.url", shortcut("http://a0/"));
    Catalogue cat;
    SearchURL(fav.str(), cat);
    const char sep = fs::path::preferred_separator;
    EXPECT_EQ(cat.URL_Names, (std::vector<std::string>{"C", "E", "a0", "B"}));
    EXPECT_EQ(cat.URL_List,
              (std::vector<std::string>{"http://c/", "http://e/", "http://a0/", "http://b/"}));
    EXPECT_EQ(cat.Files, (std::vector<std::string>{
                             fav.str() + sep + "A" + sep + "C.url",
                             fav.str() + sep + "A" + sep + "D" + sep + "E.url",
                             fav.str() + sep + "a0.url", fav.str() + sep + "B.url"}));
}

TEST(SearchUrl, NamesUrlsAndWhichFilesCount)
{
    TempDir fav;
    fav.write("News.URL", shortcut("http://news/"));
    fav.write(".url", shortcut("http://whole/"));
    fav.write("nokey.Url", "[InternetShortcut]\nIconFile=x\n");
    fav.write("nosection.url", "URL=http://lost/\n");
    fav.write("long.url", shortcut(std::string(3000, 'u')));
    fav.write(".hidden.url", shortcut("http://hidden/"));
    fav.write(".hiddendir/in.url", shortcut("http://in-hidden/"));
    fav.write("folder.url/inner.url", shortcut("http://inner/"));
    for (const char *skipped : {"a.url.bak", "a.urlx", "a.lnk", "a", "url"})
        fav.write(skipped, shortcut("http://skipped/"));
    Catalogue cat;
    SearchURL(fav.str(), cat);
    const std::vector<std::string> names = {".hidden", "in",    "None",  "inner",
                                            "long",    "News",  "nokey", "nosection"};
    const std::vector<std::string> urls = {"http://hidden/", "http://in-hidden/",
                                           "http://whole/",  "http://inner/",
                                           std::string(2047, 'u'), "http://news/",
                                           "no path",        "no path"};
    EXPECT_EQ(cat.URL_Names, names);
    EXPECT_EQ(cat.URL_List, urls);
    EXPECT_EQ(cat.Files.size(), names.size());
}

TEST(SearchUrl, AppendsAndKeepsEqualNamesFromDifferentFolders)
{
    TempDir fav;
    fav.write("x/Same.url", shortcut("http://1/"));
    fav.write("y/Same.url", shortcut("http://2/"));
    Catalogue cat;
    cat.URL_Names = {"old"};
    cat.URL_List = {"http://old/"};
    cat.Files = {"/old.url"};
    SearchURL(fav.str(), cat);
    EXPECT_EQ(cat.URL_Names, (std::vector<std::string>{"old", "Same", "Same"}));
    ASSERT_EQ(cat.Files.size(), 3u);
    EXPECT_NE(cat.Files[1], cat.Files[2]);
}

TEST(SearchUrl, ManyShortcutsReadAtOnceKeepTheirOrderAndTheirOwnUrls)
{
    // Enough files that several readers share them; appended after entries already listed.
    TempDir fav;
    constexpr int folders = 3;
    constexpr int perFolder = 700;
    for (int f = 0; f < folders; ++f) {
        for (int i = 0; i < perFolder; ++i) {
            const std::string id = std::to_string(f * 10000 + i);
            const std::string name = "d" + std::to_string(f) + "/s" + id + ".url";
            fav.write(name, i % 97 == 0 ? "[Other]\r\nURL=x\r\n" : shortcut("http://h/" + id));
        }
    }
    Catalogue cat;
    cat.URL_Names = {"old"};
    cat.URL_List = {"http://old/"};
    cat.Files = {"/old.url"};
    SearchURL(fav.str(), cat);

    ASSERT_EQ(cat.Files.size(), 1u + folders * perFolder);
    ASSERT_EQ(cat.URL_List.size(), cat.Files.size());
    ASSERT_EQ(cat.URL_Names.size(), cat.Files.size());
    EXPECT_EQ(cat.URL_List[0], "http://old/");
    for (std::size_t i = 1; i < cat.Files.size(); ++i) {
        const std::string &name = cat.URL_Names[i];
        ASSERT_EQ(name.front(), 's');
        const int id = std::stoi(name.substr(1));
        const std::string expected =
            (id % 10000) % 97 == 0 ? "no path" : "http://h/" + std::to_string(id);
        ASSERT_EQ(cat.URL_List[i], expected) << cat.Files[i];
        ASSERT_EQ(fs::path(cat.Files[i]).stem().string(), name);
        // Folders in order, names in the listing's case-blind order within them.
        if (i > 1) {
            ASSERT_LT(cat.Files[i - 1], cat.Files[i]);
        }
    }
}

TEST(SearchUrl, MissingOrEmptyFolderLeavesListsUnchanged)
{
    TempDir fav;
    Catalogue cat;
    SearchURL(fav.str(), cat);
    SearchURL((fav.path() / "missing").string(), cat);
    SearchURL(fav.write("file.url", shortcut("http://f/")).string(), cat);
    EXPECT_EQ(cat.size(), 0u);
    EXPECT_TRUE(cat.URL_Names.empty() && cat.Files.empty());
}

TEST(SearchUrl, LinkLoopsAndTwoLinksToOneFolderAreWalkedOnce)
{
    TempDir fav;
    fav.write("sub/a.url", shortcut("http://a/"));
    fs::create_directory_symlink(fav.path(), fav.path() / "sub" / "back");
    fs::create_directory_symlink(fav.path() / "sub", fav.path() / "twin");
    fs::create_symlink(fav.path() / "nowhere", fav.path() / "broken.url");
    Catalogue cat;
    SearchURL(fav.str(), cat);
    // "broken.url" is a file that cannot be read; "sub" is entered once, through itself.
    EXPECT_EQ(cat.URL_Names, (std::vector<std::string>{"broken", "a"}));
    EXPECT_EQ(cat.URL_List, (std::vector<std::string>{"no path", "http://a/"}));
}

TEST(SearchUrl, ThousandsOfLevelsDeepNeitherOverflowsNorLosesShortcuts)
{
    // Deeper than PATH_MAX allows in one path, and deep enough that a recursive walk with
    // per-level buffers would exhaust the stack. On tmpfs when there is one: removing thousands
    // of nested folders from a journalled disk takes seconds.
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                      : fs::temp_directory_path();
    TempDir fav(base);
    constexpr int depth = 3000;
    int fd = ::open(fav.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < depth; ++level) {
        if (level % 1000 == 999) {
            const int file = ::openat(fd, "deep.url", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            ASSERT_GE(file, 0);
            const std::string text = shortcut("http://level" + std::to_string(level) + "/");
            ASSERT_EQ(::write(file, text.data(), text.size()), ssize_t(text.size()));
            ::close(file);
        }
        ASSERT_EQ(::mkdirat(fd, "dd", 0700), 0);
        const int next = ::openat(fd, "dd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ::close(fd);
    Catalogue cat;
    SearchURL(fav.str(), cat);
    // "dd" sorts before "deep.url", so the deepest shortcut comes first.
    EXPECT_EQ(cat.URL_List, (std::vector<std::string>{"http://level2999/", "http://level1999/",
                                                      "http://level999/"}));
    ASSERT_EQ(cat.Files.size(), 3u);
    EXPECT_GT(cat.Files[0].size(), 3u * 2999);
}

TEST(SearchUrl, UnreadableSubFolderIsSkippedAndScanGoesOn)
{
    TempDir fav;
    fav.write("a/x.url", shortcut("http://x/"));
    fav.write("b.url", shortcut("http://b/"));
    ::chmod((fav.path() / "a").c_str(), 0);
    const auto scan = quorvel::test::runUnprivileged({fav.path()}, [&] {
        Catalogue cat;
        SearchURL(fav.str(), cat);
        std::string urls;
        for (const std::string &url : cat.URL_List)
            urls += url + " ";
        return urls;
    });
    if (!scan.ran)
        GTEST_SKIP() << scan.whyNot;
    EXPECT_EQ(scan.result, "http://b/ ");
}

TEST(SearchUrl, DisplayNameAndExtensionRules)
{
    struct Case {
        const char *name;
        bool shortcut;
        const char *display;
    } const cases[] = {
        {"News.url", true, "News"}, {"a.URL", true, "a"},      {"a.Url", true, "a"},
        {".url", true, "None"},     {"x.y.url", true, "x.y"},  {"a.url.bak", false, nullptr},
        {"a.urlx", false, nullptr}, {"a.lnk", false, nullptr}, {"url", false, nullptr},
        {"a.ur", false, nullptr},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(quorvel::isShortcutName(c.name), c.shortcut) << c.name;
        if (c.display) {
            EXPECT_EQ(quorvel::displayNameOf(c.name), c.display) << c.name;
        }
    }
}

} // namespace
