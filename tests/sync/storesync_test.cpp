// The sync on a real store: the times written as the tools write them, one undo step, a file in
// sync left byte for byte, nothing changed on a refusal; and the reference mode from SRT lines.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/timecode.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "sync/storesync.h"
#include "tests/support/syntheticspeech.h"
#include "tests/support/storewithhistory.h"
#include "tests/support/typedrows.h"
#include "tools/operations.h"

namespace tirelle::sync {
namespace {

using Row = testing::TypedRow;

class StoreSyncTest : public ::testing::Test, protected testing::StoreWithHistory {
protected:

    // An empty table.
    void clear() {
        sub.close();
        connection.execute(store::kDeleteAllSql, "test");
        sub.open();
    }

    // The lines as rows, their times written as time codes.
    void fill(const std::vector<Interval>& lines) {
        std::vector<Row> rows;
        for (std::size_t i = 0; i < lines.size(); ++i)
            rows.push_back({SecondsToTimeCode(lines[i].start), SecondsToTimeCode(lines[i].end),
                            "line " + std::to_string(i)});
        fill(rows);
    }
    // Typed in without undo steps of their own.
    void fill(const std::vector<Row>& rows) {
        sub.setHistory(nullptr);
        testing::AppendRows(sub, rows);
        sub.setHistory(&history);
        sub.requery();
    }

