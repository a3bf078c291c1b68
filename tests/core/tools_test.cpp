// The whole-store operations on a real store in a temporary folder: shift, scale, wrap, split,
// merge, the open's import, and what a failure or a killed process leaves behind.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "base/timecode.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/errors.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"
#include "tests/support/typedrows.h"
#include "tools/operations.h"
#include "tools/srtfiles.h"

namespace tirelle::tools {
namespace {

using Row = testing::TypedRow;

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        connection.openFile(folder.file("store.db"));
        sub.setConnection(&connection);
        sub.setCommandText(store::kSelectAllSql);
        sub.open();
    }

    void add(const std::vector<Row>& rows) {
        testing::AppendRows(sub, rows);
        sub.requery();
    }

    // Only these rows in the store.
    void refill(const std::vector<Row>& rows) {
        sub.close();
        connection.execute(store::kDeleteAllSql, "test");
        sub.open();
        add(rows);
    }

    // The rows as the working dataset shows them, in its current order.
    std::vector<Row> shown() const {
        std::vector<Row> rows;
        for (int i = 0; i < sub.rowCount(); ++i)
            rows.push_back({sub.rowAt(i).STime, sub.rowAt(i).ETime, sub.rowAt(i).SubText});
        return rows;
    }

    // The rows the file holds, read through a connection of their own, in start order.
    std::vector<Row> stored() const {
        store::Connection other;
        other.openFile(connection.path());
        store::Dataset check;
        check.setConnection(&other);
        check.setCommandText("select * from Sub order by SubSort, aid");
        check.open();
        std::vector<Row> rows;
        for (int i = 0; i < check.rowCount(); ++i)
            rows.push_back({check.rowAt(i).STime, check.rowAt(i).ETime, check.rowAt(i).SubText});
        return rows;
    }

    // Makes every post of a row with this text fail, with RAISE(ABORT) (the statement only),
    // RAISE(ROLLBACK) (the engine drops the whole transaction) or RAISE(IGNORE) (the row is
    // skipped without an error).
    void refuse(const std::string& text, const std::string& how) {
        for (const char* event : {"INSERT", "UPDATE"})
            connection.execute("CREATE TEMP TRIGGER \"refuse " + text + " " + event + "\" BEFORE " +
                                   event + " ON Sub WHEN NEW.SubText = '" + text +
                                   "' BEGIN SELECT RAISE(" + how +
                                   (how == "IGNORE" ? "" : ", 'refused'") + "); END",
                               "test");
    }

    testing::TempFolder folder;
    store::Connection connection;
    store::Dataset sub;
};

TEST_F(ToolsTest, ShiftMovesAndClampsEachTimeOnItsOwn) {
    const struct {
        double seconds;
        Row in, out;
    } cases[] = {
        {-5.5, {"00:00:10,000", "00:00:12,500", "a"}, {"00:00:04,500", "00:00:07,000", "a"}},
        {-5.5, {"00:00:03,000", "00:00:04,000", "b"}, {"00:00:00,000", "00:00:00,000", "b"}},
        {-5.5, {"00:00:03,000", "00:00:08,000", "c"}, {"00:00:00,000", "00:00:02,500", "c"}},
        {0.0005, {"00:00:01,000", "00:00:02,000", "d"}, {"00:00:01,000", "00:00:02,000", "d"}},
        {1, {"00:00:05,1", "junk", "e"}, {"00:00:06,100", "00:00:01,000", "e"}},
        // 52.25 - 0.2 lies a hair below 52.05 as a double: no millisecond is lost.
        {-0.2, {"00:00:52,250", "00:00:02,874", "g"}, {"00:00:52,050", "00:00:02,674", "g"}},
        {3600, {"99:00:00,000", "99:59:59,999", "f"}, {"100:00:00,000", "100:59:59,999", "f"}},
    };
    for (const auto& c : cases) {
        refill({c.in});
        EXPECT_TRUE(ShiftAll(sub, c.seconds));
        EXPECT_EQ(stored(), std::vector<Row>{c.out}) << "shift " << c.seconds << " of " << c.in;
        // The seconds come from the new texts.
        EXPECT_EQ(sub.fieldByName("SubSort").asFloat(), TimeToSeconds(c.out.start));
        EXPECT_EQ(sub.fieldByName("SubSortEnd").asFloat(), TimeToSeconds(c.out.end));
    }
}

