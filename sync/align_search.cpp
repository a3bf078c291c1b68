// The search for the whole file at one offset: the coarse correlation for every usual ratio,
// the exact offset of each segment, the merging of neighbouring segments and the ratio made
// free from the drift of the offsets along the file.

#include <algorithm>
#include <cmath>
#include <utility>

#include "sync/aligner.h"

namespace tirelle::sync::aligndetail {

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

}  // namespace tirelle::sync::aligndetail
