#include "waveform/threadplan.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace tirelle::waveform {

std::vector<Stretch> PlanStretches(double duration, std::size_t bins, int threads, bool seekable) {
    // Short files, files without a length and files that cannot seek: one pass.
    if (threads <= 1 || !seekable || duration < 60) return {Stretch{}};
    // A few stretches per thread, so that all finish at about the same time; whole seconds.
    const double length = std::clamp(std::floor(duration / (threads * 6)), 20.0, 300.0);
    const auto step = static_cast<std::size_t>(length) * kBinsPerSecond;
    std::vector<Stretch> stretches;
    for (std::size_t first = 0; first < bins; first += step)
        stretches.push_back(Stretch{first, first + step});
    if (stretches.empty()) return {Stretch{}};
    stretches.back().end = kMaxBins;  // the last one runs to wherever the file ends
    return stretches;
}

int DecodingThreads(const DecodeOptions& options) {
    if (options.threads > 0) return options.threads;
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

std::optional<Stretch> Job::nextStretch() {
    const std::size_t at = next_.fetch_add(1);
    if (at >= stretches_.size() || stopped()) return std::nullopt;
    return stretches_[at];
}

std::optional<Stretch> Job::takeRest() {
    const std::size_t at = next_.exchange(stretches_.size());
    if (at >= stretches_.size()) return std::nullopt;
    return Stretch{stretches_[at].first, kMaxBins};
}

bool Job::stopped() const {
    return failed_.load() || (options_.cancel && options_.cancel->load(std::memory_order_relaxed));
}

void Job::report(std::size_t first, std::span<const Peak> peaks) {
    if (peaks.empty()) return;
    std::lock_guard lock(mutex_);
    reported_ += peaks.size();
    if (first < bins_) expectedReported_ += std::min(peaks.size(), bins_ - first);
    if (sink_.peaks) sink_.peaks(first, peaks);
}

void Job::fail(std::string message) {
    std::lock_guard lock(mutex_);
    if (!failed_.exchange(true)) failure_ = std::move(message);
}

}  // namespace tirelle::waveform
