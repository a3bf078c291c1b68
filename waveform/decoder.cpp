#include "waveform/decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tirelle::waveform {

namespace {

// A stretch of bins one thread decodes; the last one runs to the end of the file.
struct Stretch {
    std::size_t first = 0;
    std::size_t end = kMaxBins;
};

// Decoding starts this long before a stretch, so that the decoder has settled (an AAC frame
// overlaps the one before it) when the first kept sample comes.
constexpr double kRunInSeconds = 1.0;

struct Failure {
    DecodeStatus status;
    std::string message;
};

std::string errorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}

// Where the bytes come from: a file, or a buffer in memory.
struct Source {
    std::string path;
    std::span<const std::uint8_t> bytes;
    bool inMemory = false;
};

struct MemoryReader {
    std::span<const std::uint8_t> bytes;
    std::int64_t at = 0;

    static int read(void* opaque, std::uint8_t* buffer, int size) {
        auto* self = static_cast<MemoryReader*>(opaque);
        const auto left = static_cast<std::int64_t>(self->bytes.size()) - self->at;
        if (left <= 0) return AVERROR_EOF;
        const int n = static_cast<int>(std::min<std::int64_t>(left, size));
        std::memcpy(buffer, self->bytes.data() + self->at, static_cast<std::size_t>(n));
        self->at += n;
        return n;
    }
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        auto* self = static_cast<MemoryReader*>(opaque);
        const auto size = static_cast<std::int64_t>(self->bytes.size());
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE: return size;
            case SEEK_SET: break;
            case SEEK_CUR: offset += self->at; break;
            case SEEK_END: offset += size; break;
            default: return -1;
        }
        if (offset < 0 || offset > size) return -1;
        self->at = offset;
        return offset;
    }
};

struct ParametersFree {
    void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};

// What the first opening learned of the audio stream by reading into it. The later openings
// take it from there rather than reading again: in MPEG-TS, MP3 and raw AAC only that reading
// finds the sample rate and where the stream's clock starts.
struct StreamFacts {
    int stream = -1;
    std::unique_ptr<AVCodecParameters, ParametersFree> parameters;
    std::int64_t startTs = 0;  // the stream's time 0, in its time base
    AVRational timeBase{1, 1};
};

// One opening of the source: demuxer, the audio stream's decoder and the mix-down.
class Input {
public:
    Input(const Source& source, const std::atomic<bool>* cancel) : cancel_(cancel) {
        format_ = avformat_alloc_context();
        if (!format_) throw Failure{DecodeStatus::Failed, "out of memory"};
        format_->interrupt_callback = {&Input::interrupted, this};
        if (source.inMemory) {
            reader_.bytes = source.bytes;
            constexpr int kBufferSize = 1 << 16;
            auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
            io_ = buffer ? avio_alloc_context(buffer, kBufferSize, 0, &reader_, &MemoryReader::read,
                                              nullptr, &MemoryReader::seek)
                         : nullptr;
            if (!io_) {
                av_free(buffer);
                avformat_free_context(format_);
                format_ = nullptr;
                throw Failure{DecodeStatus::Failed, "out of memory"};
            }
            format_->pb = io_;
        }
        // On failure avformat_open_input frees the context itself.
        const int opened = avformat_open_input(&format_, source.path.c_str(), nullptr, nullptr);
        if (opened < 0) {
            // The context is gone; our own reader is not (and no destructor runs after a throw).
            format_ = nullptr;
            if (io_) {
                av_freep(&io_->buffer);
                avio_context_free(&io_);
            }
            throw Failure{DecodeStatus::Failed, errorText(opened)};
        }
    }

