#pragma once
// What the files of the whole-file sync share: the search's constants, a fit as it holds one,
// and the search itself (Aligner), whose steps live in align_measure.cpp (how well a fit lies
// on the targets), align_search.cpp (the whole file at one offset and ratio) and
// align_jumps.cpp (segments and jumps). Internal to the sync.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sync/align.h"
#include "sync/correlation.h"
#include "sync/coverage.h"

namespace tirelle::sync::aligndetail {

constexpr double kWholeStep = 0.5;           // grid of the whole file's search, seconds
constexpr double kGroupStep = 0.2;           // of the groups' search
constexpr std::size_t kCoarsePeaks = 4;      // peaks of each ratio's whole-file scores tried
constexpr std::size_t kRatioTries = 3;       // ratios whose peaks match the most edges
constexpr std::size_t kWholeFilePeaks = 16;  // offsets of the whole file tried for segments
constexpr std::size_t kGroupPeaks = 3;       // and of each group of lines
constexpr double kSeparation = 1.0;          // offsets closer than this are one
constexpr double kJumpWindow = 600;          // a jump moves the rest by up to 10 minutes
constexpr double kJumpCost = 12;             // a jump costs what 4 lines laid on speech gain
constexpr double kRefineWindow = 1.0;        // exact search around a coarse offset
constexpr double kSameSegment = 0.5;         // neighbouring segments closer than this merge
constexpr double kTolerancePerLine = 0.01;   // a simpler mapping may lose this much per line
constexpr double kSmallestRatio = 0.79;      // of the usual ones, 23.976/30
constexpr double kFreeRatio = 0.002;         // a free ratio lies this near a usual one
constexpr double kEdgeWindow = 0.25;         // an edge meets a target edge this near, seconds
constexpr double kEdgeCell = 0.005;          // ... told to this many seconds (at least)
// A time after a pause this long (seconds) is a typing slip, not the film: the alignment leaves
// it out (the mapping still moves it).
constexpr double kLongestPause = 1800;
// Bounds on the work long films can cause: the grids and the edge cells grow coarser instead of
// growing without end.
constexpr double kMostBins = 1 << 20;
constexpr std::uint8_t kNearStart = 1, kNearEnd = 2;
constexpr int kChanceShifts = 200;  // shifts of a fit that tell what chance matches
constexpr int kSegmentShifts = 64;  // the same for one segment
// Levels: how many standard deviations the edges a fit matches stand above the edges it matches
// when shifted by 5 to 60 s. Another film's best single offset reaches about 4.
constexpr double kGateLevel = 4;       // the single best offset of the file, before any jump
constexpr double kSegmentLevel = 3.5;  // every segment on its own
constexpr double kChanceLevel = 4;     // confidence 0
constexpr double kSureLevel = 10;      // confidence 1 (kMinimumConfidence 0.5: level 7)

// Segments as the search holds them: the first line of each (in start order) and its offset.
struct Fit {
    long double ratio = 1;
    Ratio label;
    long double base = 1;  // the usual ratio the search began from
    std::vector<std::size_t> firsts{0};
    std::vector<double> offsets{0};

    std::size_t end(std::size_t k, std::size_t lines) const {
        return k + 1 < firsts.size() ? firsts[k + 1] : lines;
    }
};

// Sorted by start, up to the first pause of kLongestPause.
std::vector<Interval> UpToLongPause(std::vector<Interval> intervals);
double Median(std::vector<double> values);

class Aligner {
public:
    Aligner(const std::vector<Interval>& subtitles, const std::vector<Interval>& targets,
            const AlignOptions& options);
    Alignment run();

private:
    std::vector<Interval> scaled(long double ratio, std::size_t begin, std::size_t end) const {
        std::vector<Interval> out;
        out.reserve(end - begin);
        for (std::size_t i = begin; i < end; ++i)
            out.push_back({static_cast<double>(lines_[i].start * ratio),
                           static_cast<double>(lines_[i].end * ratio)});
        return out;
    }
    std::vector<Interval> scaled(long double ratio) const {
        return scaled(ratio, 0, lines_.size());
    }

    // Overlap with the targets minus what chance gives inside the film.
    double excess(const Interval& line, double offset) const {
        const double a = line.start + offset, b = line.end + offset;
        const double inside = std::max(0.0, std::min(b, filmEnd_) - std::max(a, 0.0));
        return coverage_.overlap(a, b) - density_ * inside;
    }
    double excess(const std::vector<Interval>& lines, double offset) const {
        double sum = 0;
        for (const Interval& l : lines) sum += excess(l, offset);
        return sum;
    }
    double excess(const Fit& fit) const;
    // The excess and, as much as a line's again, each edge meeting a target edge (see segment()).
    double score(const Fit& fit) const;

    struct Start {
        Fit fit;
        OffsetScores scores;
        double second = 0;       // the offset of the second best peak
        long double scored = 1;  // the ratio of the scores
    };
    OffsetScores wholeFile(const Correlator& correlator, long double ratio) const;
    std::vector<Start> coarse() const;
    Fit plain(std::vector<Start>& starts) const;
    void refineOffsets(Fit& fit, double window) const;
    void mergeSegments(Fit& fit) const;
    Fit refineRatio(const Fit& fit) const;
    std::vector<double> candidates(const Fit& fit, const OffsetScores& scores) const;
    Fit segment(const Fit& fit, const std::vector<double>& candidates) const;
    Fit split(const Fit& fit, const OffsetScores& scores) const;
    Fit remeasureRatio(Fit fit) const;
    void preferNoChange(Fit& fit) const;
    int matchedEdges(long double ratio, std::size_t line, double offset) const;
    std::optional<double> edgeResidual(long double ratio, std::size_t begin, std::size_t end,
                                       double offset, std::size_t share) const;
    double level(const Fit& fit, std::size_t first, std::size_t last, int shifts) const;
    Mapping mapping(const Fit& fit) const;

    const AlignOptions& options_;
    Coverage coverage_;
    std::vector<Interval> lines_;        // positive durations, by start, up to a long pause
    std::vector<double> starts_, ends_;  // of the targets, ascending
    // Cells of edgeCell_ from edgeOrigin_: kNearStart / kNearEnd set where a target start / end
    // lies within the edge window. The search asks millions of times whether an edge meets one.
    double edgeOrigin_ = 0;
    double edgeCell_ = kEdgeCell;
    double wholeStep_ = kWholeStep;
    double groupStep_ = kGroupStep;
    std::vector<std::uint8_t> nearEdges_;
    double filmEnd_ = 0;
    double extent_ = 0;
    double density_ = 0;
    double jumpCost_ = 0;
    double edgeWeight_ = 0;
    double tolerance_ = 0;
};

}  // namespace tirelle::sync::aligndetail
