// The whole-file sync's entry: the errors it reports, the search set up from the subtitles and
// the targets, and its run from the coarse search to the mapping and its confidence.

#include "sync/align.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "sync/aligner.h"
#include "sync/correlation.h"
#include "sync/coverage.h"

namespace tirelle::sync {

namespace aligndetail {

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

}  // namespace aligndetail

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
    return aligndetail::Aligner(subtitles, targets, options).run();
}

}  // namespace tirelle::sync
