// Snapping subtitles to speech spans: the rules of the window, each in a table; the store step.
#include <gtest/gtest.h>

#include "speech/snapstep.h"
#include "store/connection.h"
#include "store/statements.h"
#include "tests/support/storewithhistory.h"
#include "tests/support/typedrows.h"

namespace tirelle::speech {

void PrintTo(const Timing& t, std::ostream* out) { *out << "[" << t.start << ", " << t.end << "]"; }

namespace {

TEST(SnapToSpeech, EachSubtitleTakesTheSpeechItCovers) {
    const struct {
        const char* name;
        SpeechSpans spans;
        std::vector<Timing> given;
        std::vector<Timing> expected;
    } cases[] = {
        {"both edges to the nearest speech edges", {{10.0, 12.0}}, {{10.3, 11.6}}, {{10.0, 12.0}}},
        {"no speech edge within the window: the edge stays", {{10.0, 12.0}}, {{9.0, 12.4}}, {{9.0, 12.0}}},
        {"no speech near at all", {{10.0, 12.0}}, {{20.0, 21.0}}, {{20.0, 21.0}}},
        {"an inner pause: the sentence's own edges, not the pause's",
         {{10.0, 11.0}, {11.15, 12.0}}, {{10.3, 11.7}}, {{10.0, 12.0}}},
        {"sentences 0.12 s apart each keep their own",
         {{10.0, 11.0}, {11.12, 12.5}}, {{10.2, 11.35}, {10.9, 12.3}}, {{10.0, 11.0}, {11.12, 12.5}}},
        {"never overlapping the neighbour", {{10.0, 12.0}}, {{10.2, 11.8}, {11.9, 14.0}}, {{10.0, 11.8}, {11.9, 14.0}}},
        {"never shorter than 0.2 s", {{10.0, 10.1}}, {{9.95, 10.25}}, {{10.0, 10.25}}},
    };
    for (const auto& c : cases) EXPECT_EQ(SnapToSpeech(c.given, c.spans).timings, c.expected) << c.name;
}

TEST(SnapToSpeech, CountsAndTheWindow) {
    const SpeechSpans spans = {{10.0, 12.0}};
    const struct {
        double window;
        std::size_t snapped, nothingNear;
    } cases[] = {{0.5, 1, 1}, {0.2, 0, 2}, {5.0, 2, 0}};
    for (const auto& c : cases) {
        SnapOptions options;
        options.window = c.window;
        const SnapResult result = SnapToSpeech({{10.3, 11.7}, {13.0, 14.0}}, spans, options);
        EXPECT_EQ(result.snapped, c.snapped) << c.window;
        EXPECT_EQ(result.nothingNear, c.nothingNear) << c.window;
    }
}

TEST(SnapToSpeech, OnlyTheRowsAskedMoveTheirNeighboursBoundThem) {
    const SpeechSpans spans = {{10.0, 12.0}, {12.1, 14.0}, {14.1, 16.0}};
    const std::vector<Timing> given = {{10.2, 11.8}, {12.3, 13.8}, {13.9, 15.8}};
    const struct {
        std::size_t first, last;
        std::vector<Timing> expected;
    } cases[] = {
        // The middle row's end cannot reach 14.0: the next row starts at 13.9.
        {1, 1, {{10.2, 11.8}, {12.1, 13.8}, {13.9, 15.8}}},
        {0, 0, {{10.0, 12.0}, {12.3, 13.8}, {13.9, 15.8}}},
        {1, 2, {{10.2, 11.8}, {12.1, 14.0}, {14.1, 16.0}}},
        {2, 9, {{10.2, 11.8}, {12.3, 13.8}, {14.1, 16.0}}},  // a last row past the end: the end
    };
    for (const auto& c : cases)
        EXPECT_EQ(SnapToSpeech(given, spans, {}, c.first, c.last).timings, c.expected) << c.first << ".." << c.last;
}

TEST(NearestEdge, OfTheKindAskedWithinReach) {
    const SpeechSpans spans = {{10.0, 12.0}, {12.3, 14.0}};
    const struct {
        double at;
        Edge edge;
        double within;
        std::optional<double> expected;
    } cases[] = {
        {10.2, Edge::Onset, 0.5, 10.0}, {12.2, Edge::Onset, 0.5, 12.3}, {12.2, Edge::Offset, 0.5, 12.0},
        {12.2, Edge::Either, 0.5, 12.3}, {11.0, Edge::Either, 0.5, std::nullopt}, {14.04, Edge::Offset, 0.05, 14.0},
    };
    for (const auto& c : cases) EXPECT_EQ(NearestEdge(spans, c.at, c.edge, c.within), c.expected) << c.at;
}

class SnapStepTest : public ::testing::Test, protected testing::StoreWithHistory {
protected:
    void SetUp() override {
        testing::AppendRows(sub, {{"00:00:10,300", "00:00:11,700", "a"}, {"00:00:20,000", "00:00:21,000", "b"}});
        sub.requery();
    }
    std::vector<testing::TypedRow> shown() const {
        std::vector<testing::TypedRow> rows;
        for (int i = 0; i < sub.rowCount(); ++i)
            rows.push_back({sub.rowAt(i).STime, sub.rowAt(i).ETime, sub.rowAt(i).SubText});
        return rows;
    }
};

TEST_F(SnapStepTest, AllRowsAreOneStepThatUndoes) {
    const auto before = shown();
    const SnapCounts counts = SnapAllToSpeech(sub, history, {{10.0, 12.0}});
    EXPECT_EQ(SnapMessage(counts), "已对齐 1 条字幕，1 条附近没有语音");
    EXPECT_EQ(counts.changed, 1u);  // the row without speech near is not written
    const std::vector<testing::TypedRow> snapped = {{"00:00:10,000", "00:00:12,000", "a"},
                                                    {"00:00:20,000", "00:00:21,000", "b"}};
    EXPECT_EQ(shown(), snapped);
    EXPECT_EQ(history.undoLabel(), kSnapLabel);
    // Snapped again, nothing changes and no step is recorded.
    const int steps = history.stepCount();
    EXPECT_EQ(SnapAllToSpeech(sub, history, {{10.0, 12.0}}).changed, 0u);
    EXPECT_EQ(history.stepCount(), steps);
    history.undo();
    sub.requery();
    EXPECT_EQ(shown(), before);
}

TEST_F(SnapStepTest, TheCurrentRowOnly) {
    sub.last();
    const SnapCounts counts = SnapCurrentToSpeech(sub, history, {{10.0, 12.0}, {20.1, 20.9}});
    EXPECT_EQ(counts.changed, 1u);
    const std::vector<testing::TypedRow> snapped = {{"00:00:10,300", "00:00:11,700", "a"},
                                                    // 20.9 s is 20,900 ms, not truncated to 20,899
                                                    {"00:00:20,100", "00:00:20,900", "b"}};
    EXPECT_EQ(shown(), snapped);
    EXPECT_EQ(history.undoLabel(), kSnapLabel);
}

}  // namespace
}  // namespace tirelle::speech
