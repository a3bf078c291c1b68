#include "sync/coverage.h"

#include <algorithm>
#include <utility>

namespace tirelle::sync {

Coverage::Coverage(std::vector<Interval> intervals) {
    std::erase_if(intervals, [](const Interval& i) { return !(i.end > i.start); });
    std::sort(intervals.begin(), intervals.end(),
              [](const Interval& a, const Interval& b) { return a.start < b.start; });
    for (const Interval& i : intervals) {
        if (!spans_.empty() && i.start <= spans_.back().end)
            spans_.back().end = std::max(spans_.back().end, i.end);
        else
            spans_.push_back(i);
    }
    before_.reserve(spans_.size() + 1);
    before_.push_back(0);
    for (const Interval& s : spans_) before_.push_back(before_.back() + (s.end - s.start));
    if (spans_.empty()) return;
    cellOrigin_ = spans_.front().start;
    const double range = spans_.back().end - cellOrigin_;
    // Cells about as many as the spans (or of 20 ms, for few long spans), at most 2^22 of them.
    const double cells = std::clamp(
        std::max(2.0 * static_cast<double>(spans_.size()), range / 0.02), 1.0, 4194304.0);
    cellWidth_ = range > 0 ? range / cells : 1;
    lastStarted_.resize(static_cast<std::size_t>(cells) + 1);
    int last = -1;
    for (std::size_t c = 0; c < lastStarted_.size(); ++c) {
        const double at = cellOrigin_ + static_cast<double>(c) * cellWidth_;
        while (last + 1 < static_cast<int>(spans_.size()) &&
               spans_[static_cast<std::size_t>(last + 1)].start <= at)
            ++last;
        lastStarted_[c] = last;
    }
}

double Coverage::covered(double x) const {
    if (spans_.empty() || !(x >= cellOrigin_)) return 0;  // NaN included
    const double cell = (x - cellOrigin_) / cellWidth_;
    const std::size_t last = lastStarted_.size() - 1;
    // The last span starting at or before x.
    int i = lastStarted_[cell < static_cast<double>(last) ? static_cast<std::size_t>(cell) : last];
    while (i + 1 < static_cast<int>(spans_.size()) &&
           spans_[static_cast<std::size_t>(i + 1)].start <= x)
        ++i;
    if (i < 0) return 0;
    const auto k = static_cast<std::size_t>(i);
    return before_[k] + (std::min(x, spans_[k].end) - spans_[k].start);
}

std::size_t Coverage::firstEndingAfter(double x) const {
    return static_cast<std::size_t>(
        std::upper_bound(spans_.begin(), spans_.end(), x,
                         [](double t, const Interval& s) { return t < s.end; }) -
        spans_.begin());
}

double OverlapAt(const std::vector<Interval>& lines, const Coverage& coverage, double offset) {
    double sum = 0;
    for (const Interval& line : lines)
        sum += coverage.overlap(line.start + offset, line.end + offset);
    return sum;
}

OffsetFit BestOffset(const std::vector<Interval>& lines, const Coverage& coverage, double low,
                     double high) {
    // Each line and span overlap in a trapezoid of the offset: rising with slope 1 from where
    // the line's end meets the span's start, flat, falling back to 0 where the line's start
    // leaves the span's end. The sum changes slope only at those corners.
    std::vector<std::pair<double, int>> corners;
    int slope = 0;  // just after `low`
    const auto& spans = coverage.spans();
    for (const Interval& line : lines) {
        for (std::size_t j = coverage.firstEndingAfter(line.start + low);
             j < spans.size() && spans[j].start < line.end + high; ++j) {
            const Interval& s = spans[j];
            const double rise = s.start - line.end;
            const double top = std::min(s.start - line.start, s.end - line.end);
            const double fall = std::max(s.start - line.start, s.end - line.end);
            const double gone = s.end - line.start;
            for (const auto& [at, change] : {std::pair{rise, 1}, std::pair{top, -1},
                                             std::pair{fall, -1}, std::pair{gone, 1}}) {
                if (at <= low)
                    slope += change;
                else if (at < high)
                    corners.emplace_back(at, change);
            }
        }
    }
    std::sort(corners.begin(), corners.end());
    corners.emplace_back(high, 0);

    double value = OverlapAt(lines, coverage, low);
    double best = value;
    double bestFrom = low, bestTo = low;
    bool onBest = true;  // the run of points at the best value has not ended
    double at = low;
    const double tolerance = 1e-9 * (1 + coverage.total());
    for (std::size_t k = 0; k < corners.size();) {
        const double next = corners[k].first;
        value += slope * (next - at);
        at = next;
        for (; k < corners.size() && corners[k].first == at; ++k) slope += corners[k].second;
        if (value > best + tolerance) {
            best = value;
            bestFrom = bestTo = at;
            onBest = true;
        } else if (onBest && value >= best - tolerance) {
            bestTo = at;
        } else {
            onBest = false;
        }
    }
    return {(bestFrom + bestTo) / 2, best};
}

}  // namespace tirelle::sync
