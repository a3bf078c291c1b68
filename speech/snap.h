#pragma once
// Moving subtitles onto the speech: pure functions over subtitle times and speech spans.
//
// A subtitle's start moves to a speech onset and its end to a speech offset within the window
// (0.5 s by default) around each; an edge with no such speech edge stays where it is. Moved
// subtitles never overlap their neighbours and never get shorter than the shortest duration
// (0.2 s). Which onset and offset a subtitle takes is decided for all the subtitles together:
// each takes the speech it covers, both edges at once, so that a pause inside a sentence, or
// two sentences a tenth of a second apart, do not pull an edge onto the wrong words:
//  - an edge costs its distance from where it was (seconds);
//  - an onset after a longer pause, and an offset before one, is the likelier edge of a
//    sentence, and is preferred by that pause (up to 0.6 s);
//  - speech left between two subtitles, belonging to neither, costs twice its length.
// The cheapest choice over the whole file is found in one pass (a shortest path over the
// edges' candidates, in time order).

#include <optional>
#include <vector>

#include "speech/spans.h"

namespace tirelle::speech {

struct SnapOptions {
    double window = 0.5;       // seconds either side of an edge
    double minDuration = 0.2;  // seconds
};

struct Timing {
    double start = 0;  // seconds
    double end = 0;
    friend bool operator==(const Timing&, const Timing&) = default;
};

struct SnapResult {
    std::vector<Timing> timings;     // one per subtitle, in the order given
    std::vector<bool> nearSpeech;    // a speech edge lay within the window of either edge
    std::size_t snapped = 0;         // subtitles with speech near (whether or not they moved)
    std::size_t nothingNear = 0;     // subtitles left as they were: no speech near either edge
};

// Snaps every subtitle of `timings` (sorted by start) to `spans` (sorted, not overlapping).
// Only the subtitles from `first` to `last` (inclusive) move; the others stay and only bound
// their neighbours. A subtitle whose edges cannot move within the limits stays as it was.
SnapResult SnapToSpeech(const std::vector<Timing>& timings, const SpeechSpans& spans,
                        const SnapOptions& options = {});
SnapResult SnapToSpeech(const std::vector<Timing>& timings, const SpeechSpans& spans,
                        const SnapOptions& options, std::size_t first, std::size_t last);

enum class Edge { Onset, Offset, Either };

// The speech edge of that kind nearest to `seconds` within `within` seconds either side;
// nothing when there is none. For a captured time (the capture's option: a start snaps to an
// onset, an end to an offset, within the window) and a dragged edge (within the few pixels the
// strip allows, converted to seconds).
std::optional<double> NearestEdge(const SpeechSpans& spans, double seconds, Edge edge, double within);

}  // namespace tirelle::speech
