#pragma once
// The coarse search: how much of the subtitles lands on speech for every offset on a grid,
// all offsets at once, as the cross-correlation of the two sampled interval sets (FFTW).

#include <memory>
#include <vector>

#include "sync/coverage.h"

namespace tirelle::sync {

// Scores of one set of lines over a grid of offsets: offset(m) = firstOffset + m * step.
struct OffsetScores {
    double step = 0;
    double firstOffset = 0;
    // Overlap minus what chance gives (the speech density times the line time that falls
    // inside the film at that offset), plus the edge weight for every edge meeting a span edge,
    // counted to the grid.
    std::vector<double> excess;

    double offset(std::size_t m) const { return firstOffset + static_cast<double>(m) * step; }
};

class Correlator {
public:
    // The film runs from 0 to filmEnd seconds; `density` is the share of it covered.
    // `step` is the grid of offsets, seconds. Every line start (end) within edgeWindow seconds
    // of a span start (end) adds edgeWeight to the score (0: the overlap alone).
    Correlator(const Coverage& coverage, double filmEnd, double density, double step,
               double edgeWindow = 0, double edgeWeight = 0);
    ~Correlator();
    Correlator(const Correlator&) = delete;
    Correlator& operator=(const Correlator&) = delete;

    // Every offset in [low, high] (rounded out to the grid) of the lines, already scaled.
    OffsetScores scores(const std::vector<Interval>& lines, double low, double high) const;

    // The searches that follow cover at most this many seconds of lines and offsets together:
    // they then share one transform of the film (the search over every ratio).
    void reserve(double seconds) { reservedBins_ = static_cast<std::size_t>(seconds / step_) + 2; }

    double step() const { return step_; }

private:
    struct Transform;
    // The film sampled from `origin` over n steps and transformed; kept for the next search
    // from the same origin.
    const Transform& filmTransform(double origin, std::size_t n) const;

    const Coverage& coverage_;
    double filmEnd_;
    double density_;
    double step_;
    double edgeWindow_;
    double edgeWeight_;
    std::size_t reservedBins_ = 0;
    mutable std::unique_ptr<Transform> cached_;
};

// The best local maxima of the excess, at least `separation` seconds apart, best first.
struct Peak {
    double offset = 0;
    double excess = 0;
};
std::vector<Peak> Peaks(const OffsetScores& scores, std::size_t count, double separation);

}  // namespace tirelle::sync