TEST_F(ToolsTest, ScaleMovesFirstAndLastAndKeepsDurations) {
    const std::vector<Row> rows = {{"00:00:05,400", "00:00:07,000", "first"},
                                   {"00:50:00,000", "00:50:03,000", "middle"},
                                   {"01:40:00,000", "01:40:02,000", "last"}};
    const struct {
        std::string newFirst, newLast;
        std::vector<Row> out;
    } cases[] = {
        // The example of the scale page: the last start moves by 15.5 s.
        {"00:00:05,400",
         "01:40:15,500",
         {{"00:00:05,400", "00:00:07,000", "first"},
          {"00:50:07,743", "00:50:10,743", "middle"},
          {"01:40:15,500", "01:40:17,500", "last"}}},
        // Both boxes empty: every start becomes 0 and every end its duration. 7 - 5.4 lies
        // just below 1.6 as a double, and still gives the whole 1.6 s.
        {"",
         "",
         {{"00:00:00,000", "00:00:01,600", "first"},
          {"00:00:00,000", "00:00:03,000", "middle"},
          {"00:00:00,000", "00:00:02,000", "last"}}},
        // Reversed: the order of the starts turns round; a negative start becomes 0 while its
        // end keeps the duration from the unclamped start.
        {"00:00:10,000",
         "00:00:00,000",
         {{"00:00:10,000", "00:00:11,600", "first"},
          {"00:00:05,004", "00:00:08,004", "middle"},
          {"00:00:00,000", "00:00:02,000", "last"}}},
    };
    for (const auto& c : cases) {
        refill(rows);
        EXPECT_TRUE(ScaleAll(sub, TimeToSeconds(c.newFirst), TimeToSeconds(c.newLast)));
        EXPECT_EQ(shown(), c.out) << c.newFirst << " .. " << c.newLast;  // order kept until requery
    }
}

