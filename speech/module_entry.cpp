// The entry point of the speech module (see module.h): the audio analysis, with FFmpeg.

#include <type_traits>

#include "speech/analysis.h"

extern "C" __attribute__((visibility("default"))) tirelle::speech::AudioAnalysis
tirelle_analyse_audio(const std::string& path, const tirelle::waveform::PeakSink& sink,
                      const tirelle::waveform::DecodeOptions& options) {
    return tirelle::speech::AnalyseAudio(path, sink, options);
}

static_assert(std::is_same_v<decltype(&tirelle_analyse_audio), tirelle::speech::AnalyseFunction>);
