#pragma once
// Where someone speaks in a film's audio: the spans that the speech detector finds and that
// snapping and whole-file sync work from. Plain values, no media library.

#include <vector>

namespace tirelle::speech {

struct SpeechSpan {
    double start = 0;       // seconds from the start of the file, as the player counts it
    double end = 0;         // seconds; end > start
    float confidence = 1;   // 0 to 1: how sure the detector is that this is speech
    friend bool operator==(const SpeechSpan&, const SpeechSpan&) = default;
};

// Sorted by start, not overlapping.
using SpeechSpans = std::vector<SpeechSpan>;

}  // namespace tirelle::speech
