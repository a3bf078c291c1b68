#include "waveform/speechrate.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <limits>
#include <numeric>

#include "waveform/decoder.h"
#include "waveform/mediainput.h"

namespace tirelle::waveform::detail {

namespace {

// Output samples per bin.
constexpr std::int64_t kPerBin = kSpeechRate / kBinsPerSecond;
// Pieces of about this many output samples go to the feed while a stretch is decoded, so that
// a file decoded in one pass is not held whole.
constexpr std::size_t kPieceSamples = 10 * kSpeechRate;
// Room for a piece and the frame that completes it, taken at once.
constexpr std::size_t kPieceRoom = kPieceSamples + kSpeechRate / 4;

}  // namespace

SpeechRateWriter::SpeechRateWriter(OrderedFeed& feed, int inputRate, Stretch stretch)
    : feed_(feed), inputRate_(inputRate) {
    const std::int64_t common = std::gcd<std::int64_t>(inputRate, kSpeechRate);
    inputBlock_ = inputRate / common;
    outputBlock_ = kSpeechRate / common;
    keepFrom_ = static_cast<std::int64_t>(stretch.first) * kPerBin;
    openEnd_ = stretch.end >= kMaxBins;
    keepTo_ = openEnd_ ? std::numeric_limits<std::int64_t>::max()
                       : static_cast<std::int64_t>(stretch.end) * kPerBin;
    bufferFirst_ = keepFrom_;
    buffer_.reserve(kPieceRoom);
}

SpeechRateWriter::~SpeechRateWriter() {
    swr_free(&swr_);
}

void SpeechRateWriter::restartAt(std::int64_t input) {
    swr_free(&swr_);
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    if (swr_alloc_set_opts2(&swr_, &mono, AV_SAMPLE_FMT_S16P, kSpeechRate, &mono,
                            AV_SAMPLE_FMT_FLTP, static_cast<int>(inputRate_), 0, nullptr) < 0 ||
        swr_init(swr_) < 0) {
        swr_free(&swr_);
        throw Failure{DecodeStatus::Failed, "the audio cannot be resampled for speech"};
    }
    nextInput_ = input;
    nextOutput_ = input / inputBlock_ * outputBlock_;
}

bool SpeechRateWriter::add(std::int64_t start, const float* samples, std::size_t count) {
    if (done_) return false;
    const std::int64_t end = start + static_cast<std::int64_t>(count);
    const auto aligned = [&](std::int64_t input) {
        return (input + inputBlock_ - 1) / inputBlock_ * inputBlock_;
    };
    if (nextInput_ < 0 || start > nextInput_) {
        // The first frame, or a jump in the stamps: start again on the grid, half a second
        // before the stretch when the frames reach back so far.
        const std::int64_t warmUp = keepFrom_ / outputBlock_ * inputBlock_ - inputRate_ / 2;
        const std::int64_t at = aligned(std::max({start, warmUp, std::int64_t{0}}));
        if (at >= end) return true;
        restartAt(at);
    }
    // Samples the resampler had already (stamps that step back) are not given twice.
    const std::int64_t skip = nextInput_ - start;
    if (skip >= static_cast<std::int64_t>(count)) return true;
    const auto* in = reinterpret_cast<const std::uint8_t*>(samples + skip);
    const int inCount = static_cast<int>(count - static_cast<std::size_t>(skip));
    const int room = swr_get_out_samples(swr_, inCount);
    converted_.resize(static_cast<std::size_t>(std::max(room, 0)));
    auto* out = reinterpret_cast<std::uint8_t*>(converted_.data());
    const int made = swr_convert(swr_, &out, room, &in, inCount);
    nextInput_ = end;
    if (made > 0) put(converted_.data(), static_cast<std::size_t>(made));
    return !done_;
}

void SpeechRateWriter::put(const std::int16_t* samples, std::size_t count) {
    std::int64_t at = nextOutput_;
    nextOutput_ += static_cast<std::int64_t>(count);
    std::size_t i = 0;
    if (at < keepFrom_) {
        i = static_cast<std::size_t>(std::min<std::int64_t>(keepFrom_ - at, count));
        at += static_cast<std::int64_t>(i);
    }
    if (i == count) return;
    const std::int64_t have = bufferFirst_ + static_cast<std::int64_t>(buffer_.size());
    if (at < have) {  // after a restart on the grid behind what was written: the rest only
        const auto behind = static_cast<std::size_t>(std::min<std::int64_t>(have - at, count - i));
        i += behind;
        at += static_cast<std::int64_t>(behind);
    } else if (at > have) {
        buffer_.resize(buffer_.size() + static_cast<std::size_t>(at - have), 0);  // missing audio
    }
    const std::int64_t room = keepTo_ - at;
    const std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(room, count - i));
    buffer_.insert(buffer_.end(), samples + i, samples + i + take);
    if (take < count - i || at + static_cast<std::int64_t>(take) >= keepTo_) {
        done_ = true;
        handOver(true);
    } else if (buffer_.size() >= kPieceSamples) {
        handOver(false);
    }
}

void SpeechRateWriter::handOver(bool last) {
    const auto size = static_cast<std::int64_t>(buffer_.size());
    feed_.add(bufferFirst_, std::move(buffer_),
              last && !openEnd_ ? keepTo_ : OrderedFeed::kOpenEnd);
    bufferFirst_ += size;
    buffer_ = {};
    if (!last) buffer_.reserve(kPieceRoom);
    if (last) flushed_ = true;
}

void SpeechRateWriter::flush() {
    if (flushed_) return;
    if (swr_ && !done_) {
        // The end of the stream: what the resampler still holds.
        const int room = swr_get_out_samples(swr_, 0);
        if (room > 0) {
            converted_.resize(static_cast<std::size_t>(room));
            auto* out = reinterpret_cast<std::uint8_t*>(converted_.data());
            const int made = swr_convert(swr_, &out, room, nullptr, 0);
            if (made > 0) put(converted_.data(), static_cast<std::size_t>(made));
        }
    }
    if (!flushed_) handOver(true);
}

}  // namespace tirelle::waveform::detail
