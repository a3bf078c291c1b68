// The working dataset: cursor and end flags, completing pending edits, insert, append, cancel,
// delete, locate, requery, the list's update counter and the derivation before each post.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/errors.h"
#include "store/scratchquery.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"

namespace tirelle::store {
namespace {

struct Row {
    std::string start;
    std::string end;
    std::string text;
};

// Counts every notification by kind.
class RecordingObserver : public DatasetObserver {
public:
    void datasetChanged() override { ++changed; }
    void currentChanged(bool centre) override { (centre ? centred : moved)++; }
    void rowChanged(int row) override { rows.push_back(row); }
    void stateChanged() override { ++states; }
    int total() const { return changed + moved + centred + states + static_cast<int>(rows.size()); }

    int changed = 0;
    int moved = 0;
    int centred = 0;
    int states = 0;
    std::vector<int> rows;
};

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        connection.open(folder.path());
        sub.setConnection(&connection);
        sub.setCommandText(kSelectAllSql);
        sub.open();
    }

    void add(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            sub.append();
            sub.fieldByName("STime").setAsString(row.start);
            sub.fieldByName("ETime").setAsString(row.end);
            sub.fieldByName("SubText").setAsString(row.text);
            sub.post();
        }
        sub.requery();
    }

    // Five rows, one second apart, texts "r0" .. "r4".
    void addFive() {
        std::vector<Row> rows;
        for (int i = 0; i < 5; ++i)
            rows.push_back({"00:00:0" + std::to_string(i + 1) + ",000",
                            "00:00:0" + std::to_string(i + 1) + ",500", "r" + std::to_string(i)});
        add(rows);
    }

    std::string text() { return sub.fieldByName("SubText").asString(); }

    // The texts the table holds, read apart from the working dataset.
    std::vector<std::string> storedTexts() {
        ScratchQuery query;
        query.setConnection(&connection);
        query.setCommandText("select SubText from Sub order by SubSort, aid");
        query.open();
        std::vector<std::string> texts;
        for (query.first(); !query.eof(); query.next())
            texts.push_back(query.fieldByName("SubText").asString());
        return texts;
    }

    testing::TempFolder folder;
    Connection connection;
    Dataset sub;
};

