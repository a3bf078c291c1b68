#include "shots/align.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace tirelle::shots {

namespace {

// Time codes hold whole milliseconds: a distance counts as "within n frames" up to half a
// millisecond beyond.
constexpr double kTimeCodeSlack = 0.0005;

// The whole milliseconds at or before `seconds` (a hair of rounding error forgiven): a start
// written so is on the cut's frame, not after it, and an end so clears its frame. Negative
// times are 0.
std::int64_t Milliseconds(double seconds) {
    const double ms = std::floor(seconds * 1000 + 1e-6);
    if (!(ms > 0)) return 0;
    return static_cast<std::int64_t>(
        std::min<double>(ms, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

Alignment AlignToCuts(std::span<const TimedRow> rows, const ShotCuts& cuts,
                      const AlignmentRules& rules) {
    Alignment result;
    const double frame = cuts.frameDuration();
    if (cuts.times.empty() || !(frame > 0) || rows.empty()) return result;
    const double startReach = rules.startFrames * frame + kTimeCodeSlack;
    const double endReach = rules.endFrames * frame + kTimeCodeSlack;
    const double endGap = rules.endGapFrames * frame;
    const std::int64_t shortest = std::llround(rules.shortest * 1000);

    // The starts first, each on its own: the ends are judged against the starts they will
    // have, the next subtitle's included.
    const std::size_t count = rows.size();
    std::vector<std::int64_t> wanted(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t start = Milliseconds(rows[i].start);
        const std::int64_t end = Milliseconds(rows[i].end);
        wanted[i] = start;
        const std::optional<double> cut = NearestCut(cuts.times, rows[i].start, startReach);
        if (!cut) continue;
        const std::int64_t onCut = Milliseconds(*cut);
        // A start moved later shortens the subtitle.
        if (onCut > start && end - onCut < shortest)
            ++result.startsKept;
        else
            wanted[i] = onCut;
    }

    std::int64_t previousEnd = std::numeric_limits<std::int64_t>::min();
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t start = Milliseconds(rows[i].start);
        const std::int64_t end = Milliseconds(rows[i].end);
        std::int64_t newStart = wanted[i];
        // A start moved earlier must not run into the subtitle before. Keeping it later only
        // leaves more room for that one's end, judged against the earlier start.
        if (newStart < start && newStart < previousEnd) {
            newStart = start;
            ++result.startsKept;
        }
        std::int64_t newEnd = end;
        if (const std::optional<double> cut = NearestCut(cuts.times, rows[i].end, endReach)) {
            const std::int64_t beforeCut = Milliseconds(*cut - endGap);
            const bool tooShort = beforeCut < end && beforeCut - newStart < shortest;
            const bool intoNext = beforeCut > end && i + 1 < count && beforeCut > wanted[i + 1];
            if (beforeCut != end) {
                if (tooShort || intoNext)
                    ++result.endsKept;
                else
                    newEnd = beforeCut;
            }
        }
        previousEnd = newEnd;
        if (newStart == start && newEnd == end) continue;
        RowTimes times;
        times.row = i;
        times.start = static_cast<std::int32_t>(newStart);
        times.end = static_cast<std::int32_t>(newEnd);
        times.startMoved = newStart != start;
        times.endMoved = newEnd != end;
        result.startsMoved += times.startMoved;
        result.endsMoved += times.endMoved;
        result.changes.push_back(times);
    }
    return result;
}

}  // namespace tirelle::shots
