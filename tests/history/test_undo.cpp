// Undo: every journaled file back to its exact old path, or left where it is and named; and a
// journal entry that a crash left unmarked still leads undo to the file.

#include "history/storejournal.h"
#include "history/undo.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::history;
using quorvel::test::readFile;
using quorvel::test::TempDir;
namespace fs = std::filesystem;

namespace
{

class UndoTest : public ::testing::Test
{
protected:
    UndoTest() : store((temp.path() / "state/history.db").string(), HistoryStore::Access::ReadWrite)
    {
    }

    std::string favorites() const { return (temp.path() / "Favorites").string(); }
    std::string old() const { return (temp.path() / "Old").string(); }

    std::string shortcut(const std::string &relative, const std::string &content)
    {
        return temp.write(fs::path("Favorites") / relative, content).string();
    }

    // A run that moved the given shortcuts with the shared mover and this journal.
    std::int64_t moveAll(const std::vector<std::string> &files)
    {
        const std::int64_t run = store.beginRun("quorvel", favorites(), old(), false);
        StoreJournal journal(store, run);
        moveDeadFiles(files, favorites(), old(), &journal);
        EXPECT_EQ(journal.error(), "");
        store.finishRun(run, true);
        return run;
    }

    TempDir temp;
    HistoryStore store;
};

TEST_F(UndoTest, FilesGoBackToTheirExactPathsAndSubFoldersAreMadeAgain)
{
    const std::string top = shortcut("Top.url", "top");
    const std::string deep = shortcut("News/Sport/\xe9t\xe9 2003.url", "deep"); // Latin-1 name
    const std::int64_t run = moveAll({top, deep});
    ASSERT_FALSE(fs::exists(deep));
    fs::remove_all(fs::path(favorites()) / "News"); // the user tidied the emptied folders

    const UndoResult dry = undoRun(store, run, true);
    ASSERT_EQ(dry.items.size(), 2u);
    EXPECT_EQ(dry.items[0].outcome, UndoOutcome::WouldGoBack);
    EXPECT_FALSE(fs::exists(top)) << "a dry run moves nothing";

    const UndoResult done = undoRun(store, run, false);
    EXPECT_TRUE(done.allBack());
    EXPECT_EQ(readFile(top), "top");
    EXPECT_EQ(readFile(deep), "deep");
    EXPECT_EQ(store.movingRun(run)->undone, 2);
    EXPECT_TRUE(undoRun(store, run, false).items.empty()) << "undone files are not tried again";
}

TEST_F(UndoTest, AFileWhoseOldPlaceIsTakenOrThatIsGoneStaysAndIsNamed)
{
    const std::string taken = shortcut("Taken.url", "moved one");
    const std::string gone = shortcut("Sub/Gone.url", "gone");
    const std::string fine = shortcut("Fine.url", "fine");
    const std::int64_t run = moveAll({taken, gone, fine});
    temp.write("Favorites/Taken.url", "a new shortcut of the same name");
    fs::remove(fs::path(old()) / "Sub/Gone.url");

    const UndoResult result = undoRun(store, run, false);
    ASSERT_EQ(result.items.size(), 3u);
    EXPECT_FALSE(result.allBack());
    EXPECT_EQ(result.items[0].outcome, UndoOutcome::PlaceTaken);
    EXPECT_EQ(result.items[0].source, taken);
    EXPECT_EQ(readFile(taken), "a new shortcut of the same name") << "never overwritten";
    EXPECT_EQ(readFile(fs::path(old()) / "Taken.url"), "moved one") << "it stays";
    EXPECT_EQ(result.items[1].outcome, UndoOutcome::NotAtDestination);
    EXPECT_EQ(result.items[2].outcome, UndoOutcome::Back);

    // Once its place is free again, a later undo brings the rest back.
    fs::rename(taken, temp.path() / "elsewhere.url");
    const UndoResult again = undoRun(store, run, false);
    ASSERT_EQ(again.items.size(), 2u);
    EXPECT_EQ(again.items[0].outcome, UndoOutcome::Back);
    EXPECT_EQ(readFile(taken), "moved one");
}

TEST_F(UndoTest, AnEntryACrashLeftPendingStillLeadsUndoToTheFile)
{
    const std::string moved = shortcut("Moved.url", "moved before the crash");
    const std::string stayed = shortcut("Stayed.url", "never moved");
    const std::int64_t run = store.beginRun("quorvel-check", favorites(), old(), false);
    {
        // The journal's entries are written, one file moves, and then the program dies: no
        // outcome is ever marked.
        StoreJournal journal(store, run);
        ASSERT_TRUE(journal.aboutToMove(moved, old() + "/Moved.url"));
        fs::create_directories(old());
        fs::rename(moved, old() + "/Moved.url");
        ASSERT_TRUE(journal.aboutToMove(stayed, old() + "/Stayed.url"));
    }
    HistoryStore reopened(store.file(), HistoryStore::Access::ReadWrite);
    const auto runs = reopened.movingRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].moved, 2);
    const UndoResult result = undoRun(reopened, run, false);
    ASSERT_EQ(result.items.size(), 2u);
    EXPECT_EQ(result.items[0].outcome, UndoOutcome::Back);
    EXPECT_EQ(result.items[1].outcome, UndoOutcome::AlreadyBack);
    EXPECT_TRUE(result.allBack());
    EXPECT_EQ(readFile(moved), "moved before the crash");
    EXPECT_EQ(readFile(stayed), "never moved");
}

TEST_F(UndoTest, AMoveIsNotMadeWhenItsJournalEntryCannotBeWritten)
{
    const std::string file = shortcut("Keep.url", "keep");
    // The run does not exist, so the entry's reference to it is refused, as a full disk would.
    StoreJournal journal(store, 12345);
    EXPECT_EQ(moveDeadFile(file, favorites(), old(), &journal), MoveOutcome::NotJournaled);
    EXPECT_NE(journal.error(), "");
    EXPECT_EQ(readFile(file), "keep");
    EXPECT_FALSE(fs::exists(fs::path(old()) / "Keep.url"));
}

} // namespace
