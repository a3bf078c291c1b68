#pragma once
// Whole-file sync: finds the mapping (sync/mapping.h) that lays a file's subtitles over the
// film's speech, or over the subtitles of a correctly timed reference file.
//
// The search, and why:
//  - Coarse: both interval sets, and boxes of 0.25 s around their edges, sampled on a 0.5 s
//    grid and cross-correlated with FFTW, every offset at once, for each ratio of the usual
//    frame rates: O(n log n) in the film's length however many lines there are.
//  - Each ratio's best peaks are judged by the subtitle edges (starts, ends) they lay within
//    0.25 s of a speech edge of the same kind; edges tell the right offset far more sharply than
//    the overlap, which a stretch of music gives to any offset.
//  - The offset is then found exactly (the overlap is piecewise linear in the offset, so its
//    best lies on a corner: a sweep over the corners), and the ratio refined to a free one near
//    a usual one from the drift of the offsets of groups of lines (placed by their edges, the
//    slope taken as the median of the slopes between groups).
//  - Jumps: a dynamic programme over the lines in start order chooses for every line one of the
//    strongest offsets of the whole file or of a group of lines (correlated on a 0.2 s grid
//    within 10 minutes of the main offset), each line scored by its overlap and its edges, with
//    a cost per jump (a quarter in a pause of 10 s or more, where releases are cut). A segment
//    whose edges do not stand out of chance on its own is dropped, and its candidate with it.
//  - A simpler mapping (no jump, a usual ratio, 1, no change) is kept whenever it scores within
//    about 10 ms per line of the best one, so a file already in sync is left exactly as it is.
//  - The confidence compares the edges the fit matches with those it matches when shifted by
//    5 to 60 s: another film's best fit stands about 4 standard deviations out, a right fit of
//    35 lines 15 to 20.

#include <vector>

#include "base/errors.h"
#include "sync/mapping.h"

namespace tirelle::sync {

// Why a file was not synced. Nothing was changed. The message (UTF-8) is what the user reads.
class SyncError : public Error {
public:
    enum class Kind {
        NoSubtitles,          // "没有可同步的字幕"
        NoSpeech,             // "影片中没有找到语音"
        NoReferenceBlocks,    // "参考字幕中没有字幕"
        FilmTooShort,         // "影片比字幕短"
        NoReliableAlignment,  // "没有找到可靠的对齐"
    };
    explicit SyncError(Kind kind);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

const char* SyncMessage(SyncError::Kind kind);

// What the subtitles are laid over.
enum class Target { Speech, Reference };

struct AlignOptions {
    Target target = Target::Speech;
    bool allowBreaks = true;  // false: one offset for the whole file (--no-split)
    // Length of the film in seconds; 0 when unknown (then the end of the last target). A file
    // whose subtitles cannot fit into it is refused.
    double filmDuration = 0;
};

struct Alignment {
    Mapping mapping;
    // 0 to 1: how far the fit's matched edges stand above what chance matches, from 4 standard
    // deviations (0) to 10 (1). Align refuses a fit below kMinimumConfidence.
    double confidence = 0;
    // Share of the mapped subtitle time that lies on the targets.
    double coverage = 0;
};

inline constexpr double kMinimumConfidence = 0.5;

// Subtitles in any order (a line's segment follows its start time); targets in any order,
// overlapping or not. Throws SyncError: NoSubtitles when no subtitle has a positive duration,
// NoSpeech / NoReferenceBlocks when there are no targets, FilmTooShort, NoReliableAlignment.
Alignment Align(const std::vector<Interval>& subtitles, const std::vector<Interval>& targets,
                const AlignOptions& options);

}  // namespace tirelle::sync
