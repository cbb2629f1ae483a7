#include "verify/deadlinkmover.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace quorvel;

namespace
{

class DeadLinkMoverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root =
            fs::temp_directory_path() / ("quorvel-move-" + std::to_string(std::random_device{}()));
        favorites = (root / "Favorites").string();
        chosen = (root / "Old").string();
        fs::create_directories(favorites);
        fs::create_directories(chosen);
    }
    void TearDown() override { fs::remove_all(root); }

    std::string shortcut(const std::string &relative,
                         const std::string &content = "[InternetShortcut]\nURL=http://a/\n")
    {
        const fs::path path = fs::path(favorites) / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << content;
        return path.string();
    }

    static std::string read(const fs::path &path)
    {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path root;
    std::string favorites;
    std::string chosen;
};

TEST(DeadLinkMoverPaths, RelativeSubFolderFollowsTheFavoritesFolder)
{
    struct Case {
        const char *path;
        const char *favorites;
        const char *expected;
    } cases[] = {
        {"/f/Home.url", "/f", ""},
        {"/f/News/Daily.url", "/f", "News"},
        {"/f/News/Sport/Daily.url", "/f", "News/Sport"},
        // A favorites folder given with its trailing separator scans to "//" paths.
        {"/f///News/Daily.url", "/f/", "/News"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(relativeSubFolder(c.path, c.favorites), c.expected) << c.path;
}

TEST(DeadLinkMoverPaths, DestinationMirrorsTheSubFolderAndDoesNotDoubleARootSeparator)
{
    EXPECT_EQ(destinationPathFor("/f/News/Daily.url", "/f", "/old"), "/old/News/Daily.url");
    EXPECT_EQ(destinationPathFor("/f/Home.url", "/f", "/old"), "/old/Home.url");
    EXPECT_EQ(destinationPathFor("/f/News/Daily.url", "/f", "/"), "/News/Daily.url");
}

TEST(DeadLinkMoverReport, SingularOnlyForExactlyOneMovedLink)
{
    EXPECT_EQ(moveReport(1, "/old").text, "Moved 1 link to /old.");
    EXPECT_EQ(moveReport(1, "/old").caption, "Link Moved");
    EXPECT_EQ(moveReport(0, "/old").text, "Moved 0 links to /old.");
    EXPECT_EQ(moveReport(0, "/old").caption, "Links Moved");
    EXPECT_EQ(moveReport(3, "/").text, "Moved 3 links to /.");
}

TEST_F(DeadLinkMoverTest, ShortcutsLandInMirroredFoldersIncludingMissingIntermediateOnes)
{
    const std::string home = shortcut("Home.url");
    const std::string daily = shortcut("News/Daily.url");
    const std::string deep = shortcut("News/Sport/Score.url");

    // The two-levels-down shortcut comes first, so no earlier move made its parent folder.
    EXPECT_EQ(moveDeadFiles({deep, home, daily}, favorites, chosen), 3u);

    EXPECT_TRUE(fs::exists(fs::path(chosen) / "Home.url"));
    EXPECT_TRUE(fs::exists(fs::path(chosen) / "News" / "Daily.url"));
    EXPECT_TRUE(fs::exists(fs::path(chosen) / "News" / "Sport" / "Score.url"));
    EXPECT_FALSE(fs::exists(home));
    EXPECT_FALSE(fs::exists(deep));
}

TEST_F(DeadLinkMoverTest, ExistingDestinationIsNeverOverwrittenNorCounted)
{
    const std::string dead = shortcut("News/Daily.url", "dead one");
    fs::create_directories(fs::path(chosen) / "News");
    std::ofstream(fs::path(chosen) / "News" / "Daily.url") << "kept";

    EXPECT_EQ(moveDeadFiles({dead}, favorites, chosen), 0u);
    EXPECT_EQ(read(fs::path(chosen) / "News" / "Daily.url"), "kept");
    EXPECT_EQ(read(dead), "dead one");
}

TEST_F(DeadLinkMoverTest, SamePathListedTwiceCountsOnce)
{
    const std::string dead = shortcut("Home.url");
    EXPECT_EQ(moveDeadFiles({dead, dead}, favorites, chosen), 1u);
    EXPECT_TRUE(fs::exists(fs::path(chosen) / "Home.url"));
}

TEST_F(DeadLinkMoverTest, VanishedShortcutIsNotCounted)
{
    const std::string dead = shortcut("Gone.url");
    fs::remove(dead);
    EXPECT_EQ(moveDeadFiles({dead}, favorites, chosen), 0u);
}

TEST_F(DeadLinkMoverTest, EachFileTellsWhetherItMovedOrWhyItStayed)
{
    // quorvel-check reports this per file; a refusal must never read as moved, nor a missing
    // source as a name clash.
    const std::string moved = shortcut("Home.url");
    const std::string taken = shortcut("News/Daily.url", "dead one");
    fs::create_directories(fs::path(chosen) / "News");
    std::ofstream(fs::path(chosen) / "News" / "Daily.url") << "kept";
    const std::string vanished = shortcut("Gone.url");
    fs::remove(vanished);

    EXPECT_EQ(moveDeadFile(moved, favorites, chosen), MoveOutcome::Moved);
    EXPECT_EQ(moveDeadFile(taken, favorites, chosen), MoveOutcome::DestinationExists);
    EXPECT_EQ(moveDeadFile(vanished, favorites, chosen), MoveOutcome::Failed);
    EXPECT_EQ(read(fs::path(chosen) / "News" / "Daily.url"), "kept");
    EXPECT_EQ(read(taken), "dead one");
}

} // namespace