struct Position {
    int row;
    bool eof;
    bool bof;
    bool operator==(const Position&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Position& p) {
    return out << "{row " << p.row << ", eof " << p.eof << ", bof " << p.bof << "}";
}

Position Where(const Dataset& d) {
    return {d.currentRow(), d.eof(), d.bof()};
}

// Moves: f first, l last, n next, p prior, +k / -k moveBy.
void ApplyMoves(Dataset& d, const std::vector<std::string>& moves) {
    for (const std::string& m : moves) {
        if (m == "f")
            d.first();
        else if (m == "l")
            d.last();
        else if (m == "n")
            d.next();
        else if (m == "p")
            d.prior();
        else
            d.moveBy(std::stoi(m));
    }
}

struct MoveCase {
    int rows;
    std::vector<std::string> moves;
    Position expected;
};

TEST_F(StoreTest, CursorAndFlagsFollowTheMoves) {
    const std::vector<MoveCase> cases = {
        {0, {}, {-1, true, true}},
        {0, {"f"}, {-1, true, true}},
        {0, {"l"}, {-1, true, true}},
        {0, {"n", "p", "+3", "-3"}, {-1, true, true}},
        {1, {}, {0, false, true}},
        {1, {"n"}, {0, true, false}},
        {1, {"n", "p"}, {0, false, true}},
        {1, {"l"}, {0, true, false}},
        {1, {"l", "p"}, {0, false, true}},
        {5, {}, {0, false, true}},
        {5, {"n"}, {1, false, false}},
        {5, {"n", "p"}, {0, false, false}},
        {5, {"n", "p", "p"}, {0, false, true}},
        {5, {"p"}, {0, false, true}},
        {5, {"l"}, {4, true, false}},
        {5, {"l", "n"}, {4, true, false}},
        {5, {"l", "p"}, {3, false, false}},
        {5, {"l", "n", "p"}, {3, false, false}},
        {5, {"+3", "n"}, {4, false, false}},
        {5, {"+3", "n", "n"}, {4, true, false}},
        {5, {"+3", "n", "n", "p"}, {3, false, false}},
        {5, {"+2"}, {2, false, false}},
        {5, {"+10"}, {4, true, false}},
        {5, {"n", "-10"}, {0, false, true}},
        {5, {"-10"}, {0, false, true}},
        {5, {"l", "+0"}, {4, true, false}},
        {5, {"l", "f"}, {0, false, true}},
    };
    for (const MoveCase& c : cases) {
        testing::TempFolder other;
        Connection db;
        db.open(other.path());
        Dataset d;
        d.setConnection(&db);
        d.setCommandText(kSelectAllSql);
        d.open();
        for (int i = 0; i < c.rows; ++i) {
            d.append();
            d.fieldByName("STime").setAsString("00:00:0" + std::to_string(i + 1) + ",000");
            d.post();
        }
        d.requery();
        ApplyMoves(d, c.moves);
        std::string moves;
        for (const std::string& m : c.moves) moves += m + " ";
        EXPECT_EQ(c.expected, Where(d)) << c.rows << " rows, moves: " << moves;
    }
}

TEST_F(StoreTest, MoveByReportsTheRowsMoved) {
    addFive();
    EXPECT_EQ(3, sub.moveBy(3));
    EXPECT_EQ(1, sub.moveBy(5));
    EXPECT_EQ(0, sub.moveBy(1));
    EXPECT_EQ(-4, sub.moveBy(-9));
    EXPECT_EQ(0, sub.moveBy(-1));
}

TEST_F(StoreTest, WalkVisitsEveryRowOnceAndEndsOnTheLast) {
    addFive();
    std::vector<std::string> seen;
    for (sub.first(); !sub.eof(); sub.next()) seen.push_back(text());
    EXPECT_EQ((std::vector<std::string>{"r0", "r1", "r2", "r3", "r4"}), seen);
    EXPECT_EQ(4, sub.currentRow());

    // A walk started with last does nothing: the end flag is already set.
    sub.last();
    int visited = 0;
    while (!sub.eof()) {
        ++visited;
        sub.next();
    }
    EXPECT_EQ(0, visited);
}

TEST_F(StoreTest, EditingStartTimesDuringAWalkKeepsTheOrderUntilRequery) {
    addFive();
    std::vector<std::string> seen;
    for (sub.first(); !sub.eof(); sub.next()) {
        seen.push_back(text());
        sub.edit();
        sub.fieldByName("STime").setAsString("00:00:00,000");  // every row to the front
        sub.post();
    }
    EXPECT_EQ(5u, seen.size());
    EXPECT_EQ("r4", seen.back());
}

TEST_F(StoreTest, RequeryOrdersBySubSortWithUnreadableStartsFirst) {
    add({{"00:01:00,000", "", "minute"},
         {"not a time", "", "letters"},
         {"00:00:05,100", "", "five"},
         {"", "", "empty"},
         {"00:00:05,000", "", "almost five"}});
    EXPECT_EQ(Position({0, false, true}), Where(sub));
    std::vector<std::string> order;
    for (sub.first(); !sub.eof(); sub.next()) order.push_back(text());
    ASSERT_EQ(5u, order.size());
    // The two starts that read as 0 come first, in either order.
    EXPECT_EQ((std::vector<std::string>{"almost five", "five", "minute"}),
              std::vector<std::string>(order.begin() + 2, order.end()));
}

struct DerivationCase {
    std::string start;
    std::string end;
    double sort;
    double sortEnd;
};

TEST_F(StoreTest, EveryPostDerivesTheSecondsFromTheTimeTexts) {
    const std::vector<DerivationCase> cases = {
        {"00:00:05,1", "00:00:07,25", 5.1, 7.25},
        {"01:00:00,000", "01:00:01,000", 3600, 3601},
        {"abc", "xyz", 0, 0},
        {"", "", 0, 0},
        {"00:05", "12", 0, 0},
    };
    for (const DerivationCase& c : cases) {
        sub.append();
        sub.fieldByName("STime").setAsString(c.start);
        sub.fieldByName("ETime").setAsString(c.end);
        sub.fieldByName("SubSort").setAsFloat(999);  // replaced by the derivation
        sub.post();
        EXPECT_EQ(c.sort, sub.fieldByName("SubSort").asFloat()) << c.start;
        EXPECT_EQ(c.sortEnd, sub.fieldByName("SubSortEnd").asFloat()) << c.end;

        // An edit posted by a cursor move derives the seconds as well.
        sub.edit();
        sub.fieldByName("STime").setAsString("00:00:09,5");
        sub.moveBy(0);
        EXPECT_EQ(9.5, sub.fieldByName("SubSort").asFloat()) << c.start;
    }
    // And the stored values are the derived ones.
    ScratchQuery check;
    check.setConnection(&connection);
    check.setCommandText("select count(*) from Sub where SubSort = 9.5");
    check.open();
    EXPECT_EQ(static_cast<int>(cases.size()), check.field(0).asInteger());
}

TEST_F(StoreTest, BeforePostHookRunsOnEveryPostAndCanBeReplaced) {
    int calls = 0;
    sub.beforePost = [&](Dataset& d) {
        ++calls;
        DeriveSortKeys(d);
    };
    sub.append();
    sub.fieldByName("STime").setAsString("00:00:01,000");
    sub.post();  // explicit
    sub.edit();
    sub.fieldByName("ETime").setAsString("00:00:02,000");
    sub.first();  // implicit
    sub.insert();
    sub.post();  // explicit post of an untouched row
    EXPECT_EQ(3, calls);
}

// Each cursor move, locate, requery and the start of an insert or append completes a pending
// edit: a changed row is posted, an untouched new row is dropped.
struct CompletionCase {
    const char* name;
    std::function<void(Dataset&)> move;
};

const std::vector<CompletionCase> kCompletingMoves = {
    {"first", [](Dataset& d) { d.first(); }},
    {"last", [](Dataset& d) { d.last(); }},
    {"next", [](Dataset& d) { d.next(); }},
    {"prior", [](Dataset& d) { d.prior(); }},
    {"moveBy 0", [](Dataset& d) { d.moveBy(0); }},
    {"locate", [](Dataset& d) { d.locate("SubText", std::string("r0")); }},
    {"failed locate", [](Dataset& d) { d.locate("SubText", std::string("none")); }},
    {"requery", [](Dataset& d) { d.requery(); }},
    {"insert", [](Dataset& d) { d.insert(); }},
    {"append", [](Dataset& d) { d.append(); }},
    {"gotoBookmark", [](Dataset& d) { d.gotoBookmark(d.bookmark()); }},
};

TEST_F(StoreTest, CursorMovesPostAChangedRow) {
    addFive();
    for (const CompletionCase& c : kCompletingMoves) {
        sub.locate("SubText", std::string("r2"));
        sub.edit();
        sub.fieldByName("SubText").setAsString(std::string("changed by ") + c.name);
        c.move(sub);
        if (sub.state() == DatasetState::Insert) sub.cancel();
        EXPECT_EQ(DatasetState::Browse, sub.state()) << c.name;
        EXPECT_EQ(std::string("changed by ") + c.name, storedTexts()[2]) << c.name;
        sub.locate("SubText", std::string("changed by ") + c.name);
        sub.edit();
        sub.fieldByName("SubText").setAsString("r2");
        sub.post();
    }
}

TEST_F(StoreTest, CursorMovesDropAnUntouchedNewRow) {
    addFive();
    for (const CompletionCase& c : kCompletingMoves) {
        sub.locate("SubText", std::string("r2"));
        sub.insert();
        ASSERT_EQ(6, sub.rowCount());
        c.move(sub);
        if (sub.state() == DatasetState::Insert) sub.cancel();  // the new row of insert/append
        EXPECT_EQ(5, sub.recordCount()) << c.name;
        EXPECT_EQ(5, sub.rowCount()) << c.name;
        EXPECT_EQ(5u, storedTexts().size()) << c.name;
    }
}

TEST_F(StoreTest, ExplicitPostStoresAnEmptyNewRow) {
    addFive();
    sub.insert();
    sub.post();
    EXPECT_EQ(DatasetState::Browse, sub.state());
    EXPECT_EQ(6, sub.recordCount());
    EXPECT_FALSE(sub.fieldByName("aid").isNull());
    EXPECT_EQ("", sub.fieldByName("STime").asString());
    EXPECT_EQ(0, sub.fieldByName("SubSort").asFloat());
    EXPECT_EQ(0, sub.fieldByName("SubSortEnd").asFloat());
    EXPECT_FALSE(sub.eof());
    sub.requery();
    EXPECT_EQ("", text());  // SubSort 0 sorts first
    EXPECT_EQ(6u, storedTexts().size());
}

TEST_F(StoreTest, InsertStartsANewRowAtTheCurrentPosition) {
    addFive();
    sub.moveBy(2);
    const std::int32_t aidOfR2 = sub.fieldByName("aid").asInteger();
    sub.insert();
    EXPECT_EQ(DatasetState::Insert, sub.state());
    EXPECT_EQ(2, sub.currentRow());
    EXPECT_EQ(2, sub.insertRow());
    EXPECT_EQ(6, sub.rowCount());
    EXPECT_EQ(5, sub.recordCount());
    EXPECT_EQ("r2", sub.rowAt(3).SubText);
    EXPECT_TRUE(sub.fieldByName("aid").isNull());

    sub.fieldByName("SubText").setAsString("new");
    EXPECT_EQ("new", sub.rowAt(2).SubText);
    sub.post();
    EXPECT_EQ(2, sub.currentRow());
    EXPECT_EQ("new", text());
    EXPECT_NE(aidOfR2, sub.fieldByName("aid").asInteger());
    sub.next();
    EXPECT_EQ("r2", text());
}

TEST_F(StoreTest, CancelRestoresTheRowCurrentBeforeInsertOrAppend) {
    addFive();
    sub.moveBy(2);
    sub.insert();
    sub.fieldByName("SubText").setAsString("typed");
    sub.cancel();
    EXPECT_EQ(Position({2, false, false}), Where(sub));
    EXPECT_EQ("r2", text());
    EXPECT_EQ(5, sub.rowCount());

    sub.last();
    sub.append();
    EXPECT_EQ(5, sub.currentRow());
    sub.cancel();
    EXPECT_EQ(Position({4, true, false}), Where(sub));

    sub.first();
    sub.edit();
    sub.fieldByName("SubText").setAsString("typed");
    sub.cancel();
    EXPECT_EQ("r0", text());
    EXPECT_EQ("r0", storedTexts()[0]);
}

TEST_F(StoreTest, AppendOnAnEmptyDatasetAndCancelLeavesItEmpty) {
    sub.append();
    EXPECT_FALSE(sub.isEmpty());
    EXPECT_EQ(0, sub.recordCount());
    sub.cancel();
    EXPECT_TRUE(sub.isEmpty());
    EXPECT_EQ(Position({-1, true, true}), Where(sub));
    sub.edit();  // on an empty dataset edit starts an insert
    EXPECT_EQ(DatasetState::Insert, sub.state());
}

TEST_F(StoreTest, DeleteMovesToTheFollowingRowOrTheNewLast) {
    addFive();
    sub.moveBy(1);
    sub.remove();
    EXPECT_EQ(Position({1, false, false}), Where(sub));
    EXPECT_EQ("r2", text());

    sub.last();
    sub.remove();
    EXPECT_EQ(Position({2, false, false}), Where(sub));
    EXPECT_EQ("r3", text());
    EXPECT_EQ((std::vector<std::string>{"r0", "r2", "r3"}), storedTexts());

    // A row being edited is deleted without storing the change.
    sub.edit();
    sub.fieldByName("SubText").setAsString("lost");
    sub.remove();
    EXPECT_EQ(DatasetState::Browse, sub.state());
    EXPECT_EQ((std::vector<std::string>{"r0", "r2"}), storedTexts());

    // A new row is only discarded.
    sub.insert();
    sub.remove();
    EXPECT_EQ(2, sub.recordCount());
    EXPECT_EQ("r2", text());
}

TEST_F(StoreTest, DeletingTheOnlyRowLeavesTheDatasetEmpty) {
    add({{"00:00:01,000", "00:00:02,000", "only"}});
    sub.remove();
    EXPECT_TRUE(sub.isEmpty());
    EXPECT_EQ(Position({-1, true, true}), Where(sub));
    EXPECT_TRUE(storedTexts().empty());
    try {
        sub.remove();
        FAIL() << "delete on an empty dataset";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ("Sub: Cannot perform this operation on an empty dataset", e.what());
    }
}

struct LocateCase {
    const char* column;
    FieldValue value;
    std::string found;  // text of the row found, "" for a miss
};

TEST_F(StoreTest, LocateFindsExactValuesAndLeavesTheCursorOnAMiss) {
    add({{"00:00:01,000", "00:00:02,000", "a"},
         {"00:00:03,000", "00:00:04,000", "b"},
         {"00:00:05,000", "00:00:06,000", "c"}});
    sub.last();
    const std::int64_t aidOfB = sub.rowAt(1).aid;
    const std::vector<LocateCase> cases = {
        {"STime", std::string("00:00:03,000"), "b"},
        {"stime", std::string("00:00:05,000"), "c"},
        {"SubSort", 1.0, "a"},
        {"SubSortEnd", 6.0, "c"},
        {"aid", aidOfB, "b"},
        {"SubText", std::string("b"), "b"},
        {"STime", std::string("00:00:03,000 "), ""},  // bytes must match exactly
        {"STime", std::string("00:00:03"), ""},
        {"SubSort", 3.0000001, ""},
        {"aid", std::int64_t{999999}, ""},
        {"NoSuchColumn", std::string("a"), ""},
    };
    for (const LocateCase& c : cases) {
        sub.last();  // end flag set: a miss keeps it, a hit clears it
        RecordingObserver observer;
        sub.addObserver(&observer);
        const bool hit = sub.locate(c.column, c.value);
        sub.removeObserver(&observer);
        EXPECT_EQ(!c.found.empty(), hit) << c.column;
        if (hit) {
            EXPECT_EQ(c.found, text()) << c.column;
            EXPECT_FALSE(sub.eof()) << c.column;
            EXPECT_EQ(1, observer.centred) << c.column;
        } else {
            EXPECT_EQ(Position({2, true, false}), Where(sub)) << c.column;
            EXPECT_EQ(0, observer.total()) << c.column;
        }
    }
}

TEST_F(StoreTest, LocateAmongEqualKeysFindsTheRowNearestTheCursor) {
    add({{"00:00:01,000", "", "a"},
         {"00:00:02,000", "", "x"},
         {"00:00:03,000", "", "b"},
         {"00:00:04,000", "", "c"},
         {"00:00:05,000", "", "x"},
         {"00:00:06,000", "", "d"}});
    sub.first();
    ASSERT_TRUE(sub.locate("SubText", std::string("x")));
    EXPECT_EQ(1, sub.currentRow());
    sub.last();
    ASSERT_TRUE(sub.locate("SubText", std::string("x")));
    EXPECT_EQ(4, sub.currentRow());
    sub.moveBy(-2);  // on "b": the "x" above is nearer
    ASSERT_TRUE(sub.locate("SubText", std::string("x")));
    EXPECT_EQ(1, sub.currentRow());
}

TEST_F(StoreTest, SuspendedUpdatesNestAndNotifyOnceWhenResumed) {
    addFive();
    RecordingObserver observer;
    sub.addObserver(&observer);
    sub.disableControls();
    sub.disableControls();
    sub.next();
    sub.edit();
    sub.fieldByName("SubText").setAsString("x");
    sub.post();
    sub.requery();
    sub.enableControls();
    EXPECT_TRUE(sub.controlsDisabled());
    EXPECT_EQ(0, observer.total());
    sub.enableControls();
    EXPECT_FALSE(sub.controlsDisabled());
    EXPECT_EQ(1, observer.changed);
    EXPECT_EQ(1, observer.total());
    sub.enableControls();  // one too many: ignored
    EXPECT_EQ(1, observer.total());
    sub.removeObserver(&observer);
}

TEST_F(StoreTest, ObserversHearMovesValuesStatesAndStructure) {
    addFive();
    RecordingObserver o;
    sub.addObserver(&o);
    sub.next();
    EXPECT_EQ(1, o.moved);
    sub.edit();
    EXPECT_EQ(1, o.states);
    sub.fieldByName("SubText").setAsString("x");
    EXPECT_EQ(std::vector<int>{1}, o.rows);
    sub.post();  // derivation sets two more values, the post itself one
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1}), o.rows);
    EXPECT_EQ(2, o.states);
    sub.requery();
    EXPECT_EQ(1, o.changed);
    sub.append();
    EXPECT_EQ(2, o.changed);
    sub.cancel();
    EXPECT_EQ(3, o.changed);
    sub.remove();
    EXPECT_EQ(4, o.changed);
    sub.removeObserver(&o);
}

