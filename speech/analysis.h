#pragma once
// The film's audio decoded once for both the waveform and the speech: the peaks go to the sink
// as they come (waveform/decoder.h), the speech spans are found from the same decoding. Needs
// FFmpeg: the program reaches it through the media module (playback/mediamodule.h), the
// command-line tool through the speech module (speech/module.h), looked up by kAnalyseSymbol.

#include <string>

#include "speech/spans.h"
#include "waveform/decoder.h"

namespace tirelle::speech {

enum class SpeechStatus {
    Found,      // spans found in the whole file
    NoSpeech,   // the audio was read to its end and no speech is in it (silence, music)
    Partial,    // the audio could not all be decoded: spans of what could be (not cached)
    NoAudio,    // the file has no audio stream
    Failed,     // the file or its audio cannot be read; message says why
    Cancelled,
};

struct AudioAnalysis {
    waveform::DecodeResult decode;  // the peaks' result, as DecodePeaks gives it
    SpeechStatus status = SpeechStatus::Failed;
    std::string message;            // why, for NoAudio and Failed (English)
    SpeechSpans spans;
};

// Decodes the file at `path` with the options (threads, cancel) as DecodePeaks does; the
// sink's `speech` member is the analysis's own and is ignored. Never throws.
AudioAnalysis AnalyseAudio(const std::string& path, const waveform::PeakSink& sink,
                           const waveform::DecodeOptions& options = {});

inline constexpr const char* kAnalyseSymbol = "tirelle_analyse_audio";
using AnalyseFunction = AudioAnalysis (*)(const std::string& path, const waveform::PeakSink& sink,
                                          const waveform::DecodeOptions& options);

}  // namespace tirelle::speech
