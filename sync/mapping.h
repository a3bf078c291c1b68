#pragma once
// The mapping from subtitle time to film time that a whole-file sync finds and applies:
// film = ratio × t + offset, with one offset per segment of the file. A segment begins at a
// subtitle start time: the file jumps there, where a break was inserted into or removed from
// the release it was timed for. A subtitle's start and end both take the offset of the segment
// its start lies in, so a line never straddles a jump. Times in seconds.

#include <string>
#include <vector>

namespace tirelle::sync {

struct Interval {
    double start = 0;  // seconds
    double end = 0;    // seconds
    friend bool operator==(const Interval&, const Interval&) = default;
};

// A frame-rate ratio, numerator / denominator: 25 / 23.976 for a file timed on a 25 frames per
// second release played against a 23.976 one. A free ratio has the denominator 1.
struct Ratio {
    double numerator = 1;
    double denominator = 1;
    long double value() const { return static_cast<long double>(numerator) / denominator; }
    bool isOne() const { return numerator == denominator; }
    friend bool operator==(const Ratio&, const Ratio&) = default;
};

struct Segment {
    double from =
        0;  // subtitle start time (seconds) where the segment begins; unused for the first
    double offset = 0;  // seconds added after the ratio, a whole number of milliseconds
    friend bool operator==(const Segment&, const Segment&) = default;
};

struct Mapping {
    Ratio ratio;
    std::vector<Segment> segments{Segment{}};  // never empty, ordered by `from`

    bool isIdentity() const {
        return ratio.isOne() && segments.size() == 1 && segments[0].offset == 0;
    }
    int breaks() const { return static_cast<int>(segments.size()) - 1; }
    // The offset of the segment that a line starting at `lineStart` belongs to.
    double offsetAt(double lineStart) const;
    // Film time of `seconds`, an edge of the line starting at `lineStart`: formed with a 64-bit
    // significand and held as a double, as the tools hold their results. May be negative.
    double map(double seconds, double lineStart) const;
};

// "偏移 +3.216 秒，比率 25/23.976，2 处断点" (UTF-8): the offset of the first segment always,
// the ratio when it is not 1, the breaks when there are any.
std::string Summary(const Mapping& mapping);

// "+3.216", "-0.500": seconds with their sign and three decimals.
std::string OffsetText(double seconds);

// "25/23.976", or a free ratio with six decimals ("1.000417").
std::string RatioText(const Ratio& ratio);

// The ratios of the usual frame rates (23.976, 24, 25, 29.97, 30) to one another, each value
// once, 1 first.
const std::vector<Ratio>& StandardRatios();

}  // namespace tirelle::sync
