// The alignment as a store step: the rows written as time codes, as one undo step that takes
// back exactly what it did; nothing near a cut records nothing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shots/alignstep.h"
#include "store/connection.h"
#include "store/statements.h"
#include "tests/support/storewithhistory.h"
#include "tests/support/typedrows.h"

namespace tirelle::shots {
namespace {

using Row = testing::TypedRow;

class AlignStepTest : public ::testing::Test, protected testing::StoreWithHistory {
protected:
    std::vector<Row> shown() const {
        std::vector<Row> rows;
        for (int i = 0; i < sub.rowCount(); ++i)
            rows.push_back({sub.rowAt(i).STime, sub.rowAt(i).ETime, sub.rowAt(i).SubText});
        return rows;
    }
};

TEST_F(AlignStepTest, MovesTheRowsAsOneStepThatUndoesToTheTextsTypedBefore) {
    const std::vector<Row> typed = {{"0:0:9.6", "00:00:12,000", "a"},       // start 10 frames early
                                    {"00:00:12,500", "00:00:14,000", "b"},  // nowhere near
                                    {"00:00:15,000", "00:00:20,300", "c"}};  // end after the cut
    testing::AppendRows(sub, typed);
    sub.requery();
    const int steps = history.stepCount();
    const Alignment done = AlignStoreToCuts(sub, ShotCuts{{10, 20}, 25}, &history);
    EXPECT_EQ(done.startsMoved, 1);
    EXPECT_EQ(done.endsMoved, 1);
    const std::vector<Row> aligned = {{"00:00:10,000", "00:00:12,000", "a"},
                                      {"00:00:12,500", "00:00:14,000", "b"},
                                      {"00:00:15,000", "00:00:19,920", "c"}};
    EXPECT_EQ(shown(), aligned);
    EXPECT_DOUBLE_EQ(sub.rowAt(2).SubSortEnd, 19.92);
    EXPECT_EQ(history.stepCount(), steps + 1);
    EXPECT_EQ(history.undoLabel(), kAlignStepLabel);
    history.undo();
    sub.reload();
    EXPECT_EQ(shown(), typed);
    history.redo();
    sub.reload();
    EXPECT_EQ(shown(), aligned);
}

TEST_F(AlignStepTest, NothingNearACutRecordsNoStep) {
    testing::AppendRows(sub, {{"00:00:01,000", "00:00:02,000", "far"}});
    const int steps = history.stepCount();
    const Alignment done = AlignStoreToCuts(sub, ShotCuts{{10}, 25}, &history);
    EXPECT_TRUE(done.changes.empty());
    EXPECT_EQ(history.stepCount(), steps);
    EXPECT_EQ(AlignmentStatus(done), "镜头对齐：没有靠近镜头切换的时间");
}

TEST(AlignmentStatus, SaysWhatMovedAndWhatStayed) {
    Alignment done;
    done.startsMoved = 3;
    done.endsMoved = 2;
    done.endsKept = 1;
    EXPECT_EQ(AlignmentStatus(done),
              "镜头对齐：3 个开始时间移到镜头切换处，2 个结束时间移到切换前 2 帧，1 "
              "处未动（会太短或与相邻字幕重叠）");
}

}  // namespace
}  // namespace tirelle::shots
