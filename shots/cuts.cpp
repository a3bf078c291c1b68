#include "shots/cuts.h"

#include <algorithm>
#include <cmath>

namespace tirelle::shots {

namespace {

// Times typed or stored as time codes are whole milliseconds: a distance counts as "within n
// frames" up to half a millisecond beyond.
constexpr double kTimeCodeSlack = 0.0005;

}  // namespace

std::optional<double> NearestCut(std::span<const double> cuts, double seconds, double tolerance) {
    const auto after = std::lower_bound(cuts.begin(), cuts.end(), seconds);
    std::optional<double> best;
    double distance = tolerance;
    if (after != cuts.end() && *after - seconds <= distance) {
        best = *after;
        distance = *after - seconds;
    }
    // On a tie the earlier cut wins: it is the one a subtitle ending or starting there meets.
    if (after != cuts.begin() && seconds - *(after - 1) <= distance) best = *(after - 1);
    return best;
}

double SnapToCut(const ShotCuts& cuts, double seconds) {
    const double tolerance = kSnapFrames * cuts.frameDuration() + kTimeCodeSlack;
    return NearestCut(cuts.times, seconds, tolerance).value_or(seconds);
}

}  // namespace tirelle::shots
