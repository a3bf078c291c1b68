// Edits of single rows: where a split cuts the text, and the split as one undo step (the keys
// and the other row actions are tested through the window, tests/ui/keys_test.cpp).

#include <gtest/gtest.h>

#include "tests/support/storewithhistory.h"
#include "tests/support/typedrows.h"
#include "tools/rowedits.h"

using namespace tirelle;
namespace support = tirelle::testing;
using support::TypedRow;

namespace {

std::vector<TypedRow> rowsOf(store::Dataset& sub) {
    std::vector<TypedRow> rows;
    for (const store::SubRecord& row : sub.rows())
        rows.push_back({row.STime, row.ETime, row.SubText});
    return rows;
}

struct RowEditsTest : ::testing::Test {
    RowEditsTest() {
        support::AppendRows(store.sub, kRows);
        store.sub.requery();
    }
    // Two rows; the first has three lines.
    const std::vector<TypedRow> kRows = {{"00:00:01,000", "00:00:04,000", "one\r\ntwo\r\nthree"},
                                         {"00:00:05,000", "00:00:06,500", "next"}};
    support::StoreWithHistory store;
};

}  // namespace

TEST(SplitText, CutsAtTheBreakNearestTheMiddle) {
    struct Case {
        const char* text;
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {"ab\r\ncd", "ab", "cd"},
        {"a\r\nlonger line\r\nb", "a\r\nlonger line", "b"},
        {"first long line\r\nx\r\ny", "first long line", "x\r\ny"},
        {"lf\nonly", "lf", "only"},
        {"one line", "one line", "one line"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const auto [first, second] = tools::SplitText(c.text);
        EXPECT_EQ(first, c.first) << c.text;
        EXPECT_EQ(second, c.second) << c.text;
    }
}

TEST_F(RowEditsTest, SplitInsideTheRowMakesTwoHalvesAsOneStep) {
    const int stepsBefore = store.history.stepCount();
    ASSERT_EQ(tools::SplitCurrentRow(store.sub, &store.history, 2.5), tools::RowEditOutcome::Done);
    EXPECT_EQ(rowsOf(store.sub),
              (std::vector<TypedRow>{{"00:00:01,000", "00:00:02,500", "one\r\ntwo"},
                                     {"00:00:02,500", "00:00:04,000", "three"},
                                     kRows[1]}));
    EXPECT_EQ(store.sub.currentRow(), 0);
    EXPECT_EQ(store.history.stepCount(), stepsBefore + 1);
    store.history.undo();
    store.sub.requery();
    EXPECT_EQ(rowsOf(store.sub), kRows);
}
