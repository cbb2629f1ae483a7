#include "platform/filemove.h"

#include "support/tempdir.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using quorvel::test::readFile;
using quorvel::test::runUnprivileged;
using quorvel::test::TempDir;
namespace fs = std::filesystem;
namespace platform = quorvel::platform;

namespace {

// tmpfs, when there is one, lies on another file system than the usual temporary folder.
fs::path otherFileSystem()
{
    struct stat shm {};
    struct stat tmp {};
    if (::stat("/dev/shm", &shm) == 0 && ::stat(fs::temp_directory_path().c_str(), &tmp) == 0 &&
        shm.st_dev != tmp.st_dev && ::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return {};
}

std::size_t entryCount(const fs::path &folder)
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// Runs the same checks against the plain move and against the copy path.
using Mover = bool (*)(const std::string &, const std::string &);
class MoveTest : public ::testing::TestWithParam<Mover> {};

TEST_P(MoveTest, MovesContentAndRefusesToOverwrite)
{
    const Mover move = GetParam();
    TempDir src;
    TempDir dst;
    const std::string content(200000, 'q');
    const auto from = src.write("Daily.url", content);
    const auto to = dst.path() / "Daily.url";
    ASSERT_TRUE(move(from.string(), to.string()));
    EXPECT_FALSE(fs::exists(from));
    EXPECT_EQ(readFile(to), content);

    // Destination exists: nothing moves and nothing is overwritten.
    const auto again = src.write("Daily.url", "new source");
    EXPECT_FALSE(move(again.string(), to.string()));
    EXPECT_EQ(readFile(again), "new source");
    EXPECT_EQ(readFile(to), content);

    // Source gone, destination folder missing: false, no stray files left behind.
    EXPECT_FALSE(move((src.path() / "missing.url").string(), (dst.path() / "m.url").string()));
    EXPECT_FALSE(move(again.string(), (dst.path() / "no" / "such.url").string()));
    EXPECT_EQ(readFile(again), "new source");
    EXPECT_EQ(entryCount(dst.path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(PlainAndCopy, MoveTest,
                         ::testing::Values(&platform::moveFile, &platform::detail::moveByCopy));

TEST(FileMove, AcrossFileSystemsCopiesKeepsModeAndRemovesSource)
{
    const fs::path other = otherFileSystem();
    if (other.empty())
        GTEST_SKIP() << "no second file system to move to";
    TempDir src;
    TempDir dst(other);
    const auto from = src.write("x.url", "[InternetShortcut]\nURL=http://x/\n");
    ::chmod(from.c_str(), 0640);
    const auto to = dst.path() / "x.url";
    ASSERT_TRUE(platform::moveFile(from.string(), to.string()));
    EXPECT_FALSE(fs::exists(from));
    EXPECT_EQ(readFile(to), "[InternetShortcut]\nURL=http://x/\n");
    EXPECT_EQ(fs::status(to).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entryCount(dst.path()), 1u) << "temporary copy left behind";

    // And back, onto an existing file: refused, both kept.
    const auto back = src.write("x.url", "other");
    EXPECT_FALSE(platform::moveFile(to.string(), back.string()));
    EXPECT_EQ(readFile(back), "other");
    EXPECT_TRUE(fs::exists(to));
}

TEST(FileMove, CopyPathRefusesFoldersAndLinks)
{
    TempDir dir;
    fs::create_directory(dir.path() / "folder");
    const auto target = dir.write("target.url", "t");
    fs::create_symlink(target, dir.path() / "link.url");
    EXPECT_FALSE(platform::detail::moveByCopy((dir.path() / "folder").string(),
                                              (dir.path() / "f2").string()));
    EXPECT_FALSE(platform::detail::moveByCopy((dir.path() / "link.url").string(),
                                              (dir.path() / "l2.url").string()));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.url"));
    EXPECT_EQ(entryCount(dir.path()), 3u);
}

TEST(FileMove, FailedCopyKeepsSourceAndLeavesNoCopyBehind)
{
    TempDir src;
    TempDir dst;
    // The source cannot be read.
    const auto unreadable = src.write("locked.url", "x");
    ::chmod(unreadable.c_str(), 0);
    // The source can be copied but not removed: the copy must go again, not stay as a twin.
    const auto pinned = src.write("ro/pinned.url", "keep me");
    ::chmod(pinned.parent_path().c_str(), 0555);
    const auto moves = runUnprivileged({src.path(), dst.path()}, [&] {
        std::string result;
        for (const auto &from : {unreadable, pinned})
            result +=
                platform::detail::moveByCopy(from.string(), (dst.path() / from.filename()).string())
                    ? "moved "
                    : "kept ";
        return result;
    });
    if (!moves.ran)
        GTEST_SKIP() << moves.whyNot;
    EXPECT_EQ(moves.result, "kept kept ");
    ::chmod(pinned.parent_path().c_str(), 0755);
    EXPECT_EQ(readFile(pinned), "keep me");
    EXPECT_TRUE(fs::exists(unreadable));
    EXPECT_EQ(entryCount(dst.path()), 0u);
}

TEST(FileMove, FolderCreationOneLevelOrTheWholeChain)
{
    TempDir dir;
    const std::string one = (dir.path() / "one").string();
    const std::string deep = (dir.path() / "a" / "b" / "c").string();
    EXPECT_FALSE(platform::isDirectory(one));
    EXPECT_TRUE(platform::createDirectory(one));
    EXPECT_TRUE(platform::isDirectory(one));
    EXPECT_FALSE(platform::createDirectory(one)) << "an existing folder is not created";
    EXPECT_FALSE(platform::createDirectory(deep)) << "only one level is made";
    EXPECT_TRUE(platform::createDirectories(deep));
    EXPECT_TRUE(platform::isDirectory(deep));
    EXPECT_TRUE(platform::createDirectories(deep));
    const auto file = dir.write("file", "x");
    EXPECT_FALSE(platform::isDirectory(file.string()));
    EXPECT_FALSE(platform::createDirectories((file / "below").string()));
    EXPECT_FALSE(platform::isDirectory(""));
}

} // namespace
