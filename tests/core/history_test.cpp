// The undo history on a real store: every kind of step undone and redone with the rows back byte
// for byte and their aids kept, across a reopen; the bound; the refusal after outside changes.

#define SQLITE_ENABLE_SESSION 1
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "base/timecode.h"
#include "store/changeset.h"
#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"
#include "tests/support/typedrows.h"

namespace tirelle::store {
namespace {

// Every row as typed values, ordered by aid: "i:1|t:00:00:01,000|..." per row.
std::vector<std::string> Snapshot(Connection& connection) {
    Statement rows(connection.handle(), "select * from Sub order by aid", "test");
    std::vector<std::string> result;
    while (rows.step()) {
        std::string line;
        for (int i = 0; i < rows.columnCount(); ++i)
            line += std::to_string(rows.columnType(i)) + ":" + rows.columnBytes(i) + "|";
        result.push_back(line);
    }
    return result;
}

class HistoryTest : public ::testing::Test {
public:
    void SetUp() override {
        open();
        add({{"00:00:01,000", "00:00:02,000", "\xc4\xe3\xba\xc3\r\nline two"},
             {"0:0:3,5", "00:00:04,000", ""},
             {"x", "", "  spaced  "}});
    }

    void open() {
        connection.open(folder.path());
        history.open(connection);
        sub.setConnection(&connection);
        sub.setCommandText(kSelectAllSql);
        sub.setHistory(&history);
        sub.open();
    }

    void reopen() {
        sub.close();
        history.close();
        connection.close();
        open();
    }

    void add(const std::vector<testing::TypedRow>& rows) { testing::AppendRows(sub, rows); }