    ~Input() {
        swr_free(&swr_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
        if (io_) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
        av_frame_free(&frame_);
        av_packet_free(&packet_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Reads the stream headers and picks the audio stream (the first opening only).
    AudioInfo probe() {
        const int found = avformat_find_stream_info(format_, nullptr);
        if (found < 0) throw Failure{DecodeStatus::Failed, errorText(found)};
        const int stream = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream < 0) {
            if (stream == AVERROR_DECODER_NOT_FOUND)
                throw Failure{DecodeStatus::Failed, "no decoder for the audio"};
            throw Failure{DecodeStatus::NoAudio, "no audio stream"};
        }
        const AVStream* s = format_->streams[stream];
        openDecoder(stream, s->codecpar);
        const std::int64_t start = format_->start_time;
        startTs_ = start != AV_NOPTS_VALUE ? av_rescale_q(start, AV_TIME_BASE_Q, s->time_base) : 0;
        if (s->start_time != AV_NOPTS_VALUE && start == AV_NOPTS_VALUE) startTs_ = s->start_time;
        AudioInfo info;
        if (s->duration > 0 && s->duration != AV_NOPTS_VALUE)
            info.duration = static_cast<double>(s->duration) * av_q2d(s->time_base);
        else if (format_->duration > 0 && format_->duration != AV_NOPTS_VALUE)
            info.duration = static_cast<double>(format_->duration) / AV_TIME_BASE;
        if (!std::isfinite(info.duration) || info.duration < 0) info.duration = 0;
        const double bins = std::ceil(info.duration * kBinsPerSecond);
        info.bins = bins < static_cast<double>(kMaxBins) ? static_cast<std::size_t>(bins) : kMaxBins;
        info.sampleRate = codec_->sample_rate;
        info.channels = codec_->ch_layout.nb_channels;
        info.codec = codec_->codec ? codec_->codec->name : "";
        if (info.sampleRate <= 0) throw Failure{DecodeStatus::Failed, "the audio has no sample rate"};
        return info;
    }

    // The probed stream's facts, for later openings (after probe()).
    StreamFacts facts() const {
        StreamFacts facts;
        facts.stream = stream_;
        facts.parameters.reset(avcodec_parameters_alloc());
        if (!facts.parameters || avcodec_parameters_copy(facts.parameters.get(),
                                                         format_->streams[stream_]->codecpar) < 0)
            throw Failure{DecodeStatus::Failed, "out of memory"};
        facts.startTs = startTs_;
        facts.timeBase = format_->streams[stream_]->time_base;
        return facts;
    }

    // Opens the decoder of the stream the first opening probed, as that opening found it.
    void useStream(const StreamFacts& facts) {
        if (facts.stream < 0 || facts.stream >= static_cast<int>(format_->nb_streams))
            throw Failure{DecodeStatus::Failed, "the audio stream is gone"};
        openDecoder(facts.stream, facts.parameters.get());
        startTs_ =
            av_rescale_q(facts.startTs, facts.timeBase, format_->streams[stream_]->time_base);
    }

    bool seekable() const { return format_->pb && (format_->pb->seekable & AVIO_SEEKABLE_NORMAL); }
    int sampleRate() const { return codec_->sample_rate; }

    // Positions the input a little before `seconds`; false when the demuxer cannot seek.
    bool seekBefore(double seconds) {
        const AVStream* s = format_->streams[stream_];
        const double target = std::max(0.0, seconds - kRunInSeconds);
        const std::int64_t ts =
            startTs_ + static_cast<std::int64_t>(target / av_q2d(s->time_base));
        if (av_seek_frame(format_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
        // A new decoder rather than a flushed one: some keep state through a flush (the AAC
        // decoder does), and the peaks should not depend on what this thread decoded before.
        openCodec();
        return true;
    }

    // Calls `use(firstSample, samples, count)` for every decoded frame, mixed down to one
    // channel, until `use` returns false, the stream ends or decoding is cancelled. Sample
    // numbers count from time 0 at the stream's rate.
    template <class Use>
    void decode(Use&& use) {
        bool more = true;
        bool draining = false;
        while (more) {
            if (cancelled()) return;
            if (!draining) {
                const int read = av_read_frame(format_, packet_);
                if (read < 0) {
                    if (read == AVERROR_EXIT) return;  // cancelled
                    draining = true;                   // end of the file or a broken tail
                    avcodec_send_packet(codec_, nullptr);
                } else {
                    const bool ours = packet_->stream_index == stream_;
                    // A damaged packet is skipped; the decoder goes on with the next one.
                    if (ours) avcodec_send_packet(codec_, packet_);
                    av_packet_unref(packet_);
                    if (!ours) continue;
                }
            }
            for (;;) {
                const int got = avcodec_receive_frame(codec_, frame_);
                if (got == AVERROR(EAGAIN)) break;
                if (got < 0) return;  // drained, or the decoder gave up
                more = mixDown() && use(frameStart(), mono_.data(), mono_.size());
                av_frame_unref(frame_);
                if (!more) return;
            }
        }
    }

private:
    static int interrupted(void* opaque) {
        const auto* self = static_cast<const Input*>(opaque);
        return self->cancelled() ? 1 : 0;
    }
    bool cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

    void openDecoder(int stream, const AVCodecParameters* parameters) {
        stream_ = stream;
        for (unsigned i = 0; i < format_->nb_streams; ++i)
            format_->streams[i]->discard =
                static_cast<int>(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        parameters_.reset(avcodec_parameters_alloc());
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!parameters_ || avcodec_parameters_copy(parameters_.get(), parameters) < 0 || !frame_ ||
            !packet_)
            throw Failure{DecodeStatus::Failed, "out of memory"};
        openCodec();
    }

    void openCodec() {
        avcodec_free_context(&codec_);
        const AVCodec* decoder = avcodec_find_decoder(parameters_->codec_id);
        if (!decoder) throw Failure{DecodeStatus::Failed, "no decoder for the audio"};
        codec_ = avcodec_alloc_context3(decoder);
        if (!codec_) throw Failure{DecodeStatus::Failed, "out of memory"};
        int result = avcodec_parameters_to_context(codec_, parameters_.get());
        codec_->thread_count = 1;  // the stretches are the parallel work
        if (result >= 0) result = avcodec_open2(codec_, decoder, nullptr);
        if (result < 0) throw Failure{DecodeStatus::Failed, errorText(result)};
    }

    // The first sample of the current frame, from its time stamp when it has one; a stamp within
    // 5 ms of where the previous frame ended counts as that place (stamps are rounded).
    std::int64_t frameStart() {
        const int rate = sampleRate();
        std::int64_t start = nextSample_;
        const std::int64_t stamp = frame_->best_effort_timestamp;
        if (stamp != AV_NOPTS_VALUE) {
            const AVStream* s = format_->streams[stream_];
            const std::int64_t fromStamp = av_rescale_q(stamp - startTs_, s->time_base, AVRational{1, rate});
            if (!haveNext_ || std::llabs(fromStamp - nextSample_) > rate / 200) start = fromStamp;
        }
        nextSample_ = start + static_cast<std::int64_t>(mono_.size());
        haveNext_ = true;
        return start;
    }

    // Mixes the frame down to one channel of floats in mono_; false on a frame it cannot mix.
    bool mixDown() {
        mono_.clear();
        if (frame_->nb_samples <= 0) return true;
        AVChannelLayout layout{};
        if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame_->ch_layout.nb_channels <= 0)
            av_channel_layout_default(&layout, std::max(1, frame_->ch_layout.nb_channels));
        else if (av_channel_layout_copy(&layout, &frame_->ch_layout) < 0)
            return false;
        const bool same = swr_ && av_channel_layout_compare(&layout, &swrLayout_) == 0 &&
                          frame_->format == swrFormat_ && frame_->sample_rate == swrRate_;
        if (!same) {
            swr_free(&swr_);
            av_channel_layout_uninit(&swrLayout_);
            AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
            const int rate = frame_->sample_rate > 0 ? frame_->sample_rate : sampleRate();
            if (swr_alloc_set_opts2(&swr_, &mono, AV_SAMPLE_FMT_FLT, rate, &layout,
                                    static_cast<AVSampleFormat>(frame_->format), rate, 0, nullptr) < 0 ||
                // Channel weights that add up to 1: the same sound on both sides keeps its level.
                av_opt_set_double(swr_, "rematrix_maxval", 1.0, 0) < 0 || swr_init(swr_) < 0) {
                swr_free(&swr_);
                av_channel_layout_uninit(&layout);
                return false;
            }
            av_channel_layout_copy(&swrLayout_, &layout);
            swrFormat_ = frame_->format;
            swrRate_ = frame_->sample_rate;
        }
        av_channel_layout_uninit(&layout);
        const int room = swr_get_out_samples(swr_, frame_->nb_samples);
        if (room <= 0) return true;
        mono_.resize(static_cast<std::size_t>(room));
        auto* out = reinterpret_cast<std::uint8_t*>(mono_.data());
        const int made = swr_convert(swr_, &out, room, const_cast<const std::uint8_t**>(frame_->extended_data),
                                     frame_->nb_samples);
        mono_.resize(made > 0 ? static_cast<std::size_t>(made) : 0);
        return made >= 0;
    }

    const std::atomic<bool>* cancel_;
    MemoryReader reader_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
    std::unique_ptr<AVCodecParameters, ParametersFree> parameters_;  // the decoder's
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVChannelLayout swrLayout_{};
    int swrFormat_ = -1;
    int swrRate_ = -1;
    int stream_ = -1;
    std::int64_t startTs_ = 0;
    std::int64_t nextSample_ = 0;
    bool haveNext_ = false;
    std::vector<float> mono_;
};

// The work shared by the threads: the stretches still to do and the sink behind its lock.
class Job {
public:
    Job(const PeakSink& sink, const DecodeOptions& options, std::vector<Stretch> stretches,
        std::size_t bins)
        : sink_(sink), options_(options), stretches_(std::move(stretches)), bins_(bins) {}

    std::optional<Stretch> nextStretch() {
        const std::size_t at = next_.fetch_add(1);
        if (at >= stretches_.size() || stopped()) return std::nullopt;
        return stretches_[at];
    }
    // All the stretches not handed out yet, as one that runs to the end; none are handed out after.
    std::optional<Stretch> takeRest() {
        const std::size_t at = next_.exchange(stretches_.size());
        if (at >= stretches_.size()) return std::nullopt;
        return Stretch{stretches_[at].first, kMaxBins};
    }
    bool stopped() const {
        return failed_.load() || (options_.cancel && options_.cancel->load(std::memory_order_relaxed));
    }
    void report(std::size_t first, std::span<const Peak> peaks) {
        if (peaks.empty()) return;
        std::lock_guard lock(mutex_);
        reported_ += peaks.size();
        if (first < bins_) expectedReported_ += std::min(peaks.size(), bins_ - first);
        if (sink_.peaks) sink_.peaks(first, peaks);
    }
    void fail(std::string message) {
        std::lock_guard lock(mutex_);
        if (!failed_.exchange(true)) failure_ = std::move(message);
    }
    bool failed() const { return failed_.load(); }
    const std::string& failure() const { return failure_; }
    std::size_t reported() const { return reported_; }
    // Bins within the length the file tells that were not reported.
    std::size_t missing() const { return bins_ - expectedReported_; }
    std::size_t chunkBins() const { return std::max<std::size_t>(1, options_.chunkBins); }

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
};

// Folds samples into bins of one stretch and hands them over in chunks.
class BinWriter {
public:
    BinWriter(Job& job, int rate, Stretch stretch) : job_(job), rate_(rate), stretch_(stretch) {
        pending_.reserve(job.chunkBins() + 1);
        firstPending_ = stretch.first;
    }
    ~BinWriter() = default;

    // The first sample of bin `bin`.
    std::int64_t firstSample(std::size_t bin) const {
        const auto b = static_cast<std::int64_t>(bin);
        return (b * rate_ + kBinsPerSecond - 1) / kBinsPerSecond;
    }

    // Adds samples numbered from `start`; false once the stretch is complete.
    bool add(std::int64_t start, const float* samples, std::size_t count) {
        const std::int64_t keepFrom = firstSample(stretch_.first);
        const std::int64_t keepTo = firstSample(stretch_.end);
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
            const std::int64_t binEnd = std::min(firstSample(bin + 1), keepTo);
            const std::size_t run = static_cast<std::size_t>(
                std::min<std::int64_t>(binEnd - n, static_cast<std::int64_t>(count - i)));
            float low = samples[i], high = samples[i];
            for (std::size_t k = i + 1; k < i + run; ++k) {
                low = std::min(low, samples[k]);
                high = std::max(high, samples[k]);
            }
            fold(bin, low, high);
            i += run;
            n += static_cast<std::int64_t>(run);
        }
        return true;
    }

    void flush() {
        if (haveCurrent_) {
            pending_.push_back(current_);
            haveCurrent_ = false;
        }
        job_.report(firstPending_, pending_);
        firstPending_ += pending_.size();
        pending_.clear();
    }

private:
    static std::int16_t level(float value) {
        const float scaled = std::round(value * 32767.0f);
        if (!(scaled >= -32768.0f)) return scaled > 0 ? 32767 : -32768;  // NaN counts as low
        return static_cast<std::int16_t>(std::min(scaled, 32767.0f));
    }

    void fold(std::size_t bin, float low, float high) {
        // Stamps that step back would report a bin twice: those samples are dropped.
        if (bin >= kMaxBins || (haveCurrent_ && bin < currentBin_)) return;
        const Peak peak{level(low), level(high)};
        if (haveCurrent_ && bin == currentBin_) {
            current_.min = std::min(current_.min, peak.min);
            current_.max = std::max(current_.max, peak.max);
            return;
        }
        if (haveCurrent_) pending_.push_back(current_);
        // A jump in the stamps leaves bins unknown: hand over what came before it.
        if (bin != firstPending_ + pending_.size()) {
            job_.report(firstPending_, pending_);
            pending_.clear();
            firstPending_ = bin;
        } else if (pending_.size() >= job_.chunkBins()) {
            job_.report(firstPending_, pending_);
            firstPending_ += pending_.size();
            pending_.clear();
        }
        current_ = peak;
        currentBin_ = bin;
        haveCurrent_ = true;
    }

    Job& job_;
    std::int64_t rate_;
    Stretch stretch_;
    std::vector<Peak> pending_;
    std::size_t firstPending_ = 0;
    Peak current_;
    std::size_t currentBin_ = 0;
    bool haveCurrent_ = false;
};

// Decodes the stretches (in time order) in one pass from where the input stands.
void decodeStretches(Input& input, Job& job, std::span<const Stretch> stretches) {
    std::size_t at = 0;
    std::optional<BinWriter> writer(std::in_place, job, input.sampleRate(), stretches[at]);
    input.decode([&](std::int64_t start, const float* samples, std::size_t count) {
        if (job.stopped()) return false;
        // A frame that ends one stretch may begin the next.
        while (!writer->add(start, samples, count)) {
            if (++at == stretches.size()) return false;
            writer.emplace(job, input.sampleRate(), stretches[at]);
        }
        return true;
    });
    writer->flush();
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

std::vector<Stretch> planStretches(const AudioInfo& info, int threads, bool seekable) {
    // Short files, files without a length and files that cannot seek: one pass.
    if (threads <= 1 || !seekable || info.duration < 60) return {Stretch{}};
    // A few stretches per thread, so that all finish at about the same time; whole seconds.
    const double length = std::clamp(std::floor(info.duration / (threads * 6)), 20.0, 300.0);
    const auto step = static_cast<std::size_t>(length) * kBinsPerSecond;
    std::vector<Stretch> stretches;
    for (std::size_t first = 0; first < info.bins; first += step)
        stretches.push_back(Stretch{first, first + step});
    stretches.back().end = kMaxBins;  // the last one runs to wherever the file ends
    return stretches;
}

DecodeResult decodeSource(const Source& source, const PeakSink& sink, const DecodeOptions& options) {
    DecodeResult result;
    const std::atomic<bool>* cancel = options.cancel;
    auto wasCancelled = [&] { return cancel && cancel->load(); };
    try {
        auto first = std::make_unique<Input>(source, cancel);
        result.info = first->probe();
        if (sink.started) sink.started(result.info);

        int threads = options.threads > 0 ? options.threads
                                          : static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
        std::vector<Stretch> stretches = planStretches(result.info, threads, first->seekable());
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
