#pragma once
// How the decoder shares a file among its threads: the stretches of bins it is cut into, and
// the job that hands them out and passes the threads' peaks to the sink. No media library.

#include <atomic>
#include <memory>
#include <cstddef>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "waveform/binwriter.h"
#include "waveform/decoder.h"
#include "waveform/orderedfeed.h"

namespace tirelle::waveform {

// The stretches of a file of `bins` bins (`duration` seconds) for `threads` threads: one that
// runs to the end for a short file (under a minute), one thread, a file that cannot seek or one
// without a length; otherwise a few stretches per thread, each a whole number of seconds from
// 20 s to 5 minutes, in time order, the last one running to the end of the file.
std::vector<Stretch> PlanStretches(double duration, std::size_t bins, int threads, bool seekable);

// The threads to use when the options leave it open: the machine's cores, at most 4.
int DecodingThreads(const DecodeOptions& options);

// The work shared by the threads: the stretches still to do and the sink behind its lock.
class Job final : public PeakReceiver {
public:
    Job(const PeakSink& sink, const DecodeOptions& options, std::vector<Stretch> stretches,
        std::size_t bins)
        : sink_(sink), options_(options), stretches_(std::move(stretches)), bins_(bins) {
        if (sink.speech) speechFeed_ = std::make_unique<OrderedFeed>(sink.speech);
    }

    // The next stretch in time order; nothing when all are handed out or the job stopped.
    std::optional<Stretch> nextStretch();
    // All the stretches not handed out yet, as one that runs to the end; none are handed out
    // after.
    std::optional<Stretch> takeRest();
    // Failed or cancelled.
    bool stopped() const;
    const DecodeOptions& options() const { return options_; }
    // Where the stretches' samples for the speech detector go; null when nobody wants them.
    OrderedFeed* speechFeed() { return speechFeed_.get(); }

    void report(std::size_t first, std::span<const Peak> peaks) override;
    std::size_t chunkBins() const override { return std::max<std::size_t>(1, options_.chunkBins); }

    // The first failure is kept; the others threads stop soon after.
    void fail(std::string message);
    bool failed() const { return failed_.load(); }
    const std::string& failure() const { return failure_; }
    std::size_t reported() const { return reported_; }
    // Bins within the length the file tells that were not reported.
    std::size_t missing() const { return bins_ - expectedReported_; }

private:
    const PeakSink& sink_;
    const DecodeOptions& options_;
    std::vector<Stretch> stretches_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> failed_{false};
    std::mutex mutex_;
    std::string failure_;
    std::size_t bins_;
    std::size_t reported_ = 0;
    std::size_t expectedReported_ = 0;
    std::unique_ptr<OrderedFeed> speechFeed_;
};

}  // namespace tirelle::waveform
