#include "speech/snapstep.h"

#include <algorithm>

#include "base/timecode.h"
#include "tools/walk.h"

namespace tirelle::speech {

namespace {

std::vector<Timing> TimingsOf(const store::Dataset& sub) {
    std::vector<Timing> timings(static_cast<std::size_t>(sub.rowCount()));
    for (int row = 0; row < sub.rowCount(); ++row)
        timings[static_cast<std::size_t>(row)] = {sub.rowAt(row).SubSort, sub.rowAt(row).SubSortEnd};
    return timings;
}

// Writes the current row's new times as the tools write them; false when they are the same.
bool Write(store::Dataset& sub, tools::TimeFields& fields, const Timing& was, const Timing& now) {
    if (now == was) return false;
    fields.setAndPost(sub, std::max(0.0, now.start), std::max(0.0, now.end));
    return true;
}

SnapCounts Counts(const SnapResult& result) {
    return {result.snapped, result.nothingNear, 0};
}

}  // namespace

std::string SnapMessage(const SnapCounts& counts) {
    return "已对齐 " + std::to_string(counts.snapped) + " 条字幕，" + std::to_string(counts.nothingNear) +
           " 条附近没有语音";
}

SnapCounts SnapAllToSpeech(store::Dataset& sub, store::History& history, const SpeechSpans& spans,
                           const SnapOptions& options) {
    if (sub.isEmpty()) return {};
    sub.gotoBookmark(sub.bookmark());  // a pending edit is posted first, the cursor stays
    const std::vector<Timing> timings = TimingsOf(sub);
    const SnapResult result = SnapToSpeech(timings, spans, options);
    SnapCounts counts = Counts(result);
    std::vector<store::TimesChange> changes;
    for (std::size_t i = 0; i < timings.size(); ++i) {
        const Timing& now = result.timings[i];
        if (now == timings[i]) continue;
        changes.push_back({static_cast<int>(i), SecondsToTimeCode(std::max(0.0, now.start)),
                           SecondsToTimeCode(std::max(0.0, now.end))});
    }
    counts.changed = changes.size();
    sub.changeTimes(changes, &history, kSnapLabel);
    return counts;
}

SnapCounts SnapCurrentToSpeech(store::Dataset& sub, store::History& history,
                               const SpeechSpans& spans, const SnapOptions& options) {
    const int row = sub.currentRow();
    if (sub.isEmpty() || row < 0) return {};
    const std::vector<Timing> timings = TimingsOf(sub);
    const auto at = static_cast<std::size_t>(row);
    const SnapResult result = SnapToSpeech(timings, spans, options, at, at);
    SnapCounts counts = Counts(result);
    store::UndoStep step(history, kSnapLabel);
    tools::TimeFields fields(sub);
    if (Write(sub, fields, timings[at], result.timings[at])) counts.changed = 1;
    step.commit();
    return counts;
}

}  // namespace tirelle::speech
