#include "shots/detector.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "shots/finder.h"

namespace tirelle::shots {

namespace {

// Seconds looked at before and after a stretch, so that the finder judges the cuts near its
// ends with the frames around them, as it would in one pass (it looks a second either way).
constexpr double kLead = 1.5;
constexpr double kTail = 1.5;
// Stretches are at least this long and at most that long (seconds): few, so that the lead,
// the tail and the decoding from the key frame before each cost little, but not so few that a
// thread finishing early waits long for the others on a long film.
constexpr double kShortestStretch = 30;
constexpr double kLongestStretch = 600;
// Time stamps are read in display order through a window this many frames deep (more than
// any decoder reorders).
constexpr std::size_t kReorderDepth = 32;
// Different frame durations beyond this many make the frame rate variable.
constexpr std::size_t kMostDurations = 64;
// A frame duration this far (share) from the usual one is a different one.
constexpr double kDurationTolerance = 0.2;

struct Failure {
    DetectStatus status;
    std::string message;
};

std::string ErrorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

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

// Formats whose first plane is the luma, one byte a pixel.
bool EightBitLuma(int format) {
    switch (static_cast<AVPixelFormat>(format)) {
        case AV_PIX_FMT_YUV420P:
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUV422P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUV444P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUV440P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUV411P:
        case AV_PIX_FMT_YUV410P:
        case AV_PIX_FMT_YUVA420P:
        case AV_PIX_FMT_NV12:
        case AV_PIX_FMT_NV21:
        case AV_PIX_FMT_GRAY8:
            return true;
        default:
            return false;
    }
}

// sums[x] += row[x] for x < width (sums has room for 16 more).
void AddRow(const std::uint8_t* row, std::uint16_t* sums, int width) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= width; x += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        auto* low = reinterpret_cast<__m128i*>(sums + x);
        auto* high = reinterpret_cast<__m128i*>(sums + x + 8);
        _mm_storeu_si128(low, _mm_add_epi16(_mm_loadu_si128(low), _mm_unpacklo_epi8(bytes, zero)));
        _mm_storeu_si128(high,
                         _mm_add_epi16(_mm_loadu_si128(high), _mm_unpackhi_epi8(bytes, zero)));
    }
#endif
    for (; x < width; ++x) sums[x] = static_cast<std::uint16_t>(sums[x] + row[x]);
}

struct ParametersFree {
    void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};

// What the first opening learned of the video stream by reading into it; later openings take
// it from there rather than reading again (in MPEG-TS only that reading finds the picture size).
struct StreamFacts {
    int stream = -1;
    std::shared_ptr<AVCodecParameters> parameters;
    AVRational timeBase{1, 1};
    std::int64_t startTs = 0;         // the file's time 0 in the stream's time base
    double frameDuration = 1.0 / 25;  // seconds, as the stream says
    bool seekable = false;
};