TEST_F(StoreTest, BookmarkReturnsToTheSameRow) {
    addFive();
    sub.moveBy(4);
    const Bookmark mark = sub.bookmark();
    sub.next();  // on the last row: sets the end flag
    EXPECT_TRUE(sub.eof());
    sub.gotoBookmark(mark);
    EXPECT_EQ(Position({4, false, false}), Where(sub));

    // After a row is inserted before it, the bookmark follows the row.
    sub.first();
    sub.insert();
    sub.fieldByName("SubText").setAsString("front");
    sub.post();
    sub.gotoBookmark(mark);
    EXPECT_EQ("r4", text());
}

TEST_F(StoreTest, FieldNamesAndStateErrors) {
    addFive();
    struct ErrorCase {
        const char* name;
        std::function<void()> action;
        std::string message;
    };
    const std::vector<ErrorCase> cases = {
        {"unknown field", [&] { sub.fieldByName("Nope"); }, "Sub: Field 'Nope' not found"},
        {"set in browse", [&] { sub.fieldByName("STime").setAsString("x"); },
         "Sub: Dataset not in edit or insert mode"},
        {"set aid",
         [&] {
             sub.edit();
             sub.fieldByName("aid").setAsFloat(3);
         },
         "Sub: Field 'aid' cannot be modified"},
        {"number from text",
         [&] {
             sub.edit();
             sub.fieldByName("SubSort").setAsString("five");
         },
         "'five' is not a valid floating point value"},
    };
    for (const ErrorCase& c : cases) {
        try {
            c.action();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const Error& e) {
            EXPECT_EQ(c.message, e.what()) << c.name;
        }
        sub.cancel();
    }
    EXPECT_EQ(sub.fieldByName("STime").asString(), sub.fieldByName("stime").asString());
    EXPECT_EQ(Column::SubSortEnd, sub.fieldByName("SUBSORTEND").column());
}

