// Folding samples into bins and sharing a file among threads, without any media file.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "waveform/binwriter.h"
#include "waveform/orderedfeed.h"
#include "waveform/threadplan.h"

using namespace tirelle::waveform;

namespace tirelle::waveform {
void PrintTo(const Peak& peak, std::ostream* out) {
    *out << "[" << peak.min << ", " << peak.max << "]";
}
}  // namespace tirelle::waveform

namespace {

// Keeps every hand-over as (first bin, peaks).
struct Recorder final : PeakReceiver {
    std::vector<std::pair<std::size_t, std::vector<Peak>>> calls;
    std::size_t chunk = 100;
    void report(std::size_t first, std::span<const Peak> peaks) override {
        if (!peaks.empty()) calls.emplace_back(first, std::vector<Peak>(peaks.begin(), peaks.end()));
    }
    std::size_t chunkBins() const override { return chunk; }
};

struct Frame {
    std::int64_t start;
    std::vector<float> samples;
};

}  // namespace

TEST(BinWriter, FoldsFramesIntoTheStretchsBins) {
    // 1000 samples per second: 10 samples a bin.
    const struct {
        const char* name;
        Stretch stretch;
        std::size_t chunk;
        std::vector<Frame> frames;
        std::vector<std::pair<std::size_t, std::vector<Peak>>> expected;
    } cases[] = {
        {"two bins from one frame", {0, kMaxBins}, 100,
         {{0, {0.5f, -0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, -1.0f}}},
         {{0, {{-16384, 16384}, {-32767, 32767}}}}},
        {"run-in before the stretch is dropped, the end bin is not written", {1, 2}, 100,
         {{0, std::vector<float>(30, 0.25f)}},
         {{1, {{8192, 8192}}}}},
        {"a jump in the stamps hands over what came before", {0, kMaxBins}, 100,
         {{0, std::vector<float>(10, 0.0f)}, {50, std::vector<float>(10, 0.0f)}},
         {{0, {{0, 0}}}, {5, {{0, 0}}}}},
        {"stamps that step back are dropped", {0, kMaxBins}, 100,
         {{10, std::vector<float>(10, 0.5f)}, {0, std::vector<float>(10, 1.0f)}},
         {{1, {{16384, 16384}}}}},
        {"chunks of the receiver's size", {0, kMaxBins}, 2,
         {{0, std::vector<float>(40, 0.0f)}},
         {{0, {{0, 0}, {0, 0}}}, {2, {{0, 0}, {0, 0}}}}},
        {"out-of-range and NaN samples are clamped", {0, kMaxBins}, 100,
         {{0, {2.0f, -2.0f, 0, 0, 0, 0, 0, 0, 0, 0}}, {10, {std::nanf(""), 0, 0, 0, 0, 0, 0, 0, 0, 0}}},
         {{0, {{-32768, 32767}, {-32768, -32768}}}}},
        {"a NaN after a bin's first sample is passed over", {0, kMaxBins}, 100,
         {{0, {0.25f, std::nanf(""), 0, 0, -0.5f, 0, 0, 0.75f, 0, 0}}},
         {{0, {{-16384, 24575}}}}},
    };
    for (const auto& c : cases) {
        Recorder recorder;
        recorder.chunk = c.chunk;
        BinWriter writer(recorder, 1000, c.stretch);
        for (const Frame& frame : c.frames)
            if (!writer.add(frame.start, frame.samples.data(), frame.samples.size())) break;
        writer.flush();
        EXPECT_EQ(recorder.calls, c.expected) << c.name;
    }
}

TEST(ThreadPlan, StretchesOfWholeSecondsInTimeOrder) {
    const struct {
        double duration;
        int threads;
        bool seekable;
        std::vector<Stretch> expected;
    } cases[] = {
        {3600, 1, true, {{0, kMaxBins}}},
        {3600, 4, false, {{0, kMaxBins}}},
        {59, 4, true, {{0, kMaxBins}}},
        // 70 s over two threads: stretches of the 20 s minimum.
        {70, 2, true, {{0, 2000}, {2000, 4000}, {4000, 6000}, {6000, kMaxBins}}},
        // Two hours over two threads: the 5-minute maximum, 24 of them.
        {7200, 2, true, {}},
    };
    for (const auto& c : cases) {
        const auto bins = static_cast<std::size_t>(c.duration * kBinsPerSecond);
        const std::vector<Stretch> plan = PlanStretches(c.duration, bins, c.threads, c.seekable);
        if (!c.expected.empty()) {
            EXPECT_EQ(plan, c.expected) << c.duration << " s, " << c.threads << " threads";
            continue;
        }
        ASSERT_EQ(plan.size(), 24u);
        for (std::size_t i = 0; i + 1 < plan.size(); ++i)
            EXPECT_EQ(plan[i].end - plan[i].first, 30000u) << i;
        EXPECT_EQ(plan.back().end, kMaxBins);
    }
}

TEST(OrderedFeed, ThePiecesOfEveryArrivalOrderMakeOneStream) {
    struct Piece {
        std::int64_t first;
        std::vector<std::int16_t> samples;
        std::int64_t stretchEnd;
    };
    const struct {
        const char* name;
        std::vector<Piece> pieces;  // in the order they arrive
        std::vector<std::int16_t> expected;
    } cases[] = {
        {"in order", {{0, {1, 2}, 2}, {2, {3}, OrderedFeed::kOpenEnd}}, {1, 2, 3}},
        {"later stretch first", {{3, {4, 5}, OrderedFeed::kOpenEnd}, {0, {1, 2, 3}, 3}}, {1, 2, 3, 4, 5}},
        {"a stretch in two pieces", {{4, {5}, OrderedFeed::kOpenEnd}, {2, {3, 4}, 4}, {0, {1, 2}, OrderedFeed::kOpenEnd}},
         {1, 2, 3, 4, 5}},
        {"a short stretch is filled with silence", {{4, {5}, OrderedFeed::kOpenEnd}, {0, {1}, 4}}, {1, 0, 0, 0, 5}},
        {"an empty stretch too", {{3, {4}, OrderedFeed::kOpenEnd}, {0, {}, 3}}, {0, 0, 0, 4}},
        {"a stretch that overran its end gives the rest only", {{2, {3, 4}, OrderedFeed::kOpenEnd}, {0, {1, 2, 9}, 3}},
         {1, 2, 9, 4}},
        {"a piece at the place of one still waiting goes behind it",
         {{2, {3}, OrderedFeed::kOpenEnd}, {2, {4}, OrderedFeed::kOpenEnd}, {0, {1, 2}, OrderedFeed::kOpenEnd}},
         {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        std::vector<std::int16_t> stream;
        OrderedFeed feed([&](std::span<const std::int16_t> got) { stream.insert(stream.end(), got.begin(), got.end()); });
        for (const Piece& piece : c.pieces) feed.add(piece.first, piece.samples, piece.stretchEnd);
        EXPECT_EQ(stream, c.expected) << c.name;
    }
}
