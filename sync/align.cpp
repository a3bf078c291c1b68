#include "sync/align.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <optional>

#include "sync/correlation.h"
#include "sync/coverage.h"

namespace tirelle::sync {

namespace {

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
std::vector<Interval> UpToLongPause(std::vector<Interval> intervals) {
    std::erase_if(intervals, [](const Interval& i) { return !(i.end > i.start); });
    std::sort(intervals.begin(), intervals.end(),
              [](const Interval& a, const Interval& b) { return a.start < b.start; });
    double reached = intervals.empty() ? 0 : intervals.front().end;
    for (std::size_t i = 1; i < intervals.size(); ++i) {
        if (intervals[i].start > reached + kLongestPause) {
            intervals.resize(i);
            break;
        }
        reached = std::max(reached, intervals[i].end);
    }
    return intervals;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

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

Aligner::Aligner(const std::vector<Interval>& subtitles, const std::vector<Interval>& targets,
                 const AlignOptions& options)
    : options_(options), coverage_(UpToLongPause(targets)), lines_(UpToLongPause(subtitles)) {
    if (lines_.empty()) throw SyncError(SyncError::Kind::NoSubtitles);
    if (coverage_.empty())
        throw SyncError(options.target == Target::Speech ? SyncError::Kind::NoSpeech
                                                         : SyncError::Kind::NoReferenceBlocks);
    filmEnd_ = std::max(options.filmDuration, coverage_.spans().back().end);
    for (const Interval& t : coverage_.spans()) {
        starts_.push_back(t.start);
        ends_.push_back(t.end);
    }
    edgeOrigin_ = starts_.front() - kEdgeWindow;
    const double edgeRange = ends_.back() + kEdgeWindow - edgeOrigin_;
    edgeCell_ = std::max(kEdgeCell, edgeRange / (16 * kMostBins));
    nearEdges_.assign(static_cast<std::size_t>(edgeRange / edgeCell_) + 2, 0);
    for (const auto& [edges, kind] : {std::pair{&starts_, kNearStart}, std::pair{&ends_, kNearEnd}})
        for (const double e : *edges) {
            const auto from = static_cast<std::size_t>((e - kEdgeWindow - edgeOrigin_) / edgeCell_);
            const auto to =
                std::min(nearEdges_.size() - 1,
                         static_cast<std::size_t>((e + kEdgeWindow - edgeOrigin_) / edgeCell_));
            for (std::size_t c = from; c <= to; ++c) nearEdges_[c] |= kind;
        }
    for (const Interval& l : lines_) extent_ = std::max(extent_, l.end - lines_[0].start);
    if (options.filmDuration > 0 && extent_ * kSmallestRatio > options.filmDuration + 1)
        throw SyncError(SyncError::Kind::FilmTooShort);
    wholeStep_ = std::max(kWholeStep, (filmEnd_ + extent_ * 1.3) / kMostBins);
    groupStep_ = std::max(kGroupStep, (2 * kJumpWindow + extent_) / kMostBins);
    density_ = coverage_.overlap(0, filmEnd_) / filmEnd_;
    std::vector<double> lengths;
    for (const Interval& l : lines_) lengths.push_back(l.end - l.start);
    // What a typical line laid on speech gains over chance.
    const double line = Median(lengths) * (1 - density_);
    jumpCost_ = kJumpCost * line;
    edgeWeight_ = line;
    // A simpler mapping may score this much less: a little overlap per line, and one edge.
    tolerance_ = kTolerancePerLine * static_cast<double>(lines_.size()) + edgeWeight_;
}

double Aligner::excess(const Fit& fit) const {
    double sum = 0;
    for (std::size_t k = 0; k < fit.firsts.size(); ++k)
        for (std::size_t i = fit.firsts[k]; i < fit.end(k, lines_.size()); ++i)
            sum += excess(Interval{static_cast<double>(lines_[i].start * fit.ratio),
                                   static_cast<double>(lines_[i].end * fit.ratio)},
                          fit.offsets[k]);
    return sum;
}

double Aligner::score(const Fit& fit) const {
    // Each edge counts by how near it meets its speech edge (1 on it, 0 at the window's rim), so
    // that of two ratios that both keep the edges within the window the exact one wins.
    const auto closeness = [](const std::vector<double>& edges, double x) {
        const auto after = std::lower_bound(edges.begin(), edges.end(), x - kEdgeWindow);
        double nearest = kEdgeWindow;
        for (auto e = after; e != edges.end() && *e <= x + kEdgeWindow; ++e)
            nearest = std::min(nearest, std::abs(*e - x));
        return 1 - nearest / kEdgeWindow;
    };
    double matched = 0;
    for (std::size_t k = 0; k < fit.firsts.size(); ++k)
        for (std::size_t i = fit.firsts[k]; i < fit.end(k, lines_.size()); ++i) {
            const double offset = fit.offsets[k];
            matched +=
                closeness(starts_, static_cast<double>(lines_[i].start * fit.ratio) + offset);
            matched += closeness(ends_, static_cast<double>(lines_[i].end * fit.ratio) + offset);
        }
    return excess(fit) + edgeWeight_ * matched;
}

// Every offset that puts the middle of the file inside the film.
OffsetScores Aligner::wholeFile(const Correlator& correlator, long double ratio) const {
    const double first = static_cast<double>(lines_[0].start * ratio);
    const double half = static_cast<double>(extent_ * ratio) / 2;
    const double origin = -extent_ * 1.3 / 2;  // the same for every ratio: one film transform
    return correlator.scores(scaled(ratio), origin - first, filmEnd_ - first - half);
}

// The usual ratios that match the most edges at the best peaks of their whole-file scores,
// with two of those offsets. A file that jumps has a peak per segment, so a ratio is ranked by
// its best pair of peaks, a line counting at whichever of the two suits it; edges tell the right
// ratio far more sharply than the overlap does (a stretch of music overlaps anything).
std::vector<Aligner::Start> Aligner::coarse() const {
    Correlator correlator(coverage_, filmEnd_, density_, wholeStep_, kEdgeWindow, edgeWeight_);
    correlator.reserve(filmEnd_ + extent_ * 1.3 + 1);
    std::vector<std::pair<int, Start>> ranked;
    for (const Ratio& ratio : StandardRatios()) {
        Start start;
        start.scores = wholeFile(correlator, ratio.value());
        const std::vector<Peak> peaks = Peaks(start.scores, kCoarsePeaks, kSeparation);
        if (peaks.empty()) continue;
        std::vector<std::vector<int>> matched(peaks.size(), std::vector<int>(lines_.size()));
        for (std::size_t p = 0; p < peaks.size(); ++p)
            for (std::size_t i = 0; i < lines_.size(); ++i)
                matched[p][i] = matchedEdges(ratio.value(), i, peaks[p].offset);
        int best = -1;
        for (std::size_t p = 0; p < peaks.size(); ++p)
            for (std::size_t q = p; q < peaks.size(); ++q) {
                int sum = 0, first = 0;
                for (std::size_t i = 0; i < lines_.size(); ++i) {
                    sum += std::max(matched[p][i], matched[q][i]);
                    first += matched[p][i] - matched[q][i];
                }
                if (sum <= best) continue;
                best = sum;
                // The offset matching more on its own leads.
                start.fit.offsets = {peaks[first >= 0 ? p : q].offset};
                start.second = peaks[first >= 0 ? q : p].offset;
            }
        start.fit.ratio = start.fit.base = ratio.value();
        start.fit.label = ratio;
        start.scored = ratio.value();
        ranked.emplace_back(best, std::move(start));
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<Start> starts;
    for (auto& r : ranked) {
        // A ratio far behind the best is not worth refining.
        if (starts.size() == kRatioTries || 2 * r.first < ranked.front().first) break;
        starts.push_back(std::move(r.second));
    }
    return starts;
}

// The whole file at one offset: the best of the starts once each is refined (its offset found
// exactly, its ratio perhaps made free). `starts` keeps the chosen one first.
Fit Aligner::plain(std::vector<Start>& starts) const {
    std::size_t chosen = 0;
    double best = -1e300;
    for (std::size_t s = 0; s < starts.size(); ++s) {
        Fit& fit = starts[s].fit;
        refineOffsets(fit, kRefineWindow);
        fit = refineRatio(fit);
        const double score = this->score(fit);
        if (score > best) {
            best = score;
            chosen = s;
        }
    }
    // The ratio 1 when it does as well.
    for (std::size_t s = 0; s < starts.size(); ++s)
        if (starts[s].fit.ratio == 1 && score(starts[s].fit) >= best - tolerance_) chosen = s;
    std::swap(starts[0], starts[chosen]);
    return starts[0].fit;
}

// Each segment's offset, exactly, within `window` of where it was.
void Aligner::refineOffsets(Fit& fit, double window) const {
    for (std::size_t k = 0; k < fit.firsts.size(); ++k) {
        const std::size_t begin = fit.firsts[k], end = fit.end(k, lines_.size());
        const auto lines = scaled(fit.ratio, begin, end);
        fit.offsets[k] =
            BestOffset(lines, coverage_, fit.offsets[k] - window, fit.offsets[k] + window).offset;
        fit.offsets[k] += edgeResidual(fit.ratio, begin, end, fit.offsets[k], 4).value_or(0);
    }
}

// Neighbouring segments at about the same offset are one.
void Aligner::mergeSegments(Fit& fit) const {
    bool merged = false;
    for (std::size_t k = 1; k < fit.firsts.size();) {
        if (std::abs(fit.offsets[k] - fit.offsets[k - 1]) < kSameSegment) {
            fit.firsts.erase(fit.firsts.begin() + static_cast<std::ptrdiff_t>(k));
            fit.offsets.erase(fit.offsets.begin() + static_cast<std::ptrdiff_t>(k));
            merged = true;
        } else {
            ++k;
        }
    }
    if (merged) refineOffsets(fit, kRefineWindow);
}

// The ratio from the offsets of groups of lines: a ratio that is slightly off shows as offsets
// that drift along the file. Tries the free ratio that removes the drift and the usual ratios
// near it, and keeps a usual one unless the free one fits clearly better.
Fit Aligner::refineRatio(const Fit& fit) const {
    struct Group {
        double centre, offset;
        std::size_t segment;
    };
    std::vector<Group> groups;
    // Offsets of a group can drift this far from the segment's at the farthest free ratio.
    const double drift = 0.5 + kFreeRatio * extent_;
    for (std::size_t k = 0; k < fit.firsts.size(); ++k) {
        const std::size_t begin = fit.firsts[k], end = fit.end(k, lines_.size());
        const std::size_t size = std::max<std::size_t>(5, (end - begin) / 16);
        for (std::size_t g = begin; g < end; g += size) {
            const std::size_t stop = std::min(end, g + size);
            if (stop - g < 3 && g != begin) break;  // too few lines to place alone
            const auto lines = scaled(fit.ratio, g, stop);
            const OffsetFit best =
                BestOffset(lines, coverage_, fit.offsets[k] - drift, fit.offsets[k] + drift);
            double length = 0, centre = 0;
            for (std::size_t i = g; i < stop; ++i) {
                length += lines_[i].end - lines_[i].start;
                centre += lines_[i].start;
            }
            // A group mostly without speech, or laid on another segment's speech, says nothing:
            // it must lay most of its edges on speech edges.
            const auto residual = edgeResidual(fit.ratio, g, stop, best.offset, 2);
            if (!residual || excess(lines, best.offset) < 0.25 * (1 - density_) * length) continue;
            groups.push_back({centre / static_cast<double>(stop - g), best.offset + *residual, k});
        }
    }
    // The slope of offset against time: the median of the slopes between every two groups of
    // the same segment (Theil and Sen), which a group placed on the wrong speech cannot pull.
    std::vector<double> slopes;
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (std::size_t h = g + 1; h < groups.size(); ++h)
            if (groups[g].segment == groups[h].segment &&
                std::abs(groups[h].centre - groups[g].centre) > 1)
                slopes.push_back((groups[h].offset - groups[g].offset) /
                                 (groups[h].centre - groups[g].centre));
    const bool known = slopes.size() >= 3;
    const double slope = Median(slopes);
    if (!known) return fit;
    const long double free = std::round(std::clamp(fit.ratio + slope, fit.base * (1 - kFreeRatio),
                                                   fit.base * (1 + kFreeRatio)) *
                                        1e6L) /
                             1e6L;
    std::vector<Fit> tries;
    const auto attempt = [&](long double ratio, Ratio label) {
        Fit t = fit;
        t.ratio = ratio;
        t.label = label;
        double window = kRefineWindow;
        for (std::size_t k = 0; k < t.firsts.size(); ++k) {
            // Keep the middle of the segment where it was.
            const std::size_t begin = t.firsts[k], end = t.end(k, lines_.size());
            const double middle = (lines_[begin].start + lines_[end - 1].end) / 2;
            const double half = (lines_[end - 1].end - lines_[begin].start) / 2;
            t.offsets[k] += static_cast<double>((fit.ratio - ratio) * middle);
            window = std::max(
                window, kRefineWindow + static_cast<double>(std::abs(fit.ratio - ratio) * half));
        }
        refineOffsets(t, window);
        tries.push_back(std::move(t));
    };
    attempt(free, Ratio{static_cast<double>(free), 1});
    for (const Ratio& r : StandardRatios())
        if (std::abs(r.value() - free) < 0.002L || r == fit.label ||
            (r.isOne() && std::abs(free - 1) < 3 * kFreeRatio))
            attempt(r.value(), r);
    // The best usual ratio, 1 when it does as well; the free one only when clearly better.
    const Fit* best = nullptr;
    double bestScore = -1e300;
    for (std::size_t t = 1; t < tries.size(); ++t) {
        const double s = score(tries[t]);
        if (s > bestScore) {
            bestScore = s;
            best = &tries[t];
        }
    }
    for (std::size_t t = 1; t < tries.size(); ++t)
        if (tries[t].ratio == 1 && score(tries[t]) >= bestScore - tolerance_) best = &tries[t];
    if (!best || score(tries[0]) > bestScore + tolerance_) best = &tries[0];
    return *best;
}

// Offsets worth trying for the segments: the strongest of the whole file, and of each group of
// lines within the jump window of the main offset (a short segment of a long file is lost among
// the whole file's chance peaks, but stands out in its own group).
std::vector<double> Aligner::candidates(const Fit& fit, const OffsetScores& scores) const {
    Correlator correlator(coverage_, filmEnd_, density_, groupStep_, kEdgeWindow, edgeWeight_);
    std::vector<Peak> peaks = Peaks(scores, kWholeFilePeaks, kSeparation);
    const std::size_t size = std::max<std::size_t>(8, lines_.size() / 8);
    for (std::size_t g = 0; g < lines_.size(); g += size) {
        const auto lines = scaled(fit.ratio, g, std::min(lines_.size(), g + size));
        // Within the jump window, and with the group inside the film.
        const double low = std::max(fit.offsets[0] - kJumpWindow, -lines.front().start);
        const double high = std::min(fit.offsets[0] + kJumpWindow, filmEnd_ - lines.back().end);
        if (!(high > low)) continue;
        const auto group = Peaks(correlator.scores(lines, low, high), kGroupPeaks, kSeparation);
        peaks.insert(peaks.end(), group.begin(), group.end());
        if (g + size >= lines_.size()) break;
    }
    std::sort(peaks.begin(), peaks.end(),
              [](const Peak& a, const Peak& b) { return a.excess > b.excess; });
    std::vector<double> offsets(fit.offsets.begin(), fit.offsets.end());
    for (const Peak& p : peaks) {
        const bool near = std::any_of(offsets.begin(), offsets.end(), [&](double o) {
            return std::abs(o - p.offset) < kSameSegment;
        });
        if (!near && offsets.size() < 255) offsets.push_back(p.offset);
    }
    return offsets;
}

// The dynamic programme: each line takes one of the candidate offsets; the sum of the lines'
// excess, less the jump cost for every change between neighbouring lines, is the largest.
// Lines that start together stay together.
Fit Aligner::segment(const Fit& fit, const std::vector<double>& candidates) const {
    const std::size_t n = lines_.size(), K = candidates.size();
    const auto lines = scaled(fit.ratio);
    // A line's score: its excess overlap, and as much again for each of its two edges meeting a
    // speech edge; the overlap alone cannot tell one offset from another over a stretch of music.
    const auto score = [&](std::size_t i, double offset) {
        return excess(lines[i], offset) + edgeWeight_ * matchedEdges(fit.ratio, i, offset);
    };
    std::vector<double> total(K), next(K);
    std::vector<std::uint8_t> from(n * K);
    for (std::size_t k = 0; k < K; ++k) total[k] = score(0, candidates[k]);
    for (std::size_t i = 1; i < n; ++i) {
        const std::size_t leader =
            static_cast<std::size_t>(std::max_element(total.begin(), total.end()) - total.begin());
        const bool mayJump = lines_[i].start > lines_[i - 1].start;
        // A release is cut where the film pauses: a jump in a pause of 10 s or more costs a
        // quarter, so that a line without speech next to the jump stays on its own side.
        const double pause = std::clamp((lines_[i].start - lines_[i - 1].end) / 10, 0.0, 1.0);
        const double cost = jumpCost_ * (1 - 0.75 * pause);
        for (std::size_t k = 0; k < K; ++k) {
            const double jump = total[leader] - cost;
            const bool jumps = mayJump && jump > total[k];
            from[i * K + k] = static_cast<std::uint8_t>(jumps ? leader : k);
            next[k] = (jumps ? jump : total[k]) + score(i, candidates[k]);
        }
        total.swap(next);
    }
    Fit out = fit;
    out.firsts.clear();
    out.offsets.clear();
    std::size_t k =
        static_cast<std::size_t>(std::max_element(total.begin(), total.end()) - total.begin());
    for (std::size_t i = n; i-- > 1;) {
        const std::size_t before = from[i * K + k];
        if (before != k) {
            out.firsts.push_back(i);
            out.offsets.push_back(candidates[k]);
            k = before;
        }
    }
    out.firsts.push_back(0);
    out.offsets.push_back(candidates[k]);
    std::reverse(out.firsts.begin(), out.firsts.end());
    std::reverse(out.offsets.begin(), out.offsets.end());
    return out;
}

// Lets the file jump: the dynamic programme over candidate offsets, then again over the
// segments' exact offsets for the exact places of the jumps. A segment whose edges do not stand
// out of chance on their own is dropped and the programme run again without its candidate.
Fit Aligner::split(const Fit& start, const OffsetScores& scores) const {
    std::vector<double> pool = candidates(start, scores);
    Fit fit = start;
    std::vector<double> strong;
    for (int round = 0; round < 6; ++round) {
        fit = segment(start, pool);
        refineOffsets(fit, kRefineWindow);
        mergeSegments(fit);
        if (fit.firsts.size() > 1) {
            // Again with the exact offsets only, for the exact places of the jumps.
            fit = segment(fit, fit.offsets);
            refineOffsets(fit, kRefineWindow);
            mergeSegments(fit);
        }
        if (fit.firsts.size() < 2) return fit;
        std::vector<double> levels;
        for (std::size_t k = 0; k < fit.firsts.size(); ++k)
            levels.push_back(level(fit, k, k + 1, kSegmentShifts));
        const auto strongest = std::max_element(levels.begin(), levels.end()) - levels.begin();
        strong.clear();
        bool weak = false;
        for (std::size_t k = 0; k < fit.firsts.size(); ++k) {
            if (levels[k] >= kSegmentLevel || static_cast<std::ptrdiff_t>(k) == strongest) {
                strong.push_back(fit.offsets[k]);
                continue;
            }
            // The candidate that made a weak segment is tried no more; the programme may then
            // find the segment's right offset among the others.
            weak = true;
            std::erase_if(pool, [&](double o) {
                return std::abs(o - fit.offsets[k]) < kRefineWindow + kSameSegment;
            });
        }
        if (!weak) return fit;
    }
    fit = segment(fit, strong);
    refineOffsets(fit, kRefineWindow);
    mergeSegments(fit);
    return fit;
}

// The ratio was measured over the whole file, jumps and all, the lines of the other segments
// scored by chance: measure it again within the segments.
Fit Aligner::remeasureRatio(Fit fit) const {
    if (fit.firsts.size() > 1) {
        const long double before = fit.ratio;
        fit = refineRatio(fit);
        if (fit.ratio != before) mergeSegments(fit);
    }
    return fit;
}

// At the ratio 1, a segment keeps its times when moving it gains no more than the tolerance:
// a file in sync stays byte for byte as it is.
void Aligner::preferNoChange(Fit& fit) const {
    for (std::size_t k = 0; k < fit.firsts.size(); ++k) {
        fit.offsets[k] = std::round(fit.offsets[k] * 1000) / 1000;
        if (fit.ratio != 1) continue;
        const auto lines = scaled(1, fit.firsts[k], fit.end(k, lines_.size()));
        const double tolerance = kTolerancePerLine * static_cast<double>(lines.size());
        if (excess(lines, 0) >= excess(lines, fit.offsets[k]) - tolerance) fit.offsets[k] = 0;
    }
    for (std::size_t k = 1; k < fit.firsts.size();) {
        if (fit.offsets[k] == fit.offsets[k - 1]) {
            fit.firsts.erase(fit.firsts.begin() + static_cast<std::ptrdiff_t>(k));
            fit.offsets.erase(fit.offsets.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            ++k;
        }
    }
}

// The median distance from the edges of lines [begin, end) (scaled, moved by `offset`) to the
// nearest target edge of the same kind within the edge window; nothing when fewer than 3 edges,
// or fewer than one in `share` of them, have one.
// Speech edges are found to tens of milliseconds where the overlap's optimum may lie anywhere on
// a stretch of music, so the groups that tell the ratio are placed by their edges.
std::optional<double> Aligner::edgeResidual(long double ratio, std::size_t begin, std::size_t end,
                                            double offset, std::size_t share) const {
    std::vector<double> residuals;
    const auto nearest = [&](const std::vector<double>& edges, double x) {
        const auto after = std::lower_bound(edges.begin(), edges.end(), x - kEdgeWindow);
        double best = kEdgeWindow * 2;
        for (auto e = after; e != edges.end() && *e <= x + kEdgeWindow; ++e)
            if (std::abs(*e - x) < std::abs(best)) best = *e - x;
        if (best < kEdgeWindow * 2) residuals.push_back(best);
    };
    for (std::size_t i = begin; i < end; ++i) {
        nearest(starts_, static_cast<double>(lines_[i].start * ratio) + offset);
        nearest(ends_, static_cast<double>(lines_[i].end * ratio) + offset);
    }
    if (residuals.size() < 3 || share * residuals.size() < 2 * (end - begin)) return std::nullopt;
    return Median(residuals);
}

// Edges of one line (its start, its end) with a target edge of the same kind within the edge
// window, the line scaled and moved by `offset`.
int Aligner::matchedEdges(long double ratio, std::size_t line, double offset) const {
    const auto near = [&](std::uint8_t kind, double x) -> int {
        const double cell = (x - edgeOrigin_) / edgeCell_;
        if (!(cell >= 0 && cell < static_cast<double>(nearEdges_.size()))) return 0;
        return (nearEdges_[static_cast<std::size_t>(cell)] & kind) != 0;
    };
    return near(kNearStart, static_cast<double>(lines_[line].start * ratio) + offset) +
           near(kNearEnd, static_cast<double>(lines_[line].end * ratio) + offset);
}

// How many standard deviations the edges matched by segments [first, last) of the fit stand
// above what the same segments match when moved together by 5 to 60 seconds either way. Edges
// tell a right fit from a chance one far better than the overlap: at the right offset most
// lines begin and end where speech does, at another only a few.
double Aligner::level(const Fit& fit, std::size_t first, std::size_t last, int shifts) const {
    const auto matched = [&](double shift) {
        int count = 0;
        for (std::size_t k = first; k < last; ++k)
            for (std::size_t i = fit.firsts[k]; i < fit.end(k, lines_.size()); ++i)
                count += matchedEdges(fit.ratio, i, fit.offsets[k] + shift);
        return count;
    };
    std::vector<double> chance;
    for (int j = 0; j < shifts; ++j) {
        const double shift = 5 + 55.0 * (j / 2) / (shifts / 2);
        chance.push_back(matched(j % 2 ? shift : -shift));
    }
    const double mean = std::accumulate(chance.begin(), chance.end(), 0.0) / shifts;
    double variance = 0;
    for (const double c : chance) variance += (c - mean) * (c - mean);
    const double spread = std::max(1.0, std::sqrt(variance / (shifts - 1)));
    return (matched(0) - mean) / spread;
}

Mapping Aligner::mapping(const Fit& fit) const {
    Mapping m;
    m.ratio = fit.ratio == 1 ? Ratio{} : fit.label;
    m.segments.clear();
    for (std::size_t k = 0; k < fit.firsts.size(); ++k)
        m.segments.push_back({k == 0 ? 0 : lines_[fit.firsts[k]].start, fit.offsets[k]});
    return m;
}

Alignment Aligner::run() {
    std::vector<Start> starts = coarse();
    if (starts.empty()) throw SyncError(SyncError::Kind::NoReliableAlignment);
    Fit fit = plain(starts);
    // A file that does not fit this film at all stops here, before jumps could fit it by parts.
    if (level(fit, 0, 1, kChanceShifts) < kGateLevel)
        throw SyncError(SyncError::Kind::NoReliableAlignment);
    if (options_.allowBreaks && lines_.size() > 1) {
        OffsetScores scores = std::move(starts[0].scores);
        if (fit.ratio != starts[0].scored) {
            Correlator correlator(coverage_, filmEnd_, density_, wholeStep_, kEdgeWindow,
                                  edgeWeight_);
            scores = wholeFile(correlator, fit.ratio);
        }
        fit = remeasureRatio(split(fit, scores));
    }
    preferNoChange(fit);

    Alignment alignment;
    alignment.mapping = mapping(fit);
    const double sure = level(fit, 0, fit.firsts.size(), kChanceShifts);
    alignment.confidence =
        std::clamp((sure - kChanceLevel) / (kSureLevel - kChanceLevel), 0.0, 1.0);
    double length = 0, overlap = 0;
    for (const Interval& l : lines_) {
        const double a = alignment.mapping.map(l.start, l.start);
        const double b = alignment.mapping.map(l.end, l.start);
        length += b - a;
        overlap += coverage_.overlap(a, b);
    }
    alignment.coverage = length > 0 ? overlap / length : 0;
    if (alignment.confidence < kMinimumConfidence)
        throw SyncError(SyncError::Kind::NoReliableAlignment);
    return alignment;
}

}  // namespace

const char* SyncMessage(SyncError::Kind kind) {
    switch (kind) {
        case SyncError::Kind::NoSubtitles:
            return "没有可同步的字幕";
        case SyncError::Kind::NoSpeech:
            return "影片中没有找到语音";
        case SyncError::Kind::NoReferenceBlocks:
            return "参考字幕中没有字幕";
        case SyncError::Kind::FilmTooShort:
            return "影片比字幕短";
        case SyncError::Kind::NoReliableAlignment:
            break;
    }
    return "没有找到可靠的对齐";
}

SyncError::SyncError(Kind kind) : Error(SyncMessage(kind)), kind_(kind) {}

Alignment Align(const std::vector<Interval>& subtitles, const std::vector<Interval>& targets,
                const AlignOptions& options) {
    return Aligner(subtitles, targets, options).run();
}

}  // namespace tirelle::sync
