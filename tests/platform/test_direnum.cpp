#include "platform/direnum.h"

#include "support/tempdir.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using quorvel::platform::DirEntry;
using quorvel::platform::listDirectory;
using quorvel::platform::ntfsNameLess;
using quorvel::test::runUnprivileged;
using quorvel::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesOf(const std::vector<DirEntry> &entries)
{
    std::vector<std::string> names;
    for (const DirEntry &e : entries)
        names.push_back(e.name);
    return names;
}

TEST(DirEnum, OrderIsUpperCasedByteOrderNotLocaleOrRawBytes)
{
    TempDir dir;
    // Raw byte order would put "AB" and "Zeta" before "a.b"; upper-casing puts '.' (2E) before
    // 'B' (42), 'L' (4C), '_' (5F) and '~' (7E).
    for (const char *name : {"b", "a_b", "AB", "a.b", "Zeta", "alpha", "A", "a~", "\xC3\xA9"})
        dir.write(name, "");
    const auto entries = listDirectory(dir.str());
    ASSERT_TRUE(entries);
    const std::vector<std::string> expected = {"A", "a.b", "AB",   "alpha",    "a_b",
                                               "a~", "b",  "Zeta", "\xC3\xA9"};
    EXPECT_EQ(namesOf(*entries), expected);
}

TEST(DirEnum, CollationTableCases)
{
    struct Case {
        const char *a;
        const char *b;
        bool less;
    } const cases[] = {
        {"a.b", "AB", true}, {"AB", "a_b", true}, {"abc", "ABD", true}, {"ab", "ABC", true},
        {"ABC", "ab", false}, {"x", "x", false}, {"Y", "y", true}, {"\x7F", "\x80", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ntfsNameLess(c.a, c.b), c.less) << c.a << " vs " << c.b;
}

TEST(DirEnum, HiddenEntriesAndKindsAreReportedWithoutDots)
{
    TempDir dir;
    dir.write(".hidden.url", "");
    dir.write("file.url", "");
    fs::create_directory(dir.path() / ".hiddendir");
    fs::create_directory(dir.path() / "real");
    fs::create_directory_symlink(dir.path() / "real", dir.path() / "linkdir");
    fs::create_symlink(dir.path() / "file.url", dir.path() / "linkfile");
    fs::create_symlink(dir.path() / "gone", dir.path() / "broken");

    const auto entries = listDirectory(dir.str());
    ASSERT_TRUE(entries);
    struct Kind {
        bool isDirectory;
        bool isLink;
    };
    const std::vector<std::pair<std::string, Kind>> expected = {
        {".hidden.url", {false, false}}, {".hiddendir", {true, false}},
        {"broken", {false, true}},       {"file.url", {false, false}},
        {"linkdir", {true, true}},       {"linkfile", {false, true}},
        {"real", {true, false}},
    };
    ASSERT_EQ(entries->size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((*entries)[i].name, expected[i].first);
        EXPECT_EQ((*entries)[i].isDirectory, expected[i].second.isDirectory) << expected[i].first;
        EXPECT_EQ((*entries)[i].isLink, expected[i].second.isLink) << expected[i].first;
    }
}

TEST(DirEnum, MissingFileOrUnreadableFolderGivesNothing)
{
    TempDir dir;
    EXPECT_FALSE(listDirectory((dir.path() / "missing").string()));
    EXPECT_FALSE(listDirectory(dir.write("plain", "").string()));
    fs::create_directory(dir.path() / "empty");
    const auto empty = listDirectory((dir.path() / "empty").string());
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    fs::create_directory(dir.path() / "locked");
    ::chmod((dir.path() / "locked").c_str(), 0);
    const auto locked = runUnprivileged({dir.path()}, [&] {
        return listDirectory((dir.path() / "locked").string()) ? "listed" : "nothing";
    });
    if (!locked.ran)
        GTEST_SKIP() << locked.whyNot;
    EXPECT_EQ(locked.result, "nothing");
}

} // namespace
