// libFuzzer target: any bytes, as a media file in memory, through the whole peak decoder with
// two threads (so that the stretch hand-out and the seeks are exercised too). Every reported
// bin must lie inside the day's limit and be reported once.
#include <cstdlib>
#include <vector>

#include "waveform/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tirelle::waveform;
    std::vector<bool> seen;
    PeakSink sink;
    sink.peaks = [&](std::size_t first, std::span<const Peak> peaks) {
        if (first + peaks.size() > kMaxBins) std::abort();
        if (seen.size() < first + peaks.size()) seen.resize(first + peaks.size());
        for (std::size_t i = 0; i < peaks.size(); ++i) {
            if (seen[first + i] || !peaks[i].known()) std::abort();
            seen[first + i] = true;
        }
    };
    DecodeOptions options;
    options.threads = 2;
    DecodePeaksFromMemory({data, size}, sink, options);
    return 0;
}
