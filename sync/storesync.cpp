#include "sync/storesync.h"

#include <cmath>

#include "base/timecode.h"
#include "store/bulkchange.h"
#include "tools/operations.h"
#include "tools/srtfiles.h"

namespace tirelle::sync {

std::vector<Interval> StoreIntervals(store::Dataset& sub) {
    std::vector<Interval> rows;
    if (sub.isEmpty()) return rows;
    const store::Field start = sub.fieldByName("SubSort");
    const store::Field end = sub.fieldByName("SubSortEnd");
    rows.reserve(static_cast<std::size_t>(sub.recordCount()));
    sub.first();
    while (!sub.eof()) {
        rows.push_back({start.asFloat(), end.asFloat()});
        sub.next();
    }
    return rows;
}

std::vector<Interval> ReferenceIntervals(const srt::LineList& lines) {
    std::vector<Interval> blocks;
    srt::ReadSrtBlocks(lines,
                       [&](const std::string& start, const std::string& end, const std::string&) {
                           blocks.push_back({TimeToSeconds(start), TimeToSeconds(end)});
                       });
    return blocks;
}

std::vector<Interval> SpeechIntervals(const speech::SpeechSpans& spans) {
    std::vector<Interval> intervals;
    intervals.reserve(spans.size());
    for (const speech::SpeechSpan& s : spans) intervals.push_back({s.start, s.end});
    return intervals;
}

bool ApplyMapping(store::Dataset& sub, const Mapping& mapping) {
    if (mapping.isIdentity() || sub.isEmpty()) return false;
    store::Field start = sub.fieldByName("SubSort");
    store::Field end = sub.fieldByName("SubSortEnd");
    store::Field startText = sub.fieldByName("STime");
    store::Field endText = sub.fieldByName("ETime");
    // As the tools hold a result: never an infinity, never below 0.
    const auto mapped = [&](double seconds, double lineStart) {
        const double held = mapping.map(seconds, lineStart);
        if (!std::isfinite(held))
            throw tools::FloatingPointError(tools::FloatingPointError::Kind::Overflow);
        return held < 0 ? 0.0 : held;
    };
    bool changed = false;
    store::RunBulkChange(tools::ConnectionOf(sub), sub, [&] {
        store::SuspendedUpdates walk(sub);
        sub.first();
        while (!sub.eof()) {
            const double s = start.asFloat(), e = end.asFloat();
            const double newStart = mapped(s, s), newEnd = mapped(e, s);
            if (newStart != s || newEnd != e) {
                sub.edit();
                if (newStart != s) startText.setAsString(SecondsToTimeCode(newStart));
                if (newEnd != e) endText.setAsString(SecondsToTimeCode(newEnd));
                sub.post();
                changed = true;
            }
            sub.next();
        }
    });
    return changed;
}

SyncOutcome ApplyAlignment(store::Dataset& sub, store::History* history, const Alignment& alignment,
                           const std::function<bool(store::Dataset&)>& afterMapping) {
    SyncOutcome outcome;
    outcome.alignment = alignment;
    outcome.summary = Summary(alignment.mapping);
    const auto work = [&] {
        outcome.changed = ApplyMapping(sub, alignment.mapping);
        if (afterMapping && afterMapping(sub)) outcome.changed = true;
        return outcome.changed;
    };
    if (history)
        store::RunAsStep(*history, kSyncStepLabel, work);
    else
        work();
    return outcome;
}

SyncOutcome SyncStore(store::Dataset& sub, store::History* history, const SyncRequest& request) {
    const std::vector<Interval> rows = StoreIntervals(sub);
    if (rows.empty()) throw SyncError(SyncError::Kind::NoSubtitles);
    return ApplyAlignment(sub, history, Align(rows, request.targets, request.options),
                          request.afterMapping);
}

}  // namespace tirelle::sync
