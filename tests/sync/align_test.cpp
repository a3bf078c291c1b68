// The alignment over synthetic films: each way a file for another release is off comes back to
// the truth, a file in sync stays as it is, and what does not fit is refused.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sync/align.h"
#include "tests/support/syntheticspeech.h"

namespace tirelle::sync {
namespace {

using testing::Distortion;

// Four films of about three minutes, 32 to 38 lines, as the benchmark measures.
constexpr int kFilmLines[] = {32, 34, 36, 38};

struct DistortionCase {
    const char* name;
    Distortion distortion;
    double offset, jump;
    Ratio ratio;    // expected
    int breaks;     // expected
    double share;   // at least this share of edges within 100 ms
    double median;  // median error at most, seconds
};

TEST(SyncAlign, EachDistortionComesBackToTheTruth) {
    const std::vector<DistortionCase> cases = {
        {"2 s late", Distortion::Offset, 2.0, 0, {}, 0, 1.0, 0.03},
        {"18 s early", Distortion::Offset, -18.0, 0, {}, 0, 1.0, 0.03},
        {"25 fps release, 7 s late", Distortion::Stretch, 7.3, 0, {25, 23.976}, 0, 1.0, 0.03},
        {"25 fps release, 3 s early", Distortion::Stretch, -3.1, 0, {25, 23.976}, 0, 1.0, 0.03},
        {"45 s inserted after the middle", Distortion::Jump, 4.2, 45, {}, 1, 0.98, 0.03},
        {"15 s cut from the middle", Distortion::Jump, -9.7, -15, {}, 1, 0.98, 0.03},
        {"30 s inserted, 12 s early", Distortion::Jump, -12.0, 30, {}, 1, 0.98, 0.03},
    };
    for (const DistortionCase& c : cases) {
        for (std::uint32_t film = 0; film < 4; ++film) {
            SCOPED_TRACE(std::string(c.name) + ", film " + std::to_string(film));
            const testing::SyntheticFilm truth = testing::MakeFilm(100 + film, kFilmLines[film]);
            const auto file = testing::Distort(truth, c.distortion, c.offset, c.jump);
            const Alignment found =
                Align(file, truth.speech, {Target::Speech, true, truth.duration});
            const auto errors = testing::EdgeErrors(truth, file, found.mapping);
            EXPECT_GE(testing::ShareWithin(errors, 0.1), c.share) << Summary(found.mapping);
            EXPECT_LE(testing::MedianOf(errors), c.median) << Summary(found.mapping);
            EXPECT_EQ(c.ratio, found.mapping.ratio) << RatioText(found.mapping.ratio);
            EXPECT_EQ(c.breaks, found.mapping.breaks());
            EXPECT_GE(found.confidence, kMinimumConfidence);
        }
    }
}

TEST(SyncAlign, FileInSyncIsLeftAsItIs) {
    for (std::uint32_t film = 0; film < 8; ++film) {
        const testing::SyntheticFilm truth = testing::MakeFilm(200 + film, 30 + 2 * film);
        const Alignment found = Align(truth.truth, truth.speech, {});
        EXPECT_TRUE(found.mapping.isIdentity()) << film << ": " << Summary(found.mapping);
    }
}

TEST(SyncAlign, NoSplitKeepsOneOffsetForTheLargerPart) {
    const testing::SyntheticFilm truth = testing::MakeFilm(300, 40);
    const auto file = testing::Distort(truth, Distortion::Jump, 6.0, 30);
    const Alignment found = Align(file, truth.speech, {Target::Speech, false, truth.duration});
    EXPECT_EQ(0, found.mapping.breaks());
    const double offset = found.mapping.segments[0].offset;
    EXPECT_TRUE(std::abs(offset + 6.0) < 0.03 || std::abs(offset + 36.0) < 0.03) << offset;
}

TEST(SyncAlign, TimeFarOutInTheReferenceDoesNotDerail) {
    const testing::SyntheticFilm film = testing::MakeFilm(310, 36);
    std::vector<Interval> reference = film.truth;
    reference.push_back({1.8e6, 1.8e6 + 2});  // a typing slip: 500 hours
    const auto file = testing::Distort(film, Distortion::Offset, 9.0);
    const Alignment found = Align(file, reference, {Target::Reference});
    EXPECT_GE(testing::ShareWithin(testing::EdgeErrors(film, file, found.mapping), 0.1), 0.98)
        << Summary(found.mapping);
}

struct RefusalCase {
    const char* name;
    std::vector<Interval> subtitles, targets;
    AlignOptions options;
    SyncError::Kind kind;
};

TEST(SyncAlign, WhatDoesNotFitIsRefused) {
    const testing::SyntheticFilm a = testing::MakeFilm(400, 36), b = testing::MakeFilm(401, 36);
    const testing::SyntheticFilm c = testing::MakeFilm(402, 34), d = testing::MakeFilm(403, 38);
    const testing::SyntheticFilm twoHours = testing::MakeFilm(404, 1500);
    const std::vector<RefusalCase> cases = {
        {"another film",
         a.truth,
         b.speech,
         {Target::Speech, true, b.duration},
         SyncError::Kind::NoReliableAlignment},
        {"another film, no jumps",
         c.truth,
         d.speech,
         {Target::Speech, false, d.duration},
         SyncError::Kind::NoReliableAlignment},
        {"another reference",
         d.truth,
         a.truth,
         {Target::Reference, true, 0},
         SyncError::Kind::NoReliableAlignment},
        {"no speech", a.truth, {}, {}, SyncError::Kind::NoSpeech},
        {"a reference without blocks",
         a.truth,
         {},
         {Target::Reference, true, 0},
         SyncError::Kind::NoReferenceBlocks},
        {"no subtitles", {}, a.speech, {}, SyncError::Kind::NoSubtitles},
        {"only subtitles without duration",
         {{5, 5}, {9, 3}},
         a.speech,
         {},
         SyncError::Kind::NoSubtitles},
        {"a two-hour file on a three-minute film",
         twoHours.truth,
         a.speech,
         {Target::Speech, true, a.duration},
         SyncError::Kind::FilmTooShort},
    };
    for (const RefusalCase& r : cases) {
        SCOPED_TRACE(r.name);
        try {
            const Alignment found = Align(r.subtitles, r.targets, r.options);
            ADD_FAILURE() << "aligned: " << Summary(found.mapping) << ", confidence "
                          << found.confidence;
        } catch (const SyncError& error) {
            EXPECT_EQ(static_cast<int>(r.kind), static_cast<int>(error.kind())) << error.what();
            EXPECT_STREQ(SyncMessage(r.kind), error.what());
        }
    }
}

TEST(SyncMapping, SummaryNamesOffsetRatioAndBreaks) {
    const struct {
        Mapping mapping;
        const char* text;
    } cases[] = {
        {{{}, {{0, 3.216}}}, "偏移 +3.216 秒"},
        {{{25, 23.976}, {{0, 3.216}, {600, 30}, {1200, -2.5}}},
         "偏移 +3.216 秒，比率 25/23.976，2 处断点"},
        {{{23.976, 25}, {{0, -0.5}}}, "偏移 -0.500 秒，比率 23.976/25"},
        {{{1.000417, 1}, {{0, 0}, {90, 12}}}, "偏移 +0.000 秒，比率 1.000417，1 处断点"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, Summary(c.mapping));
}

TEST(SyncMapping, LineTakesTheSegmentOfItsStart) {
    const Mapping m{{}, {{0, 10}, {100, -20}}};
    EXPECT_EQ(109.5, m.map(99.5, 99.5));
    EXPECT_EQ(111, m.map(101, 99.5));  // the end of a line begun before the jump
    EXPECT_EQ(80, m.map(100, 100));
    EXPECT_EQ(-15, m.map(5, 150));
}

}  // namespace
}  // namespace tirelle::sync
