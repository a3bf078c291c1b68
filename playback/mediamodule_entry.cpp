// The entry points of the media module (see mediamodule.h): the libmpv player, the audio peak
// decoder, the audio analysis (peaks and speech spans from one decoding) and the shot-change
// detector.

#include <type_traits>

#include "playback/mediamodule.h"
#include "playback/mpvplayer.h"
#include "shots/detector.h"
#include "speech/analysis.h"
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

extern "C" __attribute__((visibility("default"))) tirelle::shots::DetectResult
tirelle_detect_cuts(const std::string& path, const tirelle::shots::DetectOptions& options) {
    return tirelle::shots::DetectCuts(path, options);
}

extern "C" __attribute__((visibility("default"))) tirelle::speech::AudioAnalysis
tirelle_analyse_audio(const std::string& path, const tirelle::waveform::PeakSink& sink,
                      const tirelle::waveform::DecodeOptions& options) {
    return tirelle::speech::AnalyseAudio(path, sink, options);
}

// The loaders cast the looked-up symbols to these types.
static_assert(std::is_same_v<decltype(&tirelle_make_mpv_player), tirelle::playback::MakeMpvPlayer>);
static_assert(
    std::is_same_v<decltype(&tirelle_decode_peaks), tirelle::waveform::DecodePeaksFunction>);
static_assert(std::is_same_v<decltype(&tirelle_detect_cuts), tirelle::shots::DetectCutsFunction>);
static_assert(
    std::is_same_v<decltype(&tirelle_analyse_audio), tirelle::speech::AnalyseFunction>);
