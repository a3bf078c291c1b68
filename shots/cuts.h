#pragma once
// Where the picture of a film changes from one shot to the next: the cut list the detector
// finds, the cache keeps and snapping and alignment work from. Plain values, no media library.

#include <optional>
#include <span>
#include <vector>

namespace tirelle::shots {

struct ShotCuts {
    // Seconds from the start of the file, as the player counts it: the time of the first frame
    // of each new shot, from the stream's time stamps. Ascending, no two equal.
    std::vector<double> times;
    // Frames per second of the video (its most common frame duration, inverted); > 0.
    double frameRate = 25;

    double frameDuration() const { return 1 / frameRate; }
    friend bool operator==(const ShotCuts&, const ShotCuts&) = default;
};

// The cut nearest to `seconds` no more than `tolerance` seconds away (either side); nothing
// when there is none. `cuts` ascending.
std::optional<double> NearestCut(std::span<const double> cuts, double seconds, double tolerance);

// Frames within which a captured or dragged time lands on a cut.
inline constexpr int kSnapFrames = 7;

// A time taken from playback (a capture) or set by dragging: onto the nearest cut when one lies
// within kSnapFrames frames, else unchanged.
double SnapToCut(const ShotCuts& cuts, double seconds);

}  // namespace tirelle::shots
