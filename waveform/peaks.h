#pragma once
// Peaks of a mixed-down audio signal: for every 10 ms, the lowest and the highest sample, in
// 16-bit full scale (-32768 .. 32767). A bin not decoded (yet) is "unknown": its min lies above
// its max, so nothing is drawn for it.

#include <cstddef>
#include <cstdint>
#include <limits>

namespace tirelle::waveform {

// Bins per second of audio: one bin covers 10 ms.
inline constexpr int kBinsPerSecond = 100;
// No file gets more bins than a day of audio; the rest of a longer (or lying) file is ignored.
inline constexpr std::size_t kMaxBins = std::size_t{24} * 3600 * kBinsPerSecond;

struct Peak {
    std::int16_t min = std::numeric_limits<std::int16_t>::max();
    std::int16_t max = std::numeric_limits<std::int16_t>::min();

    bool known() const { return min <= max; }
    friend bool operator==(const Peak&, const Peak&) = default;
};

// The bin that holds the moment `seconds` (negative: 0).
inline std::size_t binAt(double seconds) {
    return seconds > 0 ? static_cast<std::size_t>(seconds * kBinsPerSecond) : 0;
}

}  // namespace tirelle::waveform
