#pragma once
// The detector's threads (detector.h): the stretches of the film they share out, the frame
// durations each counts, and the job that gathers what they found. Internal to the detector.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shots/detector_input.h"

namespace tirelle::shots::detectordetail {

// Time stamps are read in display order through a window this many frames deep (more than
// any decoder reorders).
constexpr std::size_t kReorderDepth = 32;
// Different frame durations beyond this many make the frame rate variable.
constexpr std::size_t kMostDurations = 64;

// A stretch of the film one thread looks at: cuts at `from` <= time < `to` (seconds).
struct Stretch {
    double from = 0;
    double to = std::numeric_limits<double>::infinity();
};

// How long the frames last, counted in the stream's time base from time stamps taken in
// display order. Bounded: past kMostDurations different values it only counts.
class FrameDurations {
public:
    void addStamp(std::int64_t stamp) {
        window_.insert(std::upper_bound(window_.begin(), window_.end(), stamp), stamp);
        if (window_.size() > kReorderDepth) take();
    }
    void finish() {
        while (!window_.empty()) take();
    }
    void merge(const FrameDurations& other) {
        for (const auto& [duration, count] : other.counts_) add(duration, count);
        overflow_ = overflow_ || other.overflow_;
    }
    bool overflowed() const { return overflow_; }
    const std::map<std::int64_t, std::size_t>& counts() const { return counts_; }

private:
    void take() {
        const std::int64_t stamp = window_.front();
        window_.erase(window_.begin());
        if (last_ && stamp > *last_) add(stamp - *last_, 1);
        last_ = stamp;
    }
    void add(std::int64_t duration, std::size_t count) {
        auto at = counts_.find(duration);
        if (at != counts_.end()) {
            at->second += count;
        } else if (counts_.size() < kMostDurations) {
            counts_.emplace(duration, count);
        } else {
            overflow_ = true;
        }
    }

    std::vector<std::int64_t> window_;
    std::optional<std::int64_t> last_;
    std::map<std::int64_t, std::size_t> counts_;
    bool overflow_ = false;
};

// The work the threads share: the stretches still to do, and what they found.
class Job {
public:
    Job(const DetectOptions& options, std::vector<Stretch> stretches, double duration)
        : options_(options), stretches_(std::move(stretches)), duration_(duration) {}

    std::optional<Stretch> nextStretch() {
        const std::size_t at = next_.fetch_add(1);
        if (at >= stretches_.size() || stopped()) return std::nullopt;
        return stretches_[at];
    }
    // Every stretch not handed out yet, as one that runs to the end.
    std::optional<Stretch> takeRest() {
        const std::size_t at = next_.exchange(stretches_.size());
        if (at >= stretches_.size()) return std::nullopt;
        return Stretch{stretches_[at].from};
    }
    bool stopped() const {
        return failed_.load() ||
               (options_.cancel && options_.cancel->load(std::memory_order_relaxed));
    }
    void fail(Failure failure) {
        std::lock_guard lock(mutex_);
        if (!failed_.exchange(true)) failure_ = std::move(failure);
    }
    const std::optional<Failure> failure() const {
        return failed_.load() ? std::optional<Failure>(failure_) : std::nullopt;
    }

    // What one stretch found.
    void report(const std::vector<double>& cuts, const FrameDurations& durations,
                std::size_t frames, std::optional<double> damage) {
        std::lock_guard lock(mutex_);
        cuts_.insert(cuts_.end(), cuts.begin(), cuts.end());
        durations_.merge(durations);
        frames_ += frames;
        if (damage && (!damage_ || *damage < *damage_)) damage_ = damage;
        damaged_ = damaged_ || damage.has_value();
    }
    void damagedSomewhere() {
        std::lock_guard lock(mutex_);
        damaged_ = true;
    }
    // Seconds of the film looked at since the last call, for the progress report.
    void advance(double seconds) {
        if (!options_.progress || seconds <= 0) return;
        std::lock_guard lock(mutex_);
        examined_ += seconds;
        if (duration_ > 0) options_.progress(std::min(1.0, examined_ / duration_));
    }

    std::vector<double> cuts() const {
        std::vector<double> sorted = cuts_;
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        return sorted;
    }
    FrameDurations& durations() { return durations_; }
    std::size_t frames() const { return frames_; }
    bool damaged() const { return damaged_; }
    std::optional<double> damage() const { return damage_; }

private:
    const DetectOptions& options_;
    std::vector<Stretch> stretches_;
    double duration_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> failed_{false};
    mutable std::mutex mutex_;
    Failure failure_{DetectStatus::Failed, ""};
    std::vector<double> cuts_;
    FrameDurations durations_;
    std::size_t frames_ = 0;
    bool damaged_ = false;
    std::optional<double> damage_;  // the earliest place known, seconds
    double examined_ = 0;
};

// Looks at the stretches the job hands out until none is left, from `input` (opened here when
// none is given); what goes wrong stops the job.
void RunWorker(Job& job, const std::string& path, const std::atomic<bool>* cancel,
               const StreamFacts& facts, int decoderThreads, std::unique_ptr<Input> input);

// The stretches for `threads` threads: one for the whole film with one thread, or when it cannot
// seek, is short or has no known length.
std::vector<Stretch> PlanStretches(const VideoInfo& info, int threads, bool seekable);

}  // namespace tirelle::shots::detectordetail
