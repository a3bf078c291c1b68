#include "waveform/decoder.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "waveform/binwriter.h"
#include "waveform/mediainput.h"
#include "waveform/speechrate.h"
#include "waveform/threadplan.h"

namespace tirelle::waveform {

namespace {

using detail::Failure;
using detail::Input;
using detail::Source;
using detail::StreamFacts;

// Decodes the stretches (in time order, one after the other) in one pass from where the input
// stands.
void decodeStretches(Input& input, Job& job, std::span<const Stretch> stretches) {
    const int rate = input.sampleRate();
    std::size_t at = 0;
    std::optional<BinWriter> writer(std::in_place, job, rate, stretches[at]);
    // One resampling for all of them, as a pass through the whole file would make; it needs a
    // little of the audio after them (its filter reaches ahead), so decoding may go on a bit.
    std::optional<detail::SpeechRateWriter> speech;
    if (job.speechFeed())
        speech.emplace(*job.speechFeed(), rate, Stretch{stretches.front().first, stretches.back().end});
    bool binsDone = false;
    bool speechDone = !speech;
    input.decode([&](std::int64_t start, const float* samples, std::size_t count) {
        if (job.stopped()) return false;
        // A frame that ends one stretch may begin the next.
        while (!binsDone && !writer->add(start, samples, count)) {
            if (++at == stretches.size()) {
                binsDone = true;
                break;
            }
            writer.emplace(job, rate, stretches[at]);
        }
        if (!speechDone) speechDone = !speech->add(start, samples, count);
        return !binsDone || !speechDone;
    });
    writer->flush();
    if (speech && !job.stopped()) speech->flush();
}

void runWorker(Job& job, const Source& source, const std::atomic<bool>* cancel,
               const StreamFacts& facts, std::unique_ptr<Input> input) {
    try {
        auto open = [&] {
            input = std::make_unique<Input>(source, cancel);
            input->useStream(facts);
        };
        if (!input) open();
        while (const std::optional<Stretch> stretch = job.nextStretch()) {
            if (stretch->first == 0 ||
                input->seekBefore(static_cast<double>(stretch->first) / kBinsPerSecond)) {
                decodeStretches(*input, job, std::span(&*stretch, 1));
                continue;
            }
            // Some files only count time from their start (raw AAC, for one). This thread then
            // takes its stretch and all that nobody has started, and decodes them from the start
            // of a fresh opening.
            std::vector<Stretch> mine = {*stretch};
            if (const std::optional<Stretch> rest = job.takeRest()) mine.push_back(*rest);
            open();
            decodeStretches(*input, job, mine);
        }
    } catch (const Failure& failure) {
        job.fail(failure.message);
    } catch (const std::exception& error) {
        job.fail(error.what());
    }
}

DecodeResult decodeSource(const Source& source, const PeakSink& sink, const DecodeOptions& options) {
    DecodeResult result;
    const std::atomic<bool>* cancel = options.cancel;
    auto wasCancelled = [&] { return cancel && cancel->load(); };
    try {
        auto first = std::make_unique<Input>(source, cancel);
        result.info = first->probe();
        if (sink.started) sink.started(result.info);

        int threads = DecodingThreads(options);
        std::vector<Stretch> stretches =
            PlanStretches(result.info.duration, result.info.bins, threads, first->seekable());
        threads = std::min<int>(threads, static_cast<int>(stretches.size()));
        Job job(sink, options, std::move(stretches), result.info.bins);
        const StreamFacts facts = first->facts();
        std::vector<std::thread> helpers;
        for (int i = 1; i < threads; ++i)
            helpers.emplace_back([&job, &source, cancel, &facts] {
                runWorker(job, source, cancel, facts, nullptr);
            });
        runWorker(job, source, cancel, facts, std::move(first));
        for (std::thread& helper : helpers) helper.join();

        result.binsReported = job.reported();
        if (wasCancelled()) {
            result.status = DecodeStatus::Cancelled;
        } else if (job.failed()) {
            result.status = DecodeStatus::Failed;
            result.message = job.failure();
        } else if (job.reported() == 0) {
            result.status = DecodeStatus::Failed;
            result.message = "no audio could be decoded";
        } else if (job.missing() > kBinsPerSecond) {
            result.status = DecodeStatus::Incomplete;
        } else {
            result.status = DecodeStatus::Complete;
        }
    } catch (const Failure& failure) {
        result.status = wasCancelled() ? DecodeStatus::Cancelled : failure.status;
        result.message = failure.message;
    } catch (const std::exception& error) {
        result.status = DecodeStatus::Failed;
        result.message = error.what();
    }
    return result;
}

}  // namespace

DecodeResult DecodePeaks(const std::string& path, const PeakSink& sink, const DecodeOptions& options) {
    Source source;
    source.path = path;
    return decodeSource(source, sink, options);
}

DecodeResult DecodePeaksFromMemory(std::span<const std::uint8_t> bytes, const PeakSink& sink,
                                   const DecodeOptions& options) {
    Source source;
    source.bytes = bytes;
    source.inMemory = true;
    return decodeSource(source, sink, options);
}

}  // namespace tirelle::waveform
