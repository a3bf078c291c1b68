#pragma once
// Inside the checks library: rows reduced to what the rules look at, the limits of a profile
// in the units they compare, and the rules of one row.

#include <cstdint>

#include "checks/profile.h"
#include "checks/rules.h"
#include "checks/textcount.h"
#include "store/dataset.h"

namespace tirelle::checks::detail {

// Seconds to the nearest whole microsecond; NaN as 0, beyond ±2^53 µs (285 years) clamped.
std::int64_t Microseconds(double seconds);

// Microseconds cut down to whole milliseconds, in the range of a time code (0 to INT32_MAX).
std::int32_t ClampedMilliseconds(std::int64_t microseconds);

// The place of a row in start order.
struct OrderKey {
    double start = 0;  // SubSort as stored (NaN as 0)
    std::int64_t aid = 0;
    auto operator<=>(const OrderKey&) const = default;
};

struct TimedRow {
    OrderKey key;
    std::int64_t start = 0;  // microseconds
    std::int64_t end = 0;    // microseconds

    static TimedRow of(const store::SubRecord& row);
};

struct MeasuredRow {
    TimedRow time;
    TextMeasure text;
};

struct Limits {
    explicit Limits(const CheckSettings& settings);

    Counting counting;
    std::int64_t lineHalves;  // characters per line, in halves
    int lines;
    std::int64_t shortest;  // microseconds
    std::int64_t longest;   // microseconds
    long double readingSpeed;
    long double leastGap;  // microseconds, as a fraction when the frames do not fall on one
};

// What the least gap asks of a gap of `microseconds` between an end and the next start.
inline bool TooClose(std::int64_t microseconds, const Limits& limits) {
    return microseconds >= 0 && microseconds < limits.leastGap;
}

// The problems of `row` whose next row in start order is `next` (nullptr for the last row).
RowProblems CheckRow(const MeasuredRow& row, const MeasuredRow* next, const Limits& limits);

}  // namespace tirelle::checks::detail
