// Split and merge: subtitles out of the store into a new file after a cut, and another file's
// subtitles into the store at an offset.

#include "base/timecode.h"
#include "store/bulkchange.h"
#include "tools/blockrows.h"
#include "tools/operations.h"
#include "tools/srtfiles.h"

namespace tirelle::tools {

namespace {

// A difference or sum formed with a 64-bit significand, held as a double; a negative time is
// 0, as the shift and the scale make it.
double HeldTime(long double seconds) {
    const double held = static_cast<double>(seconds);
    return held < 0 ? 0.0 : held;
}

std::string TimeCodeOf(long double seconds) {
    return SecondsToTimeCode(HeldTime(seconds));
}

}  // namespace

srt::LineList SplitAfter(store::Dataset& sub, double cut) {
    srt::LineList lines;
    if (sub.isEmpty()) return lines;
    const store::Field start = sub.fieldByName("SubSort");
    const store::Field end = sub.fieldByName("SubSortEnd");
    const store::Field text = sub.fieldByName("SubText");
    store::SuspendedUpdates walk(sub);
    sub.first();
    int number = 1;
    while (!sub.eof()) {
        const double s = start.asFloat();
        if (s > cut) {
            srt::AppendSrtBlock(lines, number, TimeCodeOf(static_cast<long double>(s) - cut),
                                TimeCodeOf(static_cast<long double>(end.asFloat()) - cut),
                                text.asString());
            ++number;
        }
        sub.next();
    }
    return lines;
}

bool MergeBlocks(store::Dataset& sub, const srt::LineList& lines, double offset) {
    if (sub.isEmpty()) return false;
    // Every sum is checked before the first row is added.
    const auto sum = [offset](const std::string& time) {
        return HeldTime(static_cast<long double>(TimeToSeconds(time)) + offset);
    };
    int block = 0;
    srt::ReadSrtBlocks(
        lines, [&](const std::string& startText, const std::string& endText, const std::string&) {
            ++block;
            const bool startFits = FitsTimeCode(sum(startText));
            if (!startFits || !FitsTimeCode(sum(endText))) throw TimeRangeError(block, startFits);
        });
    std::string start;
    std::string end;
    const BlockTimes moved = [&](const std::string& startText, const std::string& endText) {
        start = SecondsToTimeCode(sum(startText));
        end = SecondsToTimeCode(sum(endText));
        return std::pair<std::string_view, std::string_view>(start, end);
    };
    store::RunBulkChange(ConnectionOf(sub), sub, [&] { AppendBlockRows(sub, lines, moved); });
    sub.requery();
    return true;
}

}  // namespace tirelle::tools
