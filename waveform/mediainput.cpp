#include "waveform/mediainput.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "waveform/allocationcap.h"

namespace tirelle::waveform::detail {

std::string ErrorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}

int MemoryReader::read(void* opaque, std::uint8_t* buffer, int size) {
    auto* self = static_cast<MemoryReader*>(opaque);
    const auto left = static_cast<std::int64_t>(self->bytes.size()) - self->at;
    if (left <= 0) return AVERROR_EOF;
    const int n = static_cast<int>(std::min<std::int64_t>(left, size));
    std::memcpy(buffer, self->bytes.data() + self->at, static_cast<std::size_t>(n));
    self->at += n;
    return n;
}

std::int64_t MemoryReader::seek(void* opaque, std::int64_t offset, int whence) {
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

Input::Input(const Source& source, const std::atomic<bool>* cancel) : cancel_(cancel) {
    CapMediaAllocations();
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
        throw Failure{DecodeStatus::Failed, ErrorText(opened)};
    }
}

Input::~Input() {
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

AudioInfo Input::probe() {
    const int found = avformat_find_stream_info(format_, nullptr);
    if (found < 0) throw Failure{DecodeStatus::Failed, ErrorText(found)};
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
    // A header that claims more (a damaged or forged file) would give a waveform of a few
    // microseconds that looks empty, with nothing said.
    if (info.sampleRate > kMaxSampleRate)
        throw Failure{DecodeStatus::Failed, "the audio claims " + std::to_string(info.sampleRate) +
                                                " samples per second, more than the " +
                                                std::to_string(kMaxSampleRate) + " audio has"};
    return info;
}

StreamFacts Input::facts() const {
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

void Input::useStream(const StreamFacts& facts) {
    if (facts.stream < 0 || facts.stream >= static_cast<int>(format_->nb_streams))
        throw Failure{DecodeStatus::Failed, "the audio stream is gone"};
    openDecoder(facts.stream, facts.parameters.get());
    startTs_ =
        av_rescale_q(facts.startTs, facts.timeBase, format_->streams[stream_]->time_base);
}

bool Input::seekBefore(double seconds) {
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

int Input::interrupted(void* opaque) {
    const auto* self = static_cast<const Input*>(opaque);
    return self->cancelled() ? 1 : 0;
}

void Input::openDecoder(int stream, const AVCodecParameters* parameters) {
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

void Input::openCodec() {
    avcodec_free_context(&codec_);
    const AVCodec* decoder = avcodec_find_decoder(parameters_->codec_id);
    if (!decoder) throw Failure{DecodeStatus::Failed, "no decoder for the audio"};
    codec_ = avcodec_alloc_context3(decoder);
    if (!codec_) throw Failure{DecodeStatus::Failed, "out of memory"};
    int result = avcodec_parameters_to_context(codec_, parameters_.get());
    codec_->thread_count = 1;  // the stretches are the parallel work
    if (result >= 0) result = avcodec_open2(codec_, decoder, nullptr);
    if (result < 0) throw Failure{DecodeStatus::Failed, ErrorText(result)};
}

// The first sample of the current frame, from its time stamp when it has one; a stamp within
// 5 ms of where the previous frame ended counts as that place (stamps are rounded).
std::int64_t Input::frameStart() {
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

bool Input::mixDown() {
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
        if (swr_alloc_set_opts2(&swr_, &mono, AV_SAMPLE_FMT_FLTP, rate, &layout,
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

}  // namespace tirelle::waveform::detail