TEST_F(StoreTest, AClosedDatasetRefusesEveryOperation) {
    addFive();
    sub.close();
    EXPECT_TRUE(sub.isEmpty());
    EXPECT_TRUE(sub.eof());
    EXPECT_FALSE(sub.active());
    EXPECT_EQ(DatasetState::Inactive, sub.state());
    const std::vector<std::pair<const char*, std::function<void()>>> operations = {
        {"first", [&] { sub.first(); }},
        {"last", [&] { sub.last(); }},
        {"next", [&] { sub.next(); }},
        {"prior", [&] { sub.prior(); }},
        {"moveBy", [&] { sub.moveBy(1); }},
        {"requery", [&] { sub.requery(); }},
        {"edit", [&] { sub.edit(); }},
        {"insert", [&] { sub.insert(); }},
        {"append", [&] { sub.append(); }},
        {"post", [&] { sub.post(); }},
        {"cancel", [&] { sub.cancel(); }},
        {"remove", [&] { sub.remove(); }},
        {"locate", [&] { sub.locate("aid", std::int64_t{1}); }},
        {"fieldByName", [&] { sub.fieldByName("STime"); }},
        {"recordCount", [&] { sub.recordCount(); }},
    };
    for (const auto& [name, operation] : operations) {
        try {
            operation();
            ADD_FAILURE() << name << ": no error";
        } catch (const DatabaseError& e) {
            EXPECT_STREQ("Sub: Cannot perform this operation on a closed dataset", e.what())
                << name;
        }
    }
}

}  // namespace
}  // namespace tirelle::store
