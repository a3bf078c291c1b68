#pragma once
// One opening of a media file (or of bytes in memory) with FFmpeg's libraries: the demuxer, the
// audio stream's decoder and the mix-down to one channel of floats. Used by the decoder's
// threads (decoder.cpp), each with an opening of its own.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "waveform/decoder.h"

namespace tirelle::waveform::detail {

// Decoding starts this long before a stretch, so that the decoder has settled (an AAC frame
// overlaps the one before it) when the first kept sample comes.
inline constexpr double kRunInSeconds = 1.0;

// The highest sample rate recording equipment uses (768 kHz); a file that claims more is refused.
inline constexpr int kMaxSampleRate = 768000;

// Why decoding cannot go on; thrown inside the decoder only.
struct Failure {
    DecodeStatus status;
    std::string message;
};

// FFmpeg's text for an error code.
std::string ErrorText(int code);

// Where the bytes come from: a file, or a buffer in memory.
struct Source {
    std::string path;
    std::span<const std::uint8_t> bytes;
    bool inMemory = false;
};

struct MemoryReader {
    std::span<const std::uint8_t> bytes;
    std::int64_t at = 0;

    static int read(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);
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

// One opening of the source: demuxer, the audio stream's decoder and the mix-down. Throws
// Failure when the source cannot be opened.
class Input {
public:
    Input(const Source& source, const std::atomic<bool>* cancel);
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Reads the stream headers and picks the audio stream (the first opening only).
    AudioInfo probe();
    // The probed stream's facts, for later openings (after probe()).
    StreamFacts facts() const;
    // Opens the decoder of the stream the first opening probed, as that opening found it.
    void useStream(const StreamFacts& facts);

    bool seekable() const { return format_->pb && (format_->pb->seekable & AVIO_SEEKABLE_NORMAL); }
    int sampleRate() const { return codec_->sample_rate; }

    // Positions the input a little before `seconds`; false when the demuxer cannot seek.
    bool seekBefore(double seconds);

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
    static int interrupted(void* opaque);
    bool cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }
    void openDecoder(int stream, const AVCodecParameters* parameters);
    void openCodec();
    // The first sample of the current frame, from its time stamp when it has one.
    std::int64_t frameStart();
    // Mixes the frame down to one channel of floats in mono_; false on a frame it cannot mix.
    bool mixDown();

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

}  // namespace tirelle::waveform::detail
