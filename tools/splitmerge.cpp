// Split and merge: subtitles out of the store into a new file after a cut, and another file's
// subtitles into the store at an offset.

#include "base/timecode.h"
#include "store/bulkchange.h"
#include "tools/operations.h"
#include "tools/srtfiles.h"

namespace tirelle::tools {

namespace {

// The time code of a difference or sum formed with a 64-bit significand and held as a double;
// a negative time is written as 0, as the shift and the scale do.
std::string TimeCodeOf(long double seconds) {
    const double held = static_cast<double>(seconds);
    return SecondsToTimeCode(held < 0 ? 0.0 : held);
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
    store::Field startText = sub.fieldByName("STime");
    store::Field endText = sub.fieldByName("ETime");
    store::Field text = sub.fieldByName("SubText");
    store::RunBulkChange(ConnectionOf(sub), sub, [&] {
        store::BatchedAppends batch(sub);
        srt::ReadSrtBlocks(lines, [&](const std::string& start, const std::string& end,
                                      const std::string& subtitle) {
            sub.append();
            startText.setAsString(
                TimeCodeOf(static_cast<long double>(TimeToSeconds(start)) + offset));
            endText.setAsString(TimeCodeOf(static_cast<long double>(TimeToSeconds(end)) + offset));
            text.setAsString(subtitle);
            sub.post();
        });
        batch.finish();
    });
    sub.requery();
    return true;
}

}  // namespace tirelle::tools
