#pragma once
// The speech spans of a film for whoever needs them (the window's loader, tirelle-cli snap):
// from the cache when the film is known there, else by one decoding through the module's
// AnalyseAudio, whose complete results (peaks and spans) then go into the cache. Qt-free and
// free of FFmpeg: the decoding comes in as the module's function.

#include <filesystem>
#include <string>

#include "speech/analysis.h"

namespace tirelle::speech {

struct LoadedSpeech {
    SpeechStatus status = SpeechStatus::Failed;
    std::string message;  // why, for NoAudio and Failed (English)
    SpeechSpans spans;
    bool fromCache = false;
};

// `cacheFolder` empty: no cache. `analyse` null: only the cache is read, and a miss is Failed
// with `missing` as its message (the module could not be loaded). `sink` gets the peaks of a
// decoding (none from the cache: the peak cache has them).
LoadedSpeech LoadSpeech(const std::string& path, const std::filesystem::path& cacheFolder,
                        AnalyseFunction analyse, const std::string& missing,
                        const waveform::PeakSink& sink = {},
                        const waveform::DecodeOptions& options = {});

}  // namespace tirelle::speech
