// Jumps: the candidate offsets of the segments, the dynamic programme that chooses one for each
// line, the dropping of segments that chance could explain, and the last touches that keep a
// file in sync as it is.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "sync/aligner.h"

namespace tirelle::sync::aligndetail {

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

}  // namespace tirelle::sync::aligndetail