    std::vector<Row> shown() const {
        std::vector<Row> rows;
        for (int i = 0; i < sub.rowCount(); ++i)
            rows.push_back({sub.rowAt(i).STime, sub.rowAt(i).ETime, sub.rowAt(i).SubText});
        return rows;
    }
};

TEST_F(StoreSyncTest, OffsetIsWrittenAsTheShiftWritesItInOneUndoStep) {
    const testing::SyntheticFilm film = testing::MakeFilm(500, 36);
    fill(testing::Distort(film, testing::Distortion::Offset, 5.25));
    const std::vector<Row> before = shown();
    const SyncOutcome outcome =
        SyncStore(sub, &history, {film.speech, {Target::Speech, true, film.duration}, {}});
    const double offset = outcome.alignment.mapping.segments[0].offset;
    EXPECT_NEAR(-5.25, offset, 0.01);
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(Summary(outcome.alignment.mapping), outcome.summary);
    EXPECT_EQ(kSyncStepLabel, history.undoLabel());
    EXPECT_EQ(1, history.stepCount());
    const std::vector<Row> synced = shown();

    history.undo();
    sub.reload();
    EXPECT_EQ(before, shown());
    tools::ShiftAll(sub, offset);
    EXPECT_EQ(synced, shown());
}

// Time codes as a person may type them: read by the store, never written by the program.
std::string LooseTime(double seconds) {
    const int whole = static_cast<int>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%d:%d.%03d", whole / 3600, whole / 60 % 60, whole % 60,
                  static_cast<int>(std::lround((seconds - whole) * 1000)) % 1000);
    return text;
}

TEST_F(StoreSyncTest, FileInSyncIsLeftByteForByteAndRecordsNothing) {
    const testing::SyntheticFilm film = testing::MakeFilm(501, 34);
    std::vector<Row> rows;
    for (const Interval& line : film.truth)
        rows.push_back({LooseTime(line.start), LooseTime(line.end), "text"});
    fill(rows);
    const SyncOutcome outcome =
        SyncStore(sub, &history, {film.speech, {Target::Speech, true, film.duration}, {}});
    EXPECT_TRUE(outcome.alignment.mapping.isIdentity()) << outcome.summary;
    EXPECT_FALSE(outcome.changed);
    EXPECT_EQ(rows, shown());
    EXPECT_FALSE(history.canUndo());
}

TEST_F(StoreSyncTest, SnapRunsInsideTheSameStep) {
    const testing::SyntheticFilm film = testing::MakeFilm(502, 34);
    fill(film.truth);
    const auto snap = [](store::Dataset& rows) {
        return tools::WrapAll(rows, "", "!");  // stands for the per-line snap
    };
    const SyncOutcome outcome =
        SyncStore(sub, &history, {film.speech, {Target::Speech, true, film.duration}, snap});
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ("line 0!", shown().front().text);
    EXPECT_EQ(1, history.stepCount());
    EXPECT_EQ(kSyncStepLabel, history.undoLabel());
}

struct Refusal {
    const char* name;
    std::vector<Interval> rows, targets;
    AlignOptions options;
    SyncError::Kind kind;
};

TEST_F(StoreSyncTest, RefusalChangesNothing) {
    const testing::SyntheticFilm a = testing::MakeFilm(503, 36), b = testing::MakeFilm(504, 36);
    const std::vector<Refusal> cases = {
        {"an empty store", {}, a.speech, {}, SyncError::Kind::NoSubtitles},
        {"another film",
         a.truth,
         b.speech,
         {Target::Speech, true, b.duration},
         SyncError::Kind::NoReliableAlignment},
    };
    for (const Refusal& r : cases) {
        SCOPED_TRACE(r.name);
        clear();
        fill(r.rows);
        const std::vector<Row> before = shown();
        const int steps = history.stepCount();
        try {
            SyncStore(sub, &history, {r.targets, r.options, {}});
            ADD_FAILURE() << "synced";
        } catch (const SyncError& error) {
            EXPECT_EQ(static_cast<int>(r.kind), static_cast<int>(error.kind())) << error.what();
        }
        EXPECT_EQ(before, shown());
        EXPECT_EQ(steps, history.stepCount());
    }
}

struct Applied {
    const char* name;
    Mapping mapping;
    std::vector<Row> rows, expected;
};

TEST_F(StoreSyncTest, MappingMovesEachRowBySegmentOfItsStart) {
    const std::vector<Applied> cases = {
        {"a jump at 100 s",
         {{}, {{0, 2}, {100, -20}}},
         {{"00:00:01,000", "00:00:02,000", "a"}, {"00:01:40,000", "00:01:42,500", "b"}},
         {{"00:00:03,000", "00:00:04,000", "a"}, {"00:01:20,000", "00:01:22,500", "b"}}},
        {"before 0 becomes 0, each edge alone",
         {{}, {{0, -1.5}}},
         {{"00:00:01,000", "00:00:02,000", "a"}},
         {{"00:00:00,000", "00:00:00,500", "a"}}},
        {"a frame-rate ratio",
         {{25, 23.976}, {{0, 0}}},
         {{"00:00:23,976", "00:00:47,952", "a"}},
         {{"00:00:25,000", "00:00:50,000", "a"}}},
        {"an edge that does not move keeps its text",
         {{}, {{0, 0}, {50, 1}}},
         {{"0:0:5.1", "0:0:6,2", "a"}, {"0:1:0", "0:1:1", "b"}},
         {{"0:0:5.1", "0:0:6,2", "a"}, {"00:01:01,000", "00:01:02,000", "b"}}},
    };
    for (const Applied& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        fill(c.rows);
        EXPECT_TRUE(ApplyMapping(sub, c.mapping));
        EXPECT_EQ(c.expected, shown());
    }
}

// A reference in another language: its lines split the speech differently (two of ours often
// one of its), and it is timed for the film.
srt::LineList ReferenceFile(const testing::SyntheticFilm& film) {
    srt::LineList lines;
    int number = 1;
    for (std::size_t i = 0; i < film.truth.size(); ++i) {
        const bool joined = i % 3 == 0 && i + 1 < film.truth.size() && i + 1 != film.middle;
        const double end = joined ? film.truth[i + 1].end : film.truth[i].end;
        srt::AppendSrtBlock(lines, number++, SecondsToTimeCode(film.truth[i].start),
                            SecondsToTimeCode(end), "reference");
        if (joined) ++i;
    }
    return lines;
}

TEST_F(StoreSyncTest, ReferenceFileLendsItsTiming) {
    const testing::SyntheticFilm film = testing::MakeFilm(505, 36);
    for (const auto distortion :
         {testing::Distortion::Offset, testing::Distortion::Stretch, testing::Distortion::Jump}) {
        clear();
        const auto file = testing::Distort(film, distortion, 11.5, 25);
        fill(file);
        const SyncOutcome outcome = SyncStore(
            sub, &history, {ReferenceIntervals(ReferenceFile(film)), {Target::Reference}, {}});
        const std::vector<Row> synced = shown();
        for (std::size_t i = 0; i < synced.size(); ++i) {
            EXPECT_NEAR(film.truth[i].start, TimeToSeconds(synced[i].start), 0.1)
                << outcome.summary << ", line " << i;
            EXPECT_NEAR(film.truth[i].end, TimeToSeconds(synced[i].end), 0.1)
                << outcome.summary << ", line " << i;
        }
    }
}

TEST_F(StoreSyncTest, ReferenceWithoutTimedBlocksIsRefused) {
    const testing::SyntheticFilm film = testing::MakeFilm(506, 34);
    fill(film.truth);
    const std::vector<Row> before = shown();
    const std::vector<srt::LineList> references = {{},
                                                   {"just text", "", "2", "no time line", "text"}};
    for (const srt::LineList& reference : references) {
        try {
            SyncStore(sub, &history, {ReferenceIntervals(reference), {Target::Reference}, {}});
            ADD_FAILURE() << "synced";
        } catch (const SyncError& error) {
            EXPECT_EQ(SyncError::Kind::NoReferenceBlocks, error.kind()) << error.what();
        }
        EXPECT_EQ(before, shown());
    }
}

}  // namespace
}  // namespace tirelle::sync
