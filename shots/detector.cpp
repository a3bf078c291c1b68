// The detector's entry: the threads started over the planned stretches, and the verdict on
// what they found (the cuts, or why there are none: cancelled, damaged, a variable frame rate).

#include "shots/detector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shots/detector_input.h"
#include "shots/detector_work.h"

namespace tirelle::shots {

namespace {

using detectordetail::Failure;
using detectordetail::FrameDurations;
using detectordetail::Input;
using detectordetail::Job;
using detectordetail::PlanStretches;
using detectordetail::RunWorker;
using detectordetail::StreamFacts;
using detectordetail::Stretch;

// A frame duration this far (share) from the usual one is a different one.
constexpr double kDurationTolerance = 0.2;

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

// The most common frame duration in seconds, and whether the others are too many for a
// constant frame rate; nothing when no durations were seen.
struct RateVerdict {
    double frameDuration = 0;
    bool variable = false;
    std::size_t different = 0;
    std::size_t total = 0;
};

RateVerdict JudgeDurations(const FrameDurations& durations, AVRational timeBase) {
    RateVerdict verdict;
    std::int64_t usual = 0;
    std::size_t most = 0;
    for (const auto& [duration, count] : durations.counts()) {
        verdict.total += count;
        if (count > most) {
            most = count;
            usual = duration;
        }
    }
    if (verdict.total == 0) return verdict;
    for (const auto& [duration, count] : durations.counts())
        if (std::abs(static_cast<double>(duration - usual)) >
            kDurationTolerance * static_cast<double>(usual))
            verdict.different += count;
    verdict.frameDuration = static_cast<double>(usual) * av_q2d(timeBase);
    // A dropped or doubled frame here and there keeps the rate constant; one in a hundred
    // does not.
    verdict.variable = durations.overflowed() ||
                       (verdict.different > 2 && verdict.different * 100 > verdict.total);
    return verdict;
}

}  // namespace

DetectResult DetectCuts(const std::string& path, const DetectOptions& options) {
    DetectResult result;
    const std::atomic<bool>* cancel = options.cancel;
    auto wasCancelled = [&] { return cancel && cancel->load(); };
    try {
        auto first = std::make_unique<Input>(path, cancel);
        const StreamFacts facts = first->probe(result.info);

        int threads =
            options.threads > 0
                ? options.threads
                : static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
        std::vector<Stretch> stretches = PlanStretches(result.info, threads, facts.seekable);
        // One stretch: the decoder's own threads share the work. Several: a thread each.
        const int decoderThreads = stretches.size() == 1 ? threads : 1;
        threads = std::min<int>(threads, static_cast<int>(stretches.size()));
        first->use(facts, decoderThreads);
        Job job(options, std::move(stretches), result.info.duration);
        std::vector<std::thread> helpers;
        for (int i = 1; i < threads; ++i)
            helpers.emplace_back(
                [&job, &path, cancel, &facts] { RunWorker(job, path, cancel, facts, 1, nullptr); });
        RunWorker(job, path, cancel, facts, decoderThreads, std::move(first));
        for (std::thread& helper : helpers) helper.join();

        result.framesLookedAt = job.frames();
        const RateVerdict rate = JudgeDurations(job.durations(), facts.timeBase);
        if (wasCancelled()) {
            result.status = DetectStatus::Cancelled;
        } else if (const auto failure = job.failure()) {
            result.status = failure->status;
            result.message = failure->message;
        } else if (job.frames() == 0) {
            result.status = DetectStatus::Failed;
            result.message = "no picture could be decoded";
        } else if (job.frames() == 1) {
            result.status = DetectStatus::StillPicture;
            result.message = "a single picture has no shot changes";
        } else if (job.damaged()) {
            result.status = DetectStatus::Damaged;
            result.message = job.damage() ? "the video is damaged at " + Seconds(*job.damage())
                                          : "the video is damaged";
        } else if (rate.variable) {
            result.status = DetectStatus::VariableFrameRate;
            result.message = "the frame rate varies (" + std::to_string(rate.different) + " of " +
                             std::to_string(rate.total) + " frames last longer or shorter)";
        } else {
            result.status = DetectStatus::Complete;
            result.cuts.times = job.cuts();
            const double duration =
                rate.frameDuration > 0 ? rate.frameDuration : facts.frameDuration;
            result.cuts.frameRate = 1 / duration;
        }
    } catch (const Failure& failure) {
        result.status = wasCancelled() ? DetectStatus::Cancelled : failure.status;
        result.message = failure.message;
    } catch (const std::exception& error) {
        result.status = DetectStatus::Failed;
        result.message = error.what();
    }
    return result;
}

}  // namespace tirelle::shots
