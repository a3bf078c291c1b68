#include "shots/alignstep.h"

#include <vector>

#include "base/timecode.h"

namespace tirelle::shots {

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
    std::vector<store::TimesChange> changes;
    changes.reserve(alignment.changes.size());
    for (const RowTimes& times : alignment.changes)
        changes.push_back({static_cast<int>(times.row), MillisecondsToTime(times.start),
                           MillisecondsToTime(times.end)});
    sub.changeTimes(changes, history, kAlignStepLabel);
    sub.requery();
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
