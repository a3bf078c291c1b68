#pragma once
// A cap on the size of any one allocation FFmpeg's libraries make. Their demuxers trust the
// sizes a file's header gives: a few hundred forged bytes (a WAV whose INFO item claims 2 GB)
// make them allocate and clear that much before reading finds the data is not there. No audio
// or picture the program decodes needs one allocation near this size, and neither does the
// player, which shares the libraries; a 24-hour 60 fps file's whole index is a quarter of it.

extern "C" {
#include <libavutil/mem.h>
}

#include <cstddef>
#include <mutex>

namespace tirelle::waveform {

inline constexpr std::size_t kLargestMediaAllocation = std::size_t{512} << 20;

inline void CapMediaAllocations() {
    static std::once_flag once;
    std::call_once(once, [] { av_max_alloc(kLargestMediaAllocation); });
}

}  // namespace tirelle::waveform
