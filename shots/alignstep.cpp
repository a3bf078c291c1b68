#include "shots/alignstep.h"

#include <vector>

#include "base/timecode.h"
#include "store/bulkchange.h"
#include "tools/srtfiles.h"

namespace tirelle::shots {

namespace {

void WriteTimes(store::Dataset& sub, const Alignment& alignment) {
    store::RunBulkChange(tools::ConnectionOf(sub), sub, [&] {
        store::SuspendedUpdates walk(sub);
        store::Field start = sub.fieldByName("SubSort");
        store::Field end = sub.fieldByName("SubSortEnd");
        store::Field startText = sub.fieldByName("STime");
        store::Field endText = sub.fieldByName("ETime");
        sub.first();
        std::size_t at = 0;
        for (const RowTimes& times : alignment.changes) {
            sub.moveBy(static_cast<int>(times.row - at));
            at = times.row;
            sub.edit();
            const std::string startCode = MillisecondsToTime(times.start);
            const std::string endCode = MillisecondsToTime(times.end);
            start.setAsFloat(TimeToSeconds(startCode));
            end.setAsFloat(TimeToSeconds(endCode));
            startText.setAsString(startCode);
            endText.setAsString(endCode);
            sub.post();
        }
    });
    sub.requery();
}

}  // namespace

Alignment AlignStoreToCuts(store::Dataset& sub, const ShotCuts& cuts, store::History* history,
                           const AlignmentRules& rules) {
    if (sub.isEmpty()) return {};
    sub.first();  // completes a pending edit
    std::vector<TimedRow> rows(static_cast<std::size_t>(sub.rowCount()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const store::SubRecord& record = sub.rowAt(static_cast<int>(i));
        rows[i] = {record.SubSort, record.SubSortEnd};
    }
    const Alignment alignment = AlignToCuts(rows, cuts, rules);
    if (alignment.changes.empty()) return alignment;
    if (history) {
        // Nearly half the rows of a film move: the copy of the table costs less than recording
        // each row's change.
        store::RunAsStep(*history, kAlignStepLabel, [&] {
            WriteTimes(sub, alignment);
            return true;
        });
    } else {
        WriteTimes(sub, alignment);
    }
    return alignment;
}

std::string AlignmentStatus(const Alignment& alignment, const AlignmentRules& rules) {
    const std::string label = std::string(kAlignStepLabel) + "：";
    const int kept = alignment.startsKept + alignment.endsKept;
    if (alignment.changes.empty() && kept == 0) return label + "没有靠近镜头切换的时间";
    std::string text = label + std::to_string(alignment.startsMoved) +
                       " 个开始时间移到镜头切换处，" + std::to_string(alignment.endsMoved) +
                       " 个结束时间移到切换前 " + std::to_string(rules.endGapFrames) + " 帧";
    if (kept > 0) text += "，" + std::to_string(kept) + " 处未动（会太短或与相邻字幕重叠）";
    return text;
}

}  // namespace tirelle::shots
