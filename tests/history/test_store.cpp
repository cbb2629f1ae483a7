// The history store: streaks of dead results, the schema's guard against foreign and newer
// files, and two writers at once.

#include "history/store.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace quorvel::history;
using quorvel::test::readFile;
using quorvel::test::TempDir;

namespace
{

ResultRow row(std::string_view path, std::string_view url, Standing standing)
{
    ResultRow r;
    r.path = path;
    r.url = url;
    r.standing = standing;
    r.verdict = standing == Standing::Dead    ? "dead"
                : standing == Standing::Alive ? "alive"
                                              : "skipped";
    return r;
}

// One run recording the given rows; returns their streaks.
std::vector<Streak> runOnce(HistoryStore &store, const std::vector<ResultRow> &rows)
{
    const std::int64_t run = store.beginRun("quorvel-check", "/f", "", false);
    std::vector<Streak> streaks;
    HistoryStore::Results results(store, run);
    for (const ResultRow &r : rows)
        streaks.push_back(results.add(r));
    results.commit();
    store.finishRun(run, true);
    return streaks;
}

void sql(const std::string &file, const char *statement)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statement, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST(HistoryStore, StreakCountsConsecutiveDeadRunsKeepsTheFirstTimeAndRestartsWhenAlive)
{
    TempDir temp;
    HistoryStore store((temp.path() / "deep/er/history.db").string(),
                       HistoryStore::Access::ReadWrite);
    const std::string path = "/f/News/\xff raw.url"; // not UTF-8: kept as bytes
    auto first = runOnce(store, {row(path, "http://a/", Standing::Dead)});
    EXPECT_EQ(first[0].deadRuns, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    auto second = runOnce(store, {row(path, "http://a/", Standing::Dead),
                                  row(path, "http://changed/", Standing::Dead)});
    EXPECT_EQ(second[0].deadRuns, 2);
    EXPECT_EQ(second[0].deadSince, first[0].deadSince) << "the first run's time is kept";
    EXPECT_EQ(second[1].deadRuns, 1) << "a changed URL starts afresh";
    EXPECT_NE(second[1].deadSince, first[0].deadSince);

    // A run without a verdict (skipped, unchecked) neither breaks nor extends the streak.
    EXPECT_EQ(runOnce(store, {row(path, "http://a/", Standing::NoVerdict)})[0].deadRuns, 2);
    EXPECT_EQ(runOnce(store, {row(path, "http://a/", Standing::Dead)})[0].deadRuns, 3);
    auto alive = runOnce(store, {row(path, "http://a/", Standing::Alive)});
    EXPECT_EQ(alive[0].deadRuns, 0);
    EXPECT_EQ(alive[0].deadSince, "");
    EXPECT_EQ(runOnce(store, {row(path, "http://a/", Standing::Dead)})[0].deadRuns, 1);
}

TEST(HistoryStore, AFileThatIsNoStoreOrANewerOneIsRefusedAndLeftByteForByte)
{
    TempDir temp;
    const std::string text = temp.write("notes.db", "my notes, not a database\n").string();
    std::string sqliteHeaderOnly("SQLite format 3\0garbage garbage garbage", 40);
    const std::string damaged = temp.write("damaged.db", sqliteHeaderOnly).string();
    const std::string foreign = (temp.path() / "foreign.db").string();
    sql(foreign, "CREATE TABLE mine(a)");
    const std::string newer = (temp.path() / "newer.db").string();
    sql(newer, "PRAGMA user_version = 99");
    for (const auto &[file, words] :
         std::vector<std::pair<std::string, std::string>>{{text, "not an SQLite database"},
                                                          {damaged, "damaged.db"},
                                                          {foreign, "some other program"},
                                                          {newer, "newer Quorvel"}}) {
        const std::string before = readFile(file);
        for (auto access : {HistoryStore::Access::ReadWrite, HistoryStore::Access::ReadOnly}) {
            try {
                HistoryStore store(file, access);
                ADD_FAILURE() << file << " was opened";
            } catch (const StoreError &error) {
                EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
                EXPECT_NE(std::string(error.what()).find(file), std::string::npos);
            }
        }
        EXPECT_EQ(readFile(file), before) << file;
        EXPECT_FALSE(std::filesystem::exists(file + "-wal")) << file;
    }
}

TEST(HistoryStore, TwoProgramsCreatingOneStoreAtOnceBothOpenIt)
{
    // SQLite answers "locked" at once to the second of two programs that switch a new file to
    // WAL together; both must still open it. The race is lost about one time in two.
    TempDir temp;
    for (int round = 0; round < 10; ++round) {
        const std::string file =
            (temp.path() / ("history" + std::to_string(round) + ".db")).string();
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        pid_t children[2];
        for (pid_t &child : children) {
            child = ::fork();
            ASSERT_NE(child, -1);
            if (child == 0) {
                char start;
                ::close(go[1]);
                (void)!::read(go[0], &start, 1);
                try {
                    HistoryStore store(file, HistoryStore::Access::ReadWrite);
                    store.beginRun("quorvel-check", "/f", "", false);
                    ::_exit(0);
                } catch (...) {
                    ::_exit(1);
                }
            }
        }
        ::close(go[0]);
        ::close(go[1]); // both children start now
        for (const pid_t child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
    }
}

TEST(HistoryStore, TwoWritersAtOnceBothFinishAndTheStoreStaysWhole)
{
    TempDir temp;
    const std::string file = (temp.path() / "history.db").string();
    auto writer = [&](const std::string &prefix) {
        HistoryStore store(file, HistoryStore::Access::ReadWrite);
        std::vector<std::string> paths;
        for (int i = 0; i < 2000; ++i)
            paths.push_back(prefix + std::to_string(i) + ".url");
        for (int round = 0; round < 5; ++round) {
            std::vector<ResultRow> rows;
            for (const auto &p : paths)
                rows.push_back(row(p, "http://x/", Standing::Dead));
            const auto streaks = runOnce(store, rows);
            EXPECT_EQ(streaks.back().deadRuns, round + 1);
            const std::int64_t run = store.beginRun("quorvel", "/f", "/old", false);
            store.markMove(store.journalMove(run, paths[round], "/old/x.url"), MoveState::Moved);
        }
    };
    std::thread a(writer, "/f/a/");
    std::thread b(writer, "/f/b/");
    a.join();
    b.join();
    HistoryStore store(file, HistoryStore::Access::ReadOnly);
    EXPECT_EQ(store.movingRuns().size(), 10u);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_stmt *check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);
}

} // namespace
