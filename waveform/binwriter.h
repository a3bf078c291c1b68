#pragma once
// Folding decoded samples into peaks (see peaks.h), one stretch of bins at a time, without any
// media library: the decoder's threads each fill one stretch and hand the bins over in chunks.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "waveform/peaks.h"

namespace tirelle::waveform {

// A stretch of bins one thread decodes; the last one runs to the end of the file.
struct Stretch {
    std::size_t first = 0;
    std::size_t end = kMaxBins;
    friend bool operator==(const Stretch&, const Stretch&) = default;
};

// Where a writer hands its bins: first .. first + peaks.size() - 1, each bin at most once.
class PeakReceiver {
public:
    virtual void report(std::size_t first, std::span<const Peak> peaks) = 0;
    // Bins are handed over at least every this many (at least 1).
    virtual std::size_t chunkBins() const = 0;

protected:
    ~PeakReceiver() = default;
};

// The first sample of bin `bin` at `rate` samples per second.
inline std::int64_t FirstSampleOfBin(std::size_t bin, std::int64_t rate) {
    const auto b = static_cast<std::int64_t>(bin);
    return (b * rate + kBinsPerSecond - 1) / kBinsPerSecond;
}

// Folds samples into the bins of one stretch and hands them to the receiver in chunks.
class BinWriter {
public:
    BinWriter(PeakReceiver& receiver, int rate, Stretch stretch);

    // Adds samples numbered from `start` (at the writer's rate, from time 0); samples before
    // the stretch are dropped. False once the stretch is complete.
    bool add(std::int64_t start, const float* samples, std::size_t count);
    // Hands over whatever is still held.
    void flush();

private:
    void fold(std::size_t bin, float low, float high);

    PeakReceiver& receiver_;
    std::int64_t rate_;
    Stretch stretch_;
    std::vector<Peak> pending_;
    std::size_t firstPending_ = 0;
    Peak current_;
    std::size_t currentBin_ = 0;
    bool haveCurrent_ = false;
};

}  // namespace tirelle::waveform
