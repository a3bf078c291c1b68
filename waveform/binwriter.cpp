#include "waveform/binwriter.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tirelle::waveform {

namespace {

std::int16_t Level(float value) {
    const float scaled = std::round(value * 32767.0f);
    if (!(scaled >= -32768.0f)) return scaled > 0 ? 32767 : -32768;  // NaN counts as low
    return static_cast<std::int16_t>(std::min(scaled, 32767.0f));
}

// The lowest and highest of `count` (at least one) samples, as std::min and std::max would find
// them one after the other: a sample that is not a number is taken only as the first, and then
// stays. Eight at a time, every lane starting from the first sample, so that the lanes agree
// with the one pass even so.
void LowAndHigh(const float* samples, std::size_t count, float& lowOut, float& highOut) {
    constexpr std::size_t kLanes = 8;
    std::array<float, kLanes> low, high;
    low.fill(samples[0]);
    high.fill(samples[0]);
    std::size_t k = 1;
    for (; k + kLanes <= count; k += kLanes)
        for (std::size_t l = 0; l < kLanes; ++l) {
            const float x = samples[k + l];
            low[l] = x < low[l] ? x : low[l];
            high[l] = high[l] < x ? x : high[l];
        }
    float lo = low[0], hi = high[0];
    for (std::size_t l = 1; l < kLanes; ++l) {
        lo = low[l] < lo ? low[l] : lo;
        hi = hi < high[l] ? high[l] : hi;
    }
    for (; k < count; ++k) {
        lo = std::min(lo, samples[k]);
        hi = std::max(hi, samples[k]);
    }
    lowOut = lo;
    highOut = hi;
}

}  // namespace

BinWriter::BinWriter(PeakReceiver& receiver, int rate, Stretch stretch)
    : receiver_(receiver), rate_(rate), stretch_(stretch) {
    pending_.reserve(receiver.chunkBins() + 1);
    firstPending_ = stretch.first;
}

bool BinWriter::add(std::int64_t start, const float* samples, std::size_t count) {
    const std::int64_t keepFrom = FirstSampleOfBin(stretch_.first, rate_);
    const std::int64_t keepTo = FirstSampleOfBin(stretch_.end, rate_);
    std::int64_t n = start;
    std::size_t i = 0;
    if (n < keepFrom) {
        const std::int64_t skip = keepFrom - n;
        if (skip >= static_cast<std::int64_t>(count)) return true;
        i = static_cast<std::size_t>(skip);
        n = keepFrom;
    }
    while (i < count) {
        if (n >= keepTo) {
            flush();
            return false;
        }
        const auto bin = static_cast<std::size_t>(n * kBinsPerSecond / rate_);
        const std::int64_t binEnd = std::min(FirstSampleOfBin(bin + 1, rate_), keepTo);
        const std::size_t run = static_cast<std::size_t>(
            std::min<std::int64_t>(binEnd - n, static_cast<std::int64_t>(count - i)));
        float low, high;
        LowAndHigh(samples + i, run, low, high);
        fold(bin, low, high);
        i += run;
        n += static_cast<std::int64_t>(run);
    }
    return true;
}

void BinWriter::flush() {
    if (haveCurrent_) {
        pending_.push_back(current_);
        haveCurrent_ = false;
    }
    receiver_.report(firstPending_, pending_);
    firstPending_ += pending_.size();
    pending_.clear();
}

void BinWriter::fold(std::size_t bin, float low, float high) {
    // Stamps that step back would report a bin twice: those samples are dropped.
    if (bin >= kMaxBins || (haveCurrent_ && bin < currentBin_)) return;
    const Peak peak{Level(low), Level(high)};
    if (haveCurrent_ && bin == currentBin_) {
        current_.min = std::min(current_.min, peak.min);
        current_.max = std::max(current_.max, peak.max);
        return;
    }
    if (haveCurrent_) pending_.push_back(current_);
    // A jump in the stamps leaves bins unknown: hand over what came before it.
    if (bin != firstPending_ + pending_.size()) {
        receiver_.report(firstPending_, pending_);
        pending_.clear();
        firstPending_ = bin;
    } else if (pending_.size() >= receiver_.chunkBins()) {
        receiver_.report(firstPending_, pending_);
        firstPending_ += pending_.size();
        pending_.clear();
    }
    current_ = peak;
    currentBin_ = bin;
    haveCurrent_ = true;
}

}  // namespace tirelle::waveform