TEST_F(ToolsTest, ScaleWithOneStartFailsBeforeTouchingAnything) {
    const struct {
        double newFirst, newLast;
        FloatingPointError::Kind kind;
        const char* message;
    } cases[] = {
        {1, 2, FloatingPointError::Kind::DivisionByZero, "Floating point division by zero"},
        {3, 3, FloatingPointError::Kind::InvalidOperation, "Invalid floating point operation"},
        {0, 0, FloatingPointError::Kind::InvalidOperation, "Invalid floating point operation"},
    };
    add({{"00:00:04,000", "00:00:05,000", "a"}, {"00:00:04,000", "00:00:06,000", "b"}});
    const std::vector<Row> before = stored();
    for (const auto& c : cases) {
        try {
            ScaleAll(sub, c.newFirst, c.newLast);
            ADD_FAILURE() << "no error for " << c.newFirst << " .. " << c.newLast;
        } catch (const FloatingPointError& error) {
            EXPECT_EQ(error.kind(), c.kind);
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_EQ(stored(), before);
    }
}

TEST_F(ToolsTest, WrapPutsPrefixAndSuffixAroundEveryText) {
    add({{"00:00:01,000", "00:00:02,000", "one\r\ntwo"}, {"00:00:03,000", "00:00:04,000", ""}});
    EXPECT_TRUE(WrapAll(sub, "", ""));
    EXPECT_TRUE(WrapAll(sub, "<i>", "</i>"));
    EXPECT_TRUE(WrapAll(sub, "{", "}"));
    EXPECT_EQ(stored(), (std::vector<Row>{{"00:00:01,000", "00:00:02,000", "{<i>one\r\ntwo</i>}"},
                                          {"00:00:03,000", "00:00:04,000", "{<i></i>}"}}));
    EXPECT_TRUE(sub.eof());
}

TEST_F(ToolsTest, SplitWritesRowsAfterTheCutRelativeToIt) {
    add({{"00:45:01,000", "00:45:02,000", "at the cut"},
         {"00:45:03,500", "00:45:05,000", "after"},
         {"00:00:01,000", "00:00:02,000", "before"},
         {"00:46:00,000", "00:45:00,000", "ends before the cut"},
         {"00:47:00,000", "00:47:01,000", "two\r\nlines"}});
    const auto before = stored();
    const srt::LineList lines = SplitAfter(sub, TimeToSeconds("00:45:01,000"));
    EXPECT_EQ(srt::JoinLines(lines),
              "1\r\n00:00:02,500 --> 00:00:04,000\r\nafter\r\n\r\n"
              "2\r\n00:00:59,000 --> 00:00:00,000\r\nends before the cut\r\n\r\n"
              "3\r\n00:01:59,000 --> 00:02:00,000\r\ntwo\r\nlines\r\n\r\n");
    EXPECT_TRUE(SplitAfter(sub, TimeToSeconds("01:00:00,000")).empty());
    // An empty box cuts at 0: every row with a start above 0, with its own times.
    EXPECT_EQ(SplitAfter(sub, 0).size(), 5u * 4 + 1);
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(sub.currentRow(), 4);
}

// A part split off at a cut and merged back at the same cut has its times again, to the
// millisecond, although the differences and sums are not exact in binary.
TEST_F(ToolsTest, SplitThenMergeAtTheCutGivesTheTimesBack) {
    const struct {
        const char* cut;
        Row row;
        const char* splitTimes;
    } cases[] = {
        {"00:00:50,000", {"00:00:50,044", "00:00:52,250", "a"}, "00:00:00,044 --> 00:00:02,250"},
        {"00:45:01,000", {"00:45:03,100", "01:02:03,789", "b"}, "00:00:02,100 --> 00:17:02,789"},
        {"00:00:00,200", {"00:00:52,250", "00:00:52,874", "c"}, "00:00:52,050 --> 00:00:52,674"},
    };
    const Row anchor = {"99:00:00,000", "99:00:01,000", "anchor"};
    for (const auto& c : cases) {
        refill({c.row});
        const srt::LineList part = SplitAfter(sub, TimeToSeconds(c.cut));
        ASSERT_EQ(part.size(), 4u) << c.cut;
        EXPECT_EQ(part[1], c.splitTimes) << c.row;
        refill({anchor});
        EXPECT_TRUE(MergeBlocks(sub, part, TimeToSeconds(c.cut)));
        EXPECT_EQ(stored(), (std::vector<Row>{c.row, anchor})) << c.cut;
    }
}

// A time beyond the largest time code would be written as 596:31:23,647: the shift, the scale
// and the merge refuse it before any row is touched.
TEST_F(ToolsTest, TimesBeyondTheLargestTimeCodeChangeNothing) {
    const std::vector<Row> rows = {{"00:00:03,000", "00:00:04,000", "a"},
                                   {"00:00:10,000", "00:00:12,000", "b"}};
    const srt::LineList other = {"1", "00:00:00,500 --> 00:00:01,000", "x"};
    const auto beyond = [](const char* time) {
        return std::string("The ") + time +
               " would lie beyond 596:31:23,647, the largest time a time code holds";
    };
    const struct {
        const char* name;
        std::function<void()> change;
        std::string message;
    } cases[] = {
        {"shift", [&] { ShiftAll(sub, 2147480.5); }, beyond("end of subtitle 1")},
        {"scale", [&] { ScaleAll(sub, 0, 2147483.647); }, beyond("end of subtitle 2")},
        {"merge", [&] { MergeBlocks(sub, other, 2147483.5); }, beyond("start of subtitle 1")},
    };
    for (const auto& c : cases) {
        refill(rows);
        try {
            c.change();
            ADD_FAILURE() << c.name << " went through";
        } catch (const TimeRangeError& error) {
            EXPECT_EQ(error.what(), c.message) << c.name;
        }
        EXPECT_EQ(stored(), rows) << c.name;
    }
}

TEST_F(ToolsTest, MergeAddsBlocksAtTheOffsetAndRequeries) {
    const srt::LineList lines = {"1",        "00:00:01,000 --> 00:00:03,000",
                                 "merged",   "",
                                 "2",        "junk --> 00:00:00,500",
                                 "no start", "",
                                 "3",        "-1:0:0 --> 0:0:2",
                                 "negative"};
    const Row old = {"00:45:00,000", "00:45:01,000", "old"};
    const struct {
        double offset;
        std::vector<Row> stored;  // by start, then in the order added
    } cases[] = {
        {TimeToSeconds("00:45:01,000"),
         {{"00:00:00,000", "00:45:03,000", "negative"},
          old,
          {"00:45:01,000", "00:45:01,500", "no start"},
          {"00:45:02,000", "00:45:04,000", "merged"}}},
        {-2,
         {{"00:00:00,000", "00:00:01,000", "merged"},
          {"00:00:00,000", "00:00:00,000", "no start"},
          {"00:00:00,000", "00:00:00,000", "negative"},
          old}},
    };
    for (const auto& c : cases) {
        refill({old});
        EXPECT_TRUE(MergeBlocks(sub, lines, c.offset));
        EXPECT_EQ(stored(), c.stored) << "offset " << c.offset;
        EXPECT_EQ(sub.rowCount(), 4);
        EXPECT_EQ(sub.currentRow(), 0);  // re-queried
    }
}

TEST_F(ToolsTest, FailureAtOneRecordKeepsTheRecordsBeforeIt) {
    // The walk visits rows in start order; "b" fails, "a" keeps its new time.
    add({{"00:00:01,000", "00:00:02,000", "a"},
         {"00:00:03,000", "00:00:04,000", "b"},
         {"00:00:05,000", "00:00:06,000", "c"}});
    refuse("b", "ABORT");
    EXPECT_THROW(ShiftAll(sub, 10), DatabaseError);
    EXPECT_EQ(stored(), (std::vector<Row>{{"00:00:03,000", "00:00:04,000", "b"},
                                          {"00:00:05,000", "00:00:06,000", "c"},
                                          {"00:00:11,000", "00:00:12,000", "a"}}));
    EXPECT_FALSE(connection.inTransaction());
}

// Many blocks go to the table many rows to a statement; a refused block must still end the load
// at itself, as its own post would: the blocks before it stored, it pending, none after it.
TEST_F(ToolsTest, LongLoadStopsAtTheRefusedBlock) {
    srt::LineList file;
    for (int i = 1; i <= 300; ++i)
        srt::AppendSrtBlock(file, i, SecondsToTimeCode(i), SecondsToTimeCode(i + 0.5),
                            "block " + std::to_string(i));
    const auto aids = [&] {
        store::Dataset check;
        check.setConnection(&connection);
        check.setCommandText("select * from Sub order by aid");
        check.open();
        std::vector<std::int64_t> aids;
        for (int i = 0; i < check.rowCount(); ++i) aids.push_back(check.rowAt(i).aid);
        return aids;
    };
    const struct {
        const char* how;  // refusing "block 200"; none: every block is stored
        int stored;
    } cases[] = {{nullptr, 300}, {"ABORT", 199}, {"FAIL", 199}, {"IGNORE", 199}, {nullptr, 300}};
    std::int64_t given = 0;  // aids are never given twice, whatever was emptied since
    for (const auto& c : cases) {
        if (c.how) refuse("block 200", c.how);
        if (c.how)
            EXPECT_THROW(ImportSrt(sub, file), DatabaseError);
        else
            ImportSrt(sub, file);
        for (const char* event : {"INSERT", "UPDATE"})
            connection.execute(
                std::string("drop trigger if exists \"refuse block 200 ") + event + "\"", "test");
        const std::vector<std::int64_t> stored = aids();
        ASSERT_EQ(stored.size(), static_cast<std::size_t>(c.stored)) << c.how;
        for (int i = 0; i < c.stored; ++i) {
            EXPECT_EQ(stored[static_cast<std::size_t>(i)], given + 1 + i) << c.how;
            EXPECT_EQ(sub.rowAt(i).aid, stored[static_cast<std::size_t>(i)]);
            EXPECT_EQ(sub.rowAt(i).SubText, "block " + std::to_string(i + 1));
        }
        given += c.stored;
        if (c.how) {
            EXPECT_EQ(sub.state(), store::DatasetState::Insert);
            EXPECT_EQ(sub.rowCount(), c.stored + 1);
            EXPECT_EQ(sub.fieldByName("SubText").asString(), "block 200");
            sub.cancel();
        }
    }
}

// A store made by another program, its table without AUTOINCREMENT and no sequence table at all.
TEST_F(ToolsTest, LongMergeIntoAStoreWithoutASequence) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("plain.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "create table Sub (aid INTEGER PRIMARY KEY, STime TEXT, ETime TEXT, "
                           "SubText TEXT, SubSort REAL, SubSortEnd REAL); "
                           "insert into Sub (aid, STime) values (41, 'old')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    sub.close();
    connection.openFile(folder.file("plain.db"));
    sub.open();
    srt::LineList file;
    for (int i = 1; i <= 300; ++i)
        srt::AppendSrtBlock(file, i, SecondsToTimeCode(i), SecondsToTimeCode(i + 1), "b");
    ASSERT_TRUE(MergeBlocks(sub, file, 0));
    std::vector<std::int64_t> shownAids;
    for (int i = 0; i < sub.rowCount(); ++i) shownAids.push_back(sub.rowAt(i).aid);
    sub.reload();  // read from the table
    ASSERT_EQ(sub.rowCount(), 301);
    for (int i = 0; i < 301; ++i) {
        // The row without a start first, then the merged ones after the greatest aid held.
        EXPECT_EQ(sub.rowAt(i).aid, 41 + i);
        EXPECT_EQ(shownAids[static_cast<std::size_t>(i)], 41 + i);
    }
}

TEST_F(ToolsTest, EngineRollbackRereadsTheDataset) {
    const std::vector<Row> rows = {{"00:00:01,000", "00:00:02,000", "a"},
                                   {"00:00:03,000", "00:00:04,000", "b"}};
    add(rows);
    refuse("b", "ROLLBACK");
    refuse("bad", "ROLLBACK");
    EXPECT_THROW(ShiftAll(sub, 10), DatabaseError);
    EXPECT_THROW(WrapAll(sub, "", ""), DatabaseError);
    EXPECT_THROW(MergeBlocks(sub,
                             {"1", "00:00:09,000 --> 00:00:10,000", "ok", "", "2",
                              "00:00:11,000 --> 00:00:12,000", "bad"},
                             0),
                 DatabaseError);
    EXPECT_THROW(ImportSrt(sub, {"1", "00:00:09,000 --> 00:00:10,000", "bad"}), DatabaseError);
    // Nothing of any of them is stored, and the list shows exactly what is.
    EXPECT_EQ(stored(), rows);
    EXPECT_EQ(shown(), rows);
    EXPECT_EQ(sub.state(), store::DatasetState::Browse);
}

// A process killed in the middle of an operation leaves the store as it was before it.
TEST_F(ToolsTest, KilledHalfWayLeavesThePreviousRows) {
    std::vector<Row> rows;
    for (int i = 0; i < 50; ++i)
        rows.push_back({SecondsToTimeCode(i * 2 + 1), SecondsToTimeCode(i * 2 + 2),
                        "row " + std::to_string(i)});
    add(rows);
    const std::vector<Row> before = stored();
    // Long enough that two statements of many rows are written before the kill.
    srt::LineList file;
    for (int i = 0; i < 300; ++i)
        srt::AppendSrtBlock(file, i + 1, "00:00:01,000", "00:00:02,000", "new");
    const struct {
        std::function<void()> operation;
        int killedAt;  // the post
    } cases[] = {
        {[&] { ShiftAll(sub, 5); }, 25},       {[&] { ScaleAll(sub, 0, 1000); }, 25},
        {[&] { WrapAll(sub, "[", "]"); }, 25}, {[&] { MergeBlocks(sub, file, 1); }, 260},
        {[&] { ImportSrt(sub, file); }, 260},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                int posts = 0;
                sub.beforePost = [&](store::Dataset& dataset) {
                    store::DeriveSortKeys(dataset);
                    if (++posts == c.killedAt) _exit(3);  // killed half way
                };
                c.operation();
            },
            ::testing::ExitedWithCode(3), "");
        EXPECT_EQ(stored(), before);
    }
}

}  // namespace
}  // namespace tirelle::tools
