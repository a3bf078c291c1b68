#pragma once
// The detector's input (detector.h): one opening of the file with FFmpeg, its video decoder and
// the small pictures made from its frames, and the failures it reports. Internal to the detector.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shots/detection.h"
#include "shots/picture.h"

namespace tirelle::shots::detectordetail {

struct Failure {
    DetectStatus status;
    std::string message;
};

std::string ErrorText(int code);

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
    Input(const std::string& path, const std::atomic<bool>* cancel);
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Reads the stream headers and picks the video stream (the first opening only).
    StreamFacts probe(VideoInfo& info);

    // Opens the decoder of the stream, with `threads` of its own.
    void use(const StreamFacts& facts, int threads);

    // Decodes every frame from now on (true) or only those something refers to (false).
    void decodeAll(bool all) { codec_->skip_frame = all ? AVDISCARD_DEFAULT : AVDISCARD_NONREF; }

    // Positions the input at a key frame at or before `seconds`; false when it cannot seek.
    bool seekBefore(double seconds);

    double timeOf(std::int64_t stamp) const {
        return static_cast<double>(stamp - facts_.startTs) * av_q2d(facts_.timeBase);
    }

    // Calls `packet(stamp)` for every packet of the stream read (its presentation stamp, or
    // none) and `frame(seconds, picture)` for every decoded frame, `picture()` making its small
    // picture, until one returns false, the stream ends or decoding is cancelled. Damage is
    // reported to `damaged(seconds)`, where it was found (the last frame's time where the
    // damage has no stamp; nothing before the first frame). Returns false when cancelled.
    template <class OnPacket, class OnFrame, class OnDamage>
    bool decode(OnPacket&& packet, OnFrame&& frame, OnDamage&& damaged);

private:
    static int interrupted(void* opaque);
    bool cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

    // The frame's time, later than the one before; none for a frame whose stamp steps back.
    std::optional<double> frameTime(std::int64_t stamp);

    // The decoded frame scaled to the small grey picture: the luma plane averaged over boxes
    // where it is 8-bit planar (most video), else through the scaler (detector_picture.cpp).
    Picture picture();
    Picture scaled();

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

template <class OnPacket, class OnFrame, class OnDamage>
bool Input::decode(OnPacket&& packet, OnFrame&& frame, OnDamage&& damaged) {
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
                        packet_->pts != AV_NOPTS_VALUE ? std::optional<std::int64_t>(packet_->pts)
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
                damaged(stamp != AV_NOPTS_VALUE ? std::optional<double>(timeOf(stamp)) : previous_);
            const std::optional<double> time = frameTime(stamp);
            bool more = true;
            if (time) more = frame(*time, [this] { return picture(); });
            av_frame_unref(frame_);
            if (!more) return true;
        }
    }
}

}  // namespace tirelle::shots::detectordetail
