// The rule that keeps subtitles clear of the picture's cuts, one table per rule: where starts go,
// where ends go and when they stay, and where a captured time lands.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "shots/align.h"

namespace tirelle::shots {
namespace {

using Times = std::vector<std::pair<double, double>>;  // seconds, start and end per row
using Millis = std::vector<std::pair<int, int>>;       // what the rows end up with

struct Case {
    const char* name;
    std::vector<double> cuts;
    double frameRate;
    Times rows;
    Millis expected;
    int startsKept = 0;
    int endsKept = 0;
};

// The rows' times after the alignment, in whole milliseconds.
Millis Aligned(const Case& c, Alignment& alignment) {
    std::vector<TimedRow> rows;
    Millis result;
    for (const auto& [start, end] : c.rows) {
        rows.push_back({start, end});
        result.emplace_back(static_cast<int>(start * 1000 + 0.5),
                            static_cast<int>(end * 1000 + 0.5));
    }
    alignment = AlignToCuts(rows, ShotCuts{c.cuts, c.frameRate});
    for (const RowTimes& times : alignment.changes) result[times.row] = {times.start, times.end};
    return result;
}

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Alignment alignment;
        EXPECT_EQ(Aligned(c, alignment), c.expected);
        EXPECT_EQ(alignment.startsKept, c.startsKept);
        EXPECT_EQ(alignment.endsKept, c.endsKept);
        int starts = 0, ends = 0;
        for (const RowTimes& times : alignment.changes) {
            starts += times.startMoved;
            ends += times.endMoved;
        }
        EXPECT_EQ(alignment.startsMoved, starts);
        EXPECT_EQ(alignment.endsMoved, ends);
    }
}

TEST(AlignToCuts, AStartWithinTwelveFramesOfACutMovesOntoIt) {
    Check({
        {"7.5 frames after", {10}, 25, {{10.3, 13}}, {{10000, 13000}}},
        {"10 frames before", {10}, 25, {{9.6, 12}}, {{10000, 12000}}},
        {"exactly 12 frames", {10}, 25, {{10.48, 13}}, {{10000, 13000}}},
        {"13 frames: stays", {10}, 25, {{10.52, 13}}, {{10520, 13000}}},
        {"the nearer of two cuts", {10, 10.4}, 25, {{10.25, 13}}, {{10400, 13000}}},
        {"15 frames at 50 fps: stays", {10}, 50, {{10.3, 13}}, {{10300, 13000}}},
        // Frame 100 at 30000/1001 fps is at 3.33667 s: the millisecond at or before it.
        {"ntsc frames", {100 * 1001 / 30000.0}, 30000 / 1001.0, {{3.5, 6}}, {{3336, 6000}}},
        // Its end stays too: two frames before the cut is before the start.
        {"a later start that leaves under 0.5 s stays",
         {10},
         25,
         {{9.8, 10.3}},
         {{9800, 10300}},
         1,
         1},
    });
}

TEST(AlignToCuts, AnEndNearACutMovesTwoFramesBeforeItUnlessTooShortOrIntoTheNext) {
    Check({
        {"7.5 frames before", {20}, 25, {{15, 19.7}}, {{15000, 19920}}},
        {"after the cut", {20}, 25, {{15, 20.3}}, {{15000, 19920}}},
        {"already there", {20}, 25, {{15, 19.92}}, {{15000, 19920}}},
        {"13 frames after: stays", {20}, 25, {{15, 20.52}}, {{15000, 20520}}},
        {"two frames at 30000/1001",
         {100 * 1001 / 30000.0},
         30000 / 1001.0,
         {{1, 3.3}},
         {{1000, 3269}}},
        {"shorter than 0.5 s: stays", {20}, 25, {{19.45, 19.95}}, {{19450, 19950}}, 0, 1},
        // The next one's start cannot move onto the cut (it would be too short), so the end
        // moved later would run into it; the next one's own end cannot move either.
        {"into the next start: stays",
         {20},
         25,
         {{15, 19.6}, {19.85, 20.3}},
         {{15000, 19600}, {19850, 20300}},
         1,
         2},
        {"the next start moves onto the cut: room",
         {20},
         25,
         {{15, 19.6}, {19.8, 23}},
         {{15000, 19920}, {20000, 23000}}},
        // The first keeps its end after the cut (too short otherwise), so the second's start
        // may not move before it.
        {"a start may not move before the end before it",
         {10},
         25,
         {{9.8, 10.2}, {10.3, 13}},
         {{9800, 10200}, {10300, 13000}},
         2,
         1},
    });
}

TEST(SnapToCut, ACapturedTimeWithinSevenFramesLandsOnTheCut) {
    const struct {
        std::vector<double> cuts;
        double frameRate, time, expected;
    } cases[] = {
        {{10}, 25, 10.28, 10},       // 7 frames after
        {{10}, 25, 9.72, 10},        // 7 frames before
        {{10}, 25, 10.3, 10.3},      // 7.5 frames: stays
        {{10}, 50, 10.2, 10.2},      // 10 frames at 50 fps
        {{10, 10.2}, 25, 10.1, 10},  // halfway: the earlier
        {{}, 25, 10.1, 10.1},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(SnapToCut(ShotCuts{c.cuts, c.frameRate}, c.time), c.expected)
            << "time " << c.time << " at " << c.frameRate << " fps";
}

}  // namespace
}  // namespace tirelle::shots
