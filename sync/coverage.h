#pragma once
// The film's speech (or a reference file's subtitles) as a union of intervals, and how much of
// it a subtitle covers: the score every step of the alignment maximises.

#include <cstddef>
#include <vector>

#include "sync/mapping.h"

namespace tirelle::sync {

class Coverage {
public:
    // Merges overlapping and touching intervals; drops empty and reversed ones.
    explicit Coverage(std::vector<Interval> intervals);

    const std::vector<Interval>& spans() const { return spans_; }
    bool empty() const { return spans_.empty(); }
    double total() const { return before_.back(); }
    // Measure of the spans in (-inf, x].
    double covered(double x) const;
    // Measure of the spans inside [a, b]; 0 when b <= a.
    double overlap(double a, double b) const { return b > a ? covered(b) - covered(a) : 0; }
    // Index of the first span that ends after x (spans().size() when none).
    std::size_t firstEndingAfter(double x) const;

private:
    std::vector<Interval> spans_;
    std::vector<double> before_;  // before_[i]: measure of spans_[0 .. i)
    // The search asks covered() millions of times: a table of cells over the spans tells the
    // last span starting at or before each cell's start (-1 for none), so that only the spans
    // starting inside the cell are left to step over.
    double cellOrigin_ = 0;
    double cellWidth_ = 1;
    std::vector<int> lastStarted_;
};

// The offset in [low, high] that lays the lines (already scaled by the ratio) over the most of
// the coverage, found exactly: the summed overlap is piecewise linear in the offset, so its
// maximum lies at one of the points where a line edge meets a span edge.
struct OffsetFit {
    double offset = 0;   // the middle of the best plateau
    double overlap = 0;  // summed overlap there, seconds
};
OffsetFit BestOffset(const std::vector<Interval>& lines, const Coverage& coverage, double low,
                     double high);

// Summed overlap of the lines moved by `offset`.
double OverlapAt(const std::vector<Interval>& lines, const Coverage& coverage, double offset);

}  // namespace tirelle::sync
