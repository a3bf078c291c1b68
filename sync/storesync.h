#pragma once
// Whole-file sync on the subtitle store: the rows' times are aligned to the film's speech or to
// a reference file's subtitles (sync/align.h) and moved by the mapping found, as one undo step.
//
// The alignment is a pure function of intervals (Align), so a window can run it on its worker
// thread over StoreIntervals read before, and apply the result on the UI thread with
// ApplyAlignment; SyncStore does both at once (the command-line tool).

#include <functional>
#include <string>
#include <vector>

#include "speech/spans.h"
#include "srt/srtfile.h"
#include "store/dataset.h"
#include "store/history.h"
#include "sync/align.h"

namespace tirelle::sync {

// The label of the undo step (UTF-8).
inline constexpr const char* kSyncStepLabel = "音频同步";

// Every row's SubSort and SubSortEnd, in the dataset's current order (first to last); the
// cursor ends on the last row.
std::vector<Interval> StoreIntervals(store::Dataset& sub);
// The blocks of an SRT file, their times read as the store reads them (TimeToSeconds).
std::vector<Interval> ReferenceIntervals(const srt::LineList& lines);
std::vector<Interval> SpeechIntervals(const speech::SpeechSpans& spans);

// Moves every start and end by the mapping, each row by the segment its start lies in; a time
// that would fall before 0 becomes 0. The new times are written as the tools write them (the
// time code of the seconds, the seconds derived again by the post); an edge the mapping does not
// move keeps its text. In one transaction, without re-querying (rows keep their places); the
// last row is current afterwards. Returns false, touching nothing, when no edge moves.
bool ApplyMapping(store::Dataset& sub, const Mapping& mapping);

struct SyncRequest {
    std::vector<Interval> targets;  // the film's speech or the reference file's subtitles
    AlignOptions options;
    // Runs after the mapping, inside the same undo step (the per-line snap to speech); returns
    // whether it moved anything. Empty: none.
    std::function<bool(store::Dataset&)> afterMapping;
};

struct SyncOutcome {
    Alignment alignment;
    std::string summary;   // Summary(alignment.mapping), UTF-8, for the status bar
    bool changed = false;  // false: the file was already in sync (and the snap moved nothing)
};

// Applies an alignment of the rows (made from StoreIntervals of the same rows) and then
// afterMapping, as one undo step labelled "音频同步" of `history` (none recorded when nothing
// changed; no history: nullptr). An error while the rows are written ends the step as the
// tools' errors do: what was written before it is kept, as a step, and the error goes on.
SyncOutcome ApplyAlignment(store::Dataset& sub, store::History* history, const Alignment& alignment,
                           const std::function<bool(store::Dataset&)>& afterMapping);

// Aligns the rows to the targets, then ApplyAlignment. Throws SyncError (NoSubtitles for an
// empty store) before anything is changed.
SyncOutcome SyncStore(store::Dataset& sub, store::History* history, const SyncRequest& request);

}  // namespace tirelle::sync
