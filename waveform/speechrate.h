#pragma once
// The decoded mono samples of one stretch resampled to 16 kHz 16-bit for the speech detector
// (PeakSink::speech), with FFmpeg's libswresample. Every output sample lies on one grid from
// time 0 on whatever stretch makes it: the resampler starts on an input sample where the two
// rates meet (a multiple of 3 at 48 kHz, of 441 at 44.1 kHz) half a second before the stretch,
// so that its filter has settled, and a stretch gives the same samples as one pass through the
// whole file would.

#include <cstdint>
#include <vector>

#include "waveform/binwriter.h"
#include "waveform/orderedfeed.h"

struct SwrContext;

namespace tirelle::waveform::detail {

class SpeechRateWriter {
public:
    SpeechRateWriter(OrderedFeed& feed, int inputRate, Stretch stretch);
    ~SpeechRateWriter();
    SpeechRateWriter(const SpeechRateWriter&) = delete;
    SpeechRateWriter& operator=(const SpeechRateWriter&) = delete;

    // Samples at the input rate numbered from `start`; false once the stretch is complete.
    bool add(std::int64_t start, const float* samples, std::size_t count);
    // Hands the rest of the stretch to the feed.
    void flush();

private:
    void restartAt(std::int64_t input);
    void put(const std::int16_t* samples, std::size_t count);
    void handOver(bool last);

    OrderedFeed& feed_;
    std::int64_t inputRate_;
    std::int64_t inputBlock_;   // input samples per block where the two grids meet
    std::int64_t outputBlock_;  // output samples per such block
    std::int64_t keepFrom_;     // output samples of the stretch: [keepFrom_, keepTo_)
    std::int64_t keepTo_;
    bool openEnd_;
    SwrContext* swr_ = nullptr;
    std::int64_t nextInput_ = -1;   // the input sample the resampler expects next
    std::int64_t nextOutput_ = 0;   // the output sample its next output is
    std::int64_t bufferFirst_;      // the output sample buffer_[0] is
    std::vector<std::int16_t> buffer_;
    std::vector<std::int16_t> converted_;
    bool done_ = false;
    bool flushed_ = false;
};

}  // namespace tirelle::waveform::detail
