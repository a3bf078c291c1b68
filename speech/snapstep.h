#pragma once
// Snapping the store's subtitles to the speech as one undo step labelled kSnapLabel: the
// commands "all rows" and "the current row" of the window and tirelle-cli snap. The times are
// written as the tools write them (fresh time codes, the seconds derived from them).
// The caller has put a pending edit aside.

#include <string>

#include "speech/snap.h"
#include "store/dataset.h"
#include "store/history.h"

namespace tirelle::speech {

inline constexpr const char* kSnapLabel = "对齐语音";  // UTF-8

struct SnapCounts {
    std::size_t snapped = 0;      // subtitles with speech near (moved or already on it)
    std::size_t nothingNear = 0;  // left alone: no speech edge near either edge
    std::size_t changed = 0;      // rows whose times were written
};

// The status message, UTF-8: "已对齐 N 条字幕，M 条附近没有语音".
std::string SnapMessage(const SnapCounts& counts);

// Every row, in start order, in one transaction and one step (none when nothing changed).
// The cursor stays on its row.
SnapCounts SnapAllToSpeech(store::Dataset& sub, store::History& history, const SpeechSpans& spans,
                           const SnapOptions& options = {});
// The current row only, its neighbours as bounds; nothing for an empty store. Leaves the row
// current.
SnapCounts SnapCurrentToSpeech(store::Dataset& sub, store::History& history,
                               const SpeechSpans& spans, const SnapOptions& options = {});

}  // namespace tirelle::speech
