#pragma once
// What `tirelle-cli sync` needs from the speech detector, as two functions: the speech of a
// video, and the per-line snap to it. The command is written against these, so that the
// reference mode works on its own and the detector's library plugs in at one place
// (syncspeech.cpp).

#include <filesystem>
#include <functional>

#include "speech/spans.h"
#include "store/dataset.h"

namespace tirelle::cli {

struct FilmSpeech {
    speech::SpeechSpans spans;
    double duration = 0;     // of the audio, seconds; 0 when unknown
    bool fromCache = false;  // read from the cache beside the peaks, not decoded now
};

// The speech spans of a video: from the cache beside the peaks, else decoded by the speech
// module (loaded only then), and cached. Throws Error naming the video and the reason (no
// audio, unreadable, no module).
FilmSpeech ReadFilmSpeech(const std::filesystem::path& video);

struct SpeechServices {
    // The speech spans of a video, through the detector's cache. Throws Error with the message
    // the user reads (no audio, a damaged file, ...).
    std::function<FilmSpeech(const std::filesystem::path& video)> speechOf;
    // Moves every row's edges to the nearest speech edges, as the window's "对齐语音" does for
    // all rows; returns whether any edge moved. Runs inside the sync's undo step.
    std::function<bool(store::Dataset& sub, const speech::SpeechSpans& spans)> snapAll;
};

// The services of this build of tirelle-cli.
SpeechServices BuiltInSpeech();

}  // namespace tirelle::cli
