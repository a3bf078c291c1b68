// Opening the file and its video stream: the demuxer, the choice of the stream and what it
// says of itself, the decoder, seeking and the frames' times.

#include "shots/detector_input.h"

#include <algorithm>
#include <cmath>

#include "waveform/allocationcap.h"

namespace tirelle::shots::detectordetail {

std::string ErrorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}

Input::Input(const std::string& path, const std::atomic<bool>* cancel) : cancel_(cancel) {
    waveform::CapMediaAllocations();
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

Input::~Input() {
    sws_freeContext(scaler_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
}

StreamFacts Input::probe(VideoInfo& info) {
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

void Input::use(const StreamFacts& facts, int threads) {
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

bool Input::seekBefore(double seconds) {
    const double ticks = std::max(0.0, seconds) / av_q2d(facts_.timeBase);
    const std::int64_t ts = facts_.startTs + static_cast<std::int64_t>(ticks);
    if (av_seek_frame(format_, facts_.stream, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(codec_);
    previous_.reset();
    return true;
}

int Input::interrupted(void* opaque) {
    return static_cast<const Input*>(opaque)->cancelled() ? 1 : 0;
}

std::optional<double> Input::frameTime(std::int64_t stamp) {
    double time = 0;
    if (stamp != AV_NOPTS_VALUE)
        time = timeOf(stamp);
    else if (previous_)
        time = *previous_ + facts_.frameDuration;
    if (!std::isfinite(time) || (previous_ && time <= *previous_)) return std::nullopt;
    previous_ = time;
    return time;
}

}  // namespace tirelle::shots::detectordetail
