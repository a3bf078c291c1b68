// The entry points of the media module (see mediamodule.h): the libmpv player and the audio peak
// decoder.

#include <type_traits>

#include "playback/mediamodule.h"
#include "playback/mpvplayer.h"
#include "waveform/decoder.h"

extern "C" __attribute__((visibility("default"))) tirelle::playback::Player*
tirelle_make_mpv_player(QWidget* parent) {
    return new tirelle::playback::MpvPlayer(parent);
}

extern "C" __attribute__((visibility("default"))) tirelle::waveform::DecodeResult
tirelle_decode_peaks(const std::string& path, const tirelle::waveform::PeakSink& sink,
                     const tirelle::waveform::DecodeOptions& options) {
    return tirelle::waveform::DecodePeaks(path, sink, options);
}

// The loaders cast the looked-up symbols to these types.
static_assert(std::is_same_v<decltype(&tirelle_make_mpv_player), tirelle::playback::MakeMpvPlayer>);
static_assert(
    std::is_same_v<decltype(&tirelle_decode_peaks), tirelle::waveform::DecodePeaksFunction>);
