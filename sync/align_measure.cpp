// How well a fit lies on the targets: its overlap beyond chance, its score with the edges, the
// distance of a group's edges from the targets' and how far its matched edges stand above what
// a shifted fit matches.

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

#include "sync/aligner.h"

namespace tirelle::sync::aligndetail {

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

}  // namespace tirelle::sync::aligndetail
