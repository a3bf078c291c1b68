#include "checks/fix.h"

#include <algorithm>
#include <cmath>

#include "base/timecode.h"
#include "checks/timeline.h"

namespace tirelle::checks {

namespace {

// A fixed row must last at least this long, in microseconds.
constexpr std::int64_t kShortestFixed = 200000;

// Microseconds cut down to a whole millisecond, in microseconds.
std::int64_t WholeMillisecond(long double microseconds) {
    return static_cast<std::int64_t>(std::floor(microseconds / 1000)) * 1000;
}

struct IndexedRow {
    detail::TimedRow time;
    std::size_t row;
};

// The new end of `row`, in microseconds, after the three steps.
std::int64_t FixedEnd(const detail::TimedRow& row, const detail::TimedRow* next,
                      const detail::Limits& limits) {
    const std::int64_t start = row.start;
    std::int64_t end = row.end;
    const long double beforeNext = next ? next->start - limits.leastGap : 0;
    if (next && (next->start < end || detail::TooClose(next->start - end, limits))) {
        const std::int64_t moved = WholeMillisecond(beforeNext);
        if (moved - start >= kShortestFixed) end = moved;
    }
    if (end - start < limits.shortest) {
        long double target = static_cast<long double>(start) + limits.shortest;
        if (next) target = std::min(target, beforeNext);
        end = std::max(end, WholeMillisecond(target));
    }
    if (end - start > limits.longest)
        end = WholeMillisecond(static_cast<long double>(start) + limits.longest);
    return end;
}

std::vector<EndChange> Fix(std::vector<IndexedRow>& rows, const CheckSettings& settings) {
    std::sort(rows.begin(), rows.end(),
              [](const IndexedRow& a, const IndexedRow& b) { return a.time.key < b.time.key; });
    const detail::Limits limits(settings);
    std::vector<EndChange> changes;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const detail::TimedRow& row = rows[i].time;
        const std::int64_t end =
            FixedEnd(row, i + 1 < rows.size() ? &rows[i + 1].time : nullptr, limits);
        if (end != row.end)
            changes.push_back({rows[i].row, row.key.aid, detail::ClampedMilliseconds(end)});
    }
    return changes;
}

}  // namespace

std::string EndChange::timeCode() const {
    return MillisecondsToTime(milliseconds);
}

std::vector<EndChange> FixTiming(std::span<const store::SubRecord> rows,
                                 const CheckSettings& settings) {
    std::vector<IndexedRow> timed;
    timed.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        timed.push_back({detail::TimedRow::of(rows[i]), i});
    return Fix(timed, settings);
}

std::size_t ApplyTimingFix(store::Dataset& sub, store::History* history,
                           const CheckSettings& settings) {
    if (sub.isEmpty()) return 0;
    // A pending edit is posted (or dropped) as a step of its own, and appends still waiting are
    // written, without moving the cursor.
    sub.gotoBookmark(sub.bookmark());
    const store::Bookmark current = sub.bookmark();
    std::vector<EndChange> changes = FixTiming(sub.rows(), settings);
    if (changes.empty()) return 0;
    std::vector<store::TimesChange> writes;
    writes.reserve(changes.size());
    const std::span<const store::SubRecord> rows = sub.rows();
    for (const EndChange& change : changes) {
        const store::SubRecord& row = rows[change.row];
        writes.push_back({static_cast<int>(change.row), row.STime, change.timeCode()});
    }
    sub.changeTimes(writes, history, std::string(kFixStepLabel));
    sub.gotoBookmark(current);
    return changes.size();
}

}  // namespace tirelle::checks