// One opening of the file: demuxer, the video decoder and the scaler to small pictures.
class Input {
public:
    Input(const std::string& path, const std::atomic<bool>* cancel) : cancel_(cancel) {
        format_ = avformat_alloc_context();
        if (!format_) throw Failure{DetectStatus::Failed, "out of memory"};
        format_->interrupt_callback = {&Input::interrupted, this};
        // On failure avformat_open_input frees the context itself.
        const int opened = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
        if (opened < 0) {
            format_ = nullptr;
            throw Failure{DetectStatus::Failed, ErrorText(opened)};
        }
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!frame_ || !packet_) throw Failure{DetectStatus::Failed, "out of memory"};
    }
    ~Input() {
        sws_freeContext(scaler_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Reads the stream headers and picks the video stream (the first opening only).
    StreamFacts probe(VideoInfo& info) {
        const int found = avformat_find_stream_info(format_, nullptr);
        if (found < 0) throw Failure{DetectStatus::Failed, ErrorText(found)};
        int stream = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (stream == AVERROR_DECODER_NOT_FOUND)
            throw Failure{DetectStatus::Failed, "no decoder for the video"};
        // A cover picture in an audio file is a video stream too, but not a film.
        bool cover = false;
        auto isCover = [this](int s) {
            return (format_->streams[s]->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
        };
        if (stream >= 0 && isCover(stream)) {
            cover = true;
            stream = -1;
            for (unsigned s = 0; s < format_->nb_streams; ++s)
                if (format_->streams[s]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                    !isCover(static_cast<int>(s)))
                    stream = static_cast<int>(s);
        }
        if (stream < 0)
            throw Failure{DetectStatus::NoVideo,
                          cover ? "the only picture is a cover picture" : "no video stream"};

        StreamFacts facts;
        facts.stream = stream;
        const AVStream* s = format_->streams[stream];
        facts.timeBase = s->time_base;
        const std::int64_t start = format_->start_time;
        facts.startTs = start != AV_NOPTS_VALUE ? av_rescale_q(start, AV_TIME_BASE_Q, s->time_base)
                        : s->start_time != AV_NOPTS_VALUE ? s->start_time
                                                          : 0;
        const AVRational rate = av_guess_frame_rate(format_, const_cast<AVStream*>(s), nullptr);
        if (rate.num > 0 && rate.den > 0) {
            info.frameRate = av_q2d(rate);
            facts.frameDuration = 1 / info.frameRate;
        }
        if (format_->duration > 0 && format_->duration != AV_NOPTS_VALUE)
            info.duration = static_cast<double>(format_->duration) / AV_TIME_BASE;
        else if (s->duration > 0 && s->duration != AV_NOPTS_VALUE)
            info.duration = static_cast<double>(s->duration) * av_q2d(s->time_base);
        if (!std::isfinite(info.duration) || info.duration < 0) info.duration = 0;
        facts.seekable = format_->pb && (format_->pb->seekable & AVIO_SEEKABLE_NORMAL);
        facts.parameters.reset(avcodec_parameters_alloc(), ParametersFree());
        if (!facts.parameters || avcodec_parameters_copy(facts.parameters.get(), s->codecpar) < 0)
            throw Failure{DetectStatus::Failed, "out of memory"};
        info.width = s->codecpar->width;
        info.height = s->codecpar->height;
        const AVCodec* decoder = avcodec_find_decoder(s->codecpar->codec_id);
        if (!decoder) throw Failure{DetectStatus::Failed, "no decoder for the video"};
        info.codec = decoder->name;
        return facts;
    }

    // Opens the decoder of the stream, with `threads` of its own.
    void use(const StreamFacts& facts, int threads) {
        if (facts.stream < 0 || facts.stream >= static_cast<int>(format_->nb_streams))
            throw Failure{DetectStatus::Failed, "the video stream is gone"};
        facts_ = facts;
        for (unsigned i = 0; i < format_->nb_streams; ++i)
            format_->streams[i]->discard =
                static_cast<int>(i) == facts.stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        const AVCodecParameters* parameters = facts.parameters.get();
        const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
        if (!decoder) throw Failure{DetectStatus::Failed, "no decoder for the video"};
        avcodec_free_context(&codec_);
        codec_ = avcodec_alloc_context3(decoder);
        if (!codec_) throw Failure{DetectStatus::Failed, "out of memory"};
        int result = avcodec_parameters_to_context(codec_, parameters);
        codec_->thread_count = threads;
        // The small picture needs neither the deblocking nor the frames nothing refers to.
        codec_->skip_loop_filter = AVDISCARD_ALL;
        codec_->skip_frame = AVDISCARD_NONREF;
        if (result >= 0) result = avcodec_open2(codec_, decoder, nullptr);
        if (result < 0) throw Failure{DetectStatus::Failed, ErrorText(result)};
    }

    // Decodes every frame from now on (true) or only those something refers to (false).
    void decodeAll(bool all) { codec_->skip_frame = all ? AVDISCARD_DEFAULT : AVDISCARD_NONREF; }

    // Positions the input at a key frame at or before `seconds`; false when it cannot seek.
    bool seekBefore(double seconds) {
        const double ticks = std::max(0.0, seconds) / av_q2d(facts_.timeBase);
        const std::int64_t ts = facts_.startTs + static_cast<std::int64_t>(ticks);
        if (av_seek_frame(format_, facts_.stream, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
        avcodec_flush_buffers(codec_);
        previous_.reset();
        return true;
    }

    double timeOf(std::int64_t stamp) const {
        return static_cast<double>(stamp - facts_.startTs) * av_q2d(facts_.timeBase);
    }

    // Calls `packet(stamp)` for every packet of the stream read (its presentation stamp, or
    // none) and `frame(seconds, picture)` for every decoded frame, `picture()` making its small
    // picture, until one returns false, the stream ends or decoding is cancelled. Damage is
    // reported to `damaged(seconds)`, where it was found (the last frame's time where the
    // damage has no stamp; nothing before the first frame). Returns false when cancelled.
    template <class OnPacket, class OnFrame, class OnDamage>
    bool decode(OnPacket&& packet, OnFrame&& frame, OnDamage&& damaged) {
        bool draining = false;
        for (;;) {
            if (cancelled()) return false;
            if (!draining) {
                const int read = av_read_frame(format_, packet_);
                if (read == AVERROR_EXIT) return false;
                if (read < 0) {
                    if (read != AVERROR_EOF) damaged(previous_);
                    draining = true;  // the end of the file, or a tail that cannot be read
                    avcodec_send_packet(codec_, nullptr);
                } else {
                    const bool ours = packet_->stream_index == facts_.stream;
                    bool more = true;
                    if (ours) {
                        const std::optional<std::int64_t> stamp =
                            packet_->pts != AV_NOPTS_VALUE
                                ? std::optional<std::int64_t>(packet_->pts)
                                : std::nullopt;
                        more = packet(stamp);
                        const std::optional<double> at = stamp ? timeOf(*stamp) : previous_;
                        if (packet_->flags & AV_PKT_FLAG_CORRUPT) damaged(at);
                        // A damaged packet is skipped; the decoder goes on with the next one.
                        const int sent = avcodec_send_packet(codec_, packet_);
                        if (sent < 0 && sent != AVERROR(EAGAIN)) damaged(at);
                    }
                    av_packet_unref(packet_);
                    if (!more) return true;
                    if (!ours) continue;
                }
            }
            for (;;) {
                const int got = avcodec_receive_frame(codec_, frame_);
                if (got == AVERROR(EAGAIN)) break;
                if (got == AVERROR_EOF) return true;
                if (got < 0) {
                    damaged(previous_);
                    if (draining) return true;
                    break;
                }
                const std::int64_t stamp = frame_->best_effort_timestamp;
                if (frame_->decode_error_flags || (frame_->flags & AV_FRAME_FLAG_CORRUPT))
                    damaged(stamp != AV_NOPTS_VALUE ? std::optional<double>(timeOf(stamp))
                                                    : previous_);
                const std::optional<double> time = frameTime(stamp);
                bool more = true;
                if (time) more = frame(*time, [this] { return picture(); });
                av_frame_unref(frame_);
                if (!more) return true;
            }
        }
    }

private:
    static int interrupted(void* opaque) {
        return static_cast<const Input*>(opaque)->cancelled() ? 1 : 0;
    }
    bool cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

    // The frame's time, later than the one before; none for a frame whose stamp steps back.
    std::optional<double> frameTime(std::int64_t stamp) {
        double time = 0;
        if (stamp != AV_NOPTS_VALUE)
            time = timeOf(stamp);
        else if (previous_)
            time = *previous_ + facts_.frameDuration;
        if (!std::isfinite(time) || (previous_ && time <= *previous_)) return std::nullopt;
        previous_ = time;
        return time;
    }

    // The decoded frame scaled to the small grey picture: the luma plane averaged over boxes
    // where it is 8-bit planar (most video), else through the scaler.
    Picture picture() {
        if (const int w = frame_->width, h = frame_->height;
            w >= kPictureWidth && h >= kPictureHeight && EightBitLuma(frame_->format)) {
            const std::uint8_t* luma = frame_->data[0];
            const int stride = frame_->linesize[0];
            // Column sums of one band of rows in 16 bits: 257 rows of 255 at most.
            if ((h + kPictureHeight - 1) / kPictureHeight > 257) return scaled();
            columns_.resize(static_cast<std::size_t>(w + 16));
            for (int oy = 0; oy < kPictureHeight; ++oy) {
                // The rows of the band summed down each column, then the columns of each box
                // summed across.
                const int y0 = oy * h / kPictureHeight;
                const int y1 = (oy + 1) * h / kPictureHeight;
                std::fill(columns_.begin(), columns_.end(), std::uint16_t{0});
                for (int y = y0; y < y1; ++y)
                    AddRow(luma + static_cast<std::ptrdiff_t>(y) * stride, columns_.data(), w);
                for (int ox = 0; ox < kPictureWidth; ++ox) {
                    const int x0 = ox * w / kPictureWidth;
                    const int x1 = (ox + 1) * w / kPictureWidth;
                    unsigned sum = 0;
                    for (int x = x0; x < x1; ++x) sum += columns_[static_cast<std::size_t>(x)];
                    const unsigned count = static_cast<unsigned>((y1 - y0) * (x1 - x0));
                    small_[static_cast<std::size_t>(oy * kPictureWidth + ox)] =
                        static_cast<std::uint8_t>((sum + count / 2) / count);
                }
            }
            return Picture(small_.data(), kPictureWidth);
        }
        return scaled();
    }

    Picture scaled() {
        scaler_ = sws_getCachedContext(
            scaler_, frame_->width, frame_->height, static_cast<AVPixelFormat>(frame_->format),
            kPictureWidth, kPictureHeight, AV_PIX_FMT_GRAY8, SWS_AREA, nullptr, nullptr, nullptr);
        if (!scaler_) throw Failure{DetectStatus::Failed, "the picture cannot be scaled"};
        std::uint8_t* planes[4] = {small_.data(), nullptr, nullptr, nullptr};
        int strides[4] = {kPictureWidth, 0, 0, 0};
        sws_scale(scaler_, frame_->data, frame_->linesize, 0, frame_->height, planes, strides);
        return Picture(small_.data(), kPictureWidth);
    }

    const std::atomic<bool>* cancel_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scaler_ = nullptr;
    StreamFacts facts_;
    std::optional<double> previous_;
    std::array<std::uint8_t, kPictureWidth * kPictureHeight> small_{};
    std::vector<std::uint16_t> columns_;  // column sums of one band of rows
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

// Looks at one stretch (or, from `from`, at the rest of the file) from where the input stands.
class StretchWork {
public:
    StretchWork(Input& input, Job& job, const StreamFacts& facts, Stretch stretch)
        : input_(input),
          job_(job),
          facts_(facts),
          stretch_(stretch),
          finder_(facts.frameDuration),
          progressAt_(stretch.from) {}

    void run() {
        input_.decode(
            [this](std::optional<std::int64_t> stamp) {
                if (stamp && inside(input_.timeOf(*stamp))) durations_.addStamp(*stamp);
                return true;
            },
            [this](double time, const auto& picture) {
                if (time >= stretch_.to + kTail) return false;
                if (time < stretch_.from - kLead)
                    return !job_.stopped();  // decoded for its references
                if (inside(time)) ++frames_;
                finder_.add(time, picture());
                if (time - progressAt_ >= 1 && time <= stretch_.to) {
                    job_.advance(time - progressAt_);
                    progressAt_ = time;
                }
                return !job_.stopped();
            },
            [this](std::optional<double> time) {
                if (!time) {
                    job_.damagedSomewhere();
                    return;
                }
                if (inside(*time) && (!damage_ || *time < *damage_)) damage_ = time;
            });
        finder_.finish();
        durations_.finish();
        std::vector<double> cuts;
        for (const FoundCut& cut : finder_.cuts()) {
            if (!inside(cut.time)) continue;
            cuts.push_back(cut.gapBefore ? exactly(cut) : cut.time);
        }
        if (std::isfinite(stretch_.to)) job_.advance(stretch_.to - progressAt_);
        job_.report(cuts, durations_, frames_, damage_);
    }

private:
    bool inside(double time) const { return time >= stretch_.from && time < stretch_.to; }

    // A cut found with frames left out just before it: those frames are decoded after all,
    // from the key frame before, and the cut is put where the picture changes most.
    double exactly(const FoundCut& cut) {
        if (job_.stopped() || !input_.seekBefore(cut.timeBefore)) return cut.time;
        input_.decodeAll(true);
        std::vector<std::pair<double, Picture>> frames;
        input_.decode([](std::optional<std::int64_t>) { return true; },
                      [&](double time, const auto& picture) {
                          if (time > cut.time) return false;
                          if (time >= cut.timeBefore) frames.emplace_back(time, picture());
                          return time < cut.time && !job_.stopped();
                      },
                      [](std::optional<double>) {});
        input_.decodeAll(false);
        double best = cut.time;
        double largest = -1;
        for (std::size_t i = 1; i < frames.size(); ++i) {
            const double change = PictureChange(frames[i - 1].second, frames[i].second);
            if (change > largest) {
                largest = change;
                best = frames[i].first;
            }
        }
        return best;
    }

    Input& input_;
    Job& job_;
    const StreamFacts& facts_;
    Stretch stretch_;
    CutFinder finder_;
    FrameDurations durations_;
    std::size_t frames_ = 0;
    std::optional<double> damage_;
    double progressAt_;
};

void RunWorker(Job& job, const std::string& path, const std::atomic<bool>* cancel,
               const StreamFacts& facts, int decoderThreads, std::unique_ptr<Input> input) {
    try {
        auto open = [&] {
            input = std::make_unique<Input>(path, cancel);
            input->use(facts, decoderThreads);
        };
        if (!input) open();
        bool fresh = true;  // the input stands at the start of the file
        while (const std::optional<Stretch> stretch = job.nextStretch()) {
            const double start = stretch->from - kLead;
            if ((start <= 0 && fresh) || input->seekBefore(start)) {
                StretchWork(*input, job, facts, *stretch).run();
            } else {
                // A file that cannot seek by time: this thread takes its stretch and all that
                // nobody has started, from the start of a fresh opening.
                Stretch mine = *stretch;
                if (const std::optional<Stretch> rest = job.takeRest()) mine.to = rest->to;
                open();
                StretchWork(*input, job, facts, mine).run();
            }
            fresh = false;
        }
    } catch (const Failure& failure) {
        job.fail(failure);
    } catch (const std::exception& error) {
        job.fail({DetectStatus::Failed, error.what()});
    }
}

std::vector<Stretch> PlanStretches(const VideoInfo& info, int threads, bool seekable) {
    if (threads <= 1 || !seekable || info.duration < 2 * kShortestStretch) return {Stretch{}};
    const double length = std::clamp(info.duration / threads, kShortestStretch, kLongestStretch);
    std::vector<Stretch> stretches;
    for (double from = 0; from < info.duration; from += length)
        stretches.push_back(Stretch{from, from + length});
    stretches.back().to = std::numeric_limits<double>::infinity();
    return stretches;
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