    // Changes the store behind the program's back, through a connection of its own.
    void outside(const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(connection.path().c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    testing::TempFolder folder;
    Connection connection;
    History history;
    Dataset sub;
};

struct StepCase {
    const char* name;
    const char* label;
    std::function<void(HistoryTest&)> change;
};

const std::vector<StepCase>& StepCases() {
    static const std::vector<StepCase> cases = {
        {"list edit", "修改字幕",
         [](HistoryTest& t) {
             t.sub.first();
             t.sub.next();
             t.sub.edit();
             t.sub.fieldByName("SubText").setAsString("\xb8\xc4\r\nnew");
             t.sub.post();
         }},
        {"new row", "新增字幕",
         [](HistoryTest& t) {
             t.add({{"00:09:00,000", "00:09:01,000", "n"}});
         }},
        {"delete", "删除字幕",
         [](HistoryTest& t) {
             t.sub.last();
             t.sub.remove();
         }},
        {"capture insert", "插入字幕",
         [](HistoryTest& t) {
             t.sub.insert();
             t.sub.fieldByName("STime").setAsString("00:00:02,500");
             t.sub.fieldByName("ETime").setAsString("00:00:02,900");
             t.sub.fieldByName("SubText").setAsString("inserted");
             UndoStep step(t.history, "插入字幕");
             t.sub.post();
             step.commit();
         }},
        {"open replaces the table", "打开字幕文件",
         [](HistoryTest& t) {
             UndoStep step(t.history, "打开字幕文件", Record::WholeTable);
             t.connection.execute(kDeleteAllSql, "test");
             t.sub.requery();
             t.add({{"00:01:00,000", "00:01:02,000", "a"}, {"00:01:03,000", "00:01:04,000", "b"}});
             step.commit();
         }},
        {"tool over every row", "时间平移",
         [](HistoryTest& t) {
             UndoStep step(t.history, "时间平移", Record::WholeTable);
             t.connection.execute(
                 "update Sub set STime = STime || '+', SubSort = SubSort + 5.5, SubText = null",
                 "test");
             step.commit();
         }},
        {"open of a long file, its rows written many to a statement", "打开字幕文件",
         [](HistoryTest& t) {
             UndoStep step(t.history, "打开字幕文件", Record::WholeTable);
             t.connection.execute(kDeleteAllSql, "test");
             t.sub.requery();
             BatchedAppends batch(t.sub);
             for (int i = 0; i < 300; ++i)
                 t.add({{"00:02:" + std::to_string(10 + i % 50) + ",000", "00:03:00,000",
                         "block " + std::to_string(i)}});
             // Waiting to be written together: no aid yet.
             EXPECT_TRUE(t.sub.rowAt(t.sub.rowCount() - 1).isNull(Column::Aid));
             batch.finish();
             step.commit();
         }},
        {"new times of several rows at once", "对齐语音",
         [](HistoryTest& t) {
             const std::vector<TimesChange> changes = {{0, "00:00:00,900", "00:00:02,100"},
                                                       {2, "00:00:07,000", "00:00:08,000"}};
             t.sub.changeTimes(changes, &t.history, "对齐语音");
         }},
    };
    return cases;
}

TEST_F(HistoryTest, EveryKindOfStepIsUndoneAndRedoneByteForByteAlsoAfterAReopen) {
    for (const StepCase& c : StepCases()) {
        SCOPED_TRACE(c.name);
        const auto before = Snapshot(connection);
        c.change(*this);
        const auto after = Snapshot(connection);
        ASSERT_NE(after, before);
        EXPECT_EQ(history.undoLabel(), c.label);

        EXPECT_EQ(history.undo().label, c.label);
        EXPECT_EQ(Snapshot(connection), before);
        EXPECT_EQ(history.redoLabel(), c.label);
        EXPECT_EQ(history.redo().label, c.label);
        EXPECT_EQ(Snapshot(connection), after);

        EXPECT_EQ(history.undo().label, c.label);
        reopen();
        EXPECT_EQ(Snapshot(connection), before);
        EXPECT_EQ(history.redoLabel(), c.label);
        history.redo();
        EXPECT_EQ(Snapshot(connection), after);
        sub.requery();
    }
    EXPECT_EQ(history.stepCount(), 3 + static_cast<int>(StepCases().size()));
}

TEST_F(HistoryTest, AnUndoneRowsAidIsNotHandedOutAgain) {
    add({{"00:05:00,000", "00:05:01,000", "later"}});
    sub.last();
    const std::int64_t undoneAid = sub.fieldByName("aid").asInteger();
    history.undo();
    sub.requery();
    add({{"00:05:00,000", "00:05:01,000", "again"}});
    sub.last();
    EXPECT_GT(sub.fieldByName("aid").asInteger(), undoneAid);
    EXPECT_FALSE(history.canRedo());  // the new step dropped the undone one
}

TEST_F(HistoryTest, UndoOfAStepWhoseRowsChangedOutsideIsRefusedAndChangesNothing) {
    struct Case {
        const char* name;
        std::size_t step;  // index into StepCases
        const char* outsideChange;
    };
    const Case cases[] = {
        {"edited row changed", 0,
         "update Sub set SubText = 'theirs' where SubText = cast(x'b8c40d0a6e6577' as text)"},
        {"new row deleted", 1, "delete from Sub where SubText = 'n'"},
        {"whole table, any row changed", 5, "update Sub set ETime = 'theirs' where aid = 1"},
        {"whole table, a row added", 4, "insert into Sub (STime) values ('theirs')"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StepCases()[c.step].change(*this);
        outside(c.outsideChange);
        const auto changed = Snapshot(connection);
        const int steps = history.stepCount();
        EXPECT_THROW(history.undo(), HistoryConflict);
        EXPECT_EQ(Snapshot(connection), changed);
        EXPECT_EQ(history.stepCount(), steps);
        EXPECT_EQ(history.undoLabel(), StepCases()[c.step].label);
        sub.requery();
    }
}

TEST_F(HistoryTest, ADamagedStepIsRefusedChangesNothingAndLeavesTheHistory) {
    struct Case {
        const char* name;
        std::size_t step;  // index into StepCases
        bool undoFirst;    // damage the step once undone, then redo it
        std::string damage;
    };
    const std::string newest = " where step = (select max(step) from SubHistory)";
    const std::string newestRow =
        " where rowid = (select lastRow from SubHistory" + newest + ")";
    const Case cases[] = {
        {"rows out of range", 4, false,
         "update SubHistory set firstRow = 900000000, lastRow = 900000005" + newest},
        {"a row of the copy gone", 5, false, "delete from SubHistoryRows" + newestRow},
        {"a row of the copy changed", 6, false,
         "update SubHistoryRows set SubText = 'x'" + newestRow},
        {"random blob", 0, false, "update SubHistory set changes = randomblob(300000)" + newest},
        {"short garbage changeset", 1, false,
         "update SubHistory set changes = x'12345678abcdef'" + newest},
        {"garbage changeset to redo", 2, true,
         "update SubHistory set changes = x'5400010000'" + newest},
        {"rows out of range to redo", 5, true,
         "update SubHistory set firstRow = -7, lastRow = -2" + newest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StepCases()[c.step].change(*this);
        if (c.undoFirst) history.undo();
        outside(c.damage.c_str());
        const auto kept = Snapshot(connection);
        const int steps = history.stepCount();
        try {
            c.undoFirst ? history.redo() : history.undo();
            ADD_FAILURE() << "the damaged step was taken";
        } catch (const HistoryDamaged& refused) {
            EXPECT_NE(std::string(refused.what()).find("历史记录已损坏"), std::string::npos);
        }
        EXPECT_EQ(Snapshot(connection), kept);
        EXPECT_LT(history.stepCount(), steps);
        EXPECT_FALSE(c.undoFirst ? history.canRedo() : history.canUndo());
        // The user goes on: a new step is undone as usual.
        sub.requery();
        StepCases()[1].change(*this);
        EXPECT_EQ(history.undo().label, StepCases()[1].label);
        EXPECT_EQ(Snapshot(connection), kept);
        sub.requery();
    }
}

TEST_F(HistoryTest, OldestStepsGoPastTheLimitOfStepsOrBytes) {
    history.setLimits({3, std::int64_t{1} << 30});
    for (int i = 0; i < 5; ++i) add({{"00:00:0" + std::to_string(i) + ",000", "", "r"}});
    EXPECT_EQ(history.stepCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(history.undo().label, "新增字幕");
    EXPECT_FALSE(history.canUndo());
    EXPECT_EQ(history.undo().label, "");
    EXPECT_EQ(Snapshot(connection).size(), 5u);  // the two oldest additions stay

    // A byte limit below one whole-table step: only the newest step is kept.
    history.setLimits({100, 10});
    StepCases()[5].change(*this);
    EXPECT_EQ(history.stepCount(), 1);
    StepCases()[5].change(*this);
    EXPECT_EQ(history.stepCount(), 1);
    Statement kept(connection.handle(), "select count(*) from SubHistoryRows", "test");
    kept.step();
    EXPECT_EQ(kept.columnInt64(0), 5);  // one copy of the five rows, the older one is gone
}

TEST_F(HistoryTest, AStepNotCommittedLeavesNeitherItsChangesNorAStep) {
    const auto before = Snapshot(connection);
    const int steps = history.stepCount();
    for (Record record : {Record::Changes, Record::WholeTable}) {
        UndoStep step(history, "时间平移", record);
        connection.execute("update Sub set STime = 'gone'", "test");
    }
    EXPECT_EQ(Snapshot(connection), before);
    EXPECT_EQ(history.stepCount(), steps);
    EXPECT_FALSE(connection.inTransaction());
}

}  // namespace
}  // namespace tirelle::store

namespace tirelle::store {
namespace {

// The row of the dataset holding `aid`.
int RowOf(const Dataset& sub, std::int64_t aid) {
    for (int row = 0; row < sub.rowCount(); ++row)
        if (sub.rowAt(row).aid == aid) return row;
    return -1;
}

// Another program's change, to a row the new times move or to one they leave, is kept apart
// from the step: the undo brings back what the table held, theirs included.
TEST_F(HistoryTest, NewTimesOverRowsChangedOutsideAreUndoneToWhatTheTableHeld) {
    const struct {
        const char* theirs;
        const char* end;  // of the moved rows, new each time
    } cases[] = {{"update Sub set STime = 'theirs', SubSort = 7 where aid = 1", "00:00:09,500"},
                 {"update Sub set SubText = 'theirs' where aid = 3", "00:00:09,700"}};
    for (const auto& [theirs, end] : cases) {
        SCOPED_TRACE(theirs);
        outside(theirs);  // not read again
        const auto before = Snapshot(connection);
        const std::vector<TimesChange> changes = {{RowOf(sub, 2), "00:00:05,000", end},
                                                  {RowOf(sub, 1), "00:00:09,000", end}};
        sub.changeTimes(changes, &history, "对齐语音");
        const auto after = Snapshot(connection);
        history.undo();
        EXPECT_EQ(Snapshot(connection), before);
        history.redo();
        EXPECT_EQ(Snapshot(connection), after);
        sub.reload();
    }
}

TEST_F(HistoryTest, NewTimesForARowDeletedOutsideChangeNothing) {
    const std::vector<TimesChange> changes = {{RowOf(sub, 1), "00:00:05,000", "00:00:06,000"},
                                              {RowOf(sub, 2), "00:00:09,000", "00:00:09,500"}};
    outside("delete from Sub where aid = 2");
    const auto before = Snapshot(connection);
    const std::string shown = sub.rowAt(RowOf(sub, 1)).STime;
    EXPECT_THROW(sub.changeTimes(changes, &history, "对齐语音"), DatabaseError);
    EXPECT_EQ(Snapshot(connection), before);
    EXPECT_EQ(sub.rowAt(RowOf(sub, 1)).STime, shown);
    EXPECT_EQ(history.stepCount(), 3);
}

// Moving most starts writes the table without its indexes for a while: they must come back
// as they were, a store's own index among them, and the change must undo whole.
TEST_F(HistoryTest, NewTimesOfMostRowsKeepEveryIndex) {
    connection.execute("create index \"Their \"\"End\"\" Index\" on Sub (SubSortEnd)", "test");
    const auto indexes = [&] {
        Statement list(connection.handle(),
                       "select name || ':' || sql from sqlite_master where type = 'index' "
                       "order by name", "test");
        std::vector<std::string> all;
        while (list.step()) all.emplace_back(list.columnBytes(0));
        return all;
    };
    const auto before = indexes();
    std::vector<testing::TypedRow> rows;
    for (int i = 0; i < 1500; ++i)
        rows.push_back({SecondsToTimeCode(10.0 + i), SecondsToTimeCode(10.5 + i), "x"});
    add(rows);
    const auto stored = Snapshot(connection);
    std::vector<TimesChange> changes;
    for (int row = 0; row < sub.rowCount(); ++row)
        changes.push_back({row, SecondsToTimeCode(3000.0 - row), SecondsToTimeCode(3009.0 - row)});
    sub.changeTimes(changes, &history, "对齐语音");
    EXPECT_EQ(indexes(), before);
    Statement check(connection.handle(), "pragma integrity_check", "test");
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.columnBytes(0), "ok");
    Statement bound(connection.handle(), "select MaxSpan from SubSpan", "test");
    ASSERT_TRUE(bound.step());
    EXPECT_GE(bound.columnDouble(0), 9.0);
    history.undo();
    EXPECT_EQ(Snapshot(connection), stored);
}

// A change whose record is built from the values in hand must read as the session's own record.
TEST_F(HistoryTest, NewTimesAreRecordedAsTheSessionRecordsThem) {
    struct Case {
        const char* name;
        const char* oldValues;  // for the row of aid 1
        TimesChange change;
    };
    const std::string longTime(300, '9');  // a length that takes two bytes to write
    const Case cases[] = {
        {"both times", "STime = '00:00:01,000', ETime = '00:00:02,000'",
         {0, "00:00:01,500", "00:00:02,500"}},
        {"the end only, from NULL", "STime = '00:00:01,000', ETime = null",
         {0, "00:00:01,000", "00:00:03,000"}},
        {"a long text", "STime = '00:00:01,000', ETime = '00:00:02,000'",
         {0, longTime, "00:00:02,000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        connection.execute(std::string("update Sub set ") + c.oldValues +
                               ", SubSort = 1, SubSortEnd = 2 where aid = 1", "test");
        sub.reload();
        SubRecord before = sub.rowAt(RowOf(sub, 1));
        SubRecord after = before;
        after.STime = c.change.STime;
        after.ETime = c.change.ETime;
        after.SubSort = TimeToSeconds(after.STime);
        after.SubSortEnd = TimeToSeconds(after.ETime);
        after.nulls = 0;
        SubChangeset ours;
        ours.update(before, after,
                    (1u << static_cast<unsigned>(Column::STime)) |
                        (1u << static_cast<unsigned>(Column::ETime)) |
                        (1u << static_cast<unsigned>(Column::SubSort)) |
                        (1u << static_cast<unsigned>(Column::SubSortEnd)));

        sqlite3_session* session = nullptr;
        ASSERT_EQ(sqlite3session_create(connection.handle(), "main", &session), SQLITE_OK);
        ASSERT_EQ(sqlite3session_attach(session, "Sub"), SQLITE_OK);
        Statement update(connection.handle(),
                         "update Sub set STime = ?1, ETime = ?2, SubSort = ?3, SubSortEnd = ?4 "
                         "where aid = 1", "test");
        update.bindText(1, after.STime);
        update.bindText(2, after.ETime);
        update.bindDouble(3, after.SubSort);
        update.bindDouble(4, after.SubSortEnd);
        update.step();
        int size = 0;
        void* data = nullptr;
        ASSERT_EQ(sqlite3session_changeset(session, &size, &data), SQLITE_OK);
        const std::string theirs(static_cast<const char*>(data), static_cast<std::size_t>(size));
        sqlite3_free(data);
        sqlite3session_delete(session);
        EXPECT_EQ(ours.bytes(), theirs);
    }
}

}  // namespace
}  // namespace tirelle::store
