#include "tools/rowedits.h"

#include <cstdlib>

#include "base/text.h"
#include "base/timecode.h"
#include "store/dataset.h"
#include "store/history.h"

namespace tirelle::tools {

namespace {

const char* textField(RowEdge edge) {
    return edge == RowEdge::Start ? "STime" : "ETime";
}

const char* secondsField(RowEdge edge) {
    return edge == RowEdge::Start ? "SubSort" : "SubSortEnd";
}

bool hasRow(const store::Dataset& sub) {
    return sub.active() && !sub.isEmpty();
}

std::string timeCode(double seconds) {
    return SecondsToTimeCode(seconds >= 0 ? seconds : 0.0);
}

// Runs `change` as one undo step when there is a history, or as it is.
template <class Change>
void asStep(store::History* history, const char* label, Change change) {
    if (!history) {
        change();
        return;
    }
    store::UndoStep step(*history, label);
    change();
    step.commit();
}

}  // namespace

std::pair<std::string, std::string> SplitText(std::string_view text) {
    const std::size_t middle = text.size() / 2;
    std::size_t best = std::string_view::npos;
    std::size_t bestDistance = 0;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos;
         at = text.find('\n', at + 1)) {
        // The break is the LF with the CR before it, when there is one.
        const std::size_t begin = at > 0 && text[at - 1] == '\r' ? at - 1 : at;
        const std::size_t distance = begin > middle ? begin - middle : middle - begin;
        if (best == std::string_view::npos || distance < bestDistance) {
            best = begin;
            bestDistance = distance;
        }
    }
    if (best == std::string_view::npos) return {std::string(text), std::string(text)};
    const std::size_t after = text[best] == '\r' ? best + 2 : best + 1;
    return {std::string(text.substr(0, best)), std::string(text.substr(after))};
}

std::string JoinTexts(std::string_view first, std::string_view second) {
    const std::string_view a = TrimView(first);
    const std::string_view b = TrimView(second);
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    std::string joined;
    joined.reserve(a.size() + 2 + b.size());
    joined.append(a).append("\r\n").append(b);
    return joined;
}

void NudgeEdge(store::Dataset& sub, RowEdge edge, double seconds) {
    if (!hasRow(sub)) return;
    sub.moveBy(0);  // a pending edit of the list is stored first, as its own step
    const long double from = sub.fieldByName(secondsField(edge)).asFloat();
    SetEdge(sub, edge, static_cast<double>(from + seconds));
}

void SetEdge(store::Dataset& sub, RowEdge edge, double seconds) {
    if (!hasRow(sub)) return;
    sub.moveBy(0);
    sub.edit();
    sub.fieldByName(textField(edge)).setAsString(timeCode(seconds));
    sub.post();  // derives the seconds from the texts and records the step, as a list edit
}

RowEditOutcome SplitCurrentRow(store::Dataset& sub, store::History* history, double seconds) {
    if (!hasRow(sub)) return RowEditOutcome::NoRow;
    sub.moveBy(0);
    const double start = sub.fieldByName("SubSort").asFloat();
    const double end = sub.fieldByName("SubSortEnd").asFloat();
    if (!(seconds > start && seconds < end)) return RowEditOutcome::OutsideRow;
    const std::string startText = sub.fieldByName("STime").asString();
    const auto halves = SplitText(sub.fieldByName("SubText").asString());
    const std::string cut = timeCode(seconds);
    asStep(history, "拆分字幕", [&] {
        // The row becomes the second half; the first half is inserted before it, so the list
        // keeps its order without a requery.
        sub.edit();
        sub.fieldByName("STime").setAsString(cut);
        sub.fieldByName("SubText").setAsString(halves.second);
        sub.post();
        sub.insert();
        sub.fieldByName("STime").setAsString(startText);
        sub.fieldByName("ETime").setAsString(cut);
        sub.fieldByName("SubText").setAsString(halves.first);
        sub.post();
    });
    return RowEditOutcome::Done;
}

RowEditOutcome MergeWithNextRow(store::Dataset& sub, store::History* history) {
    if (!hasRow(sub)) return RowEditOutcome::NoRow;
    sub.moveBy(0);
    const store::Bookmark here = sub.bookmark();
    if (here.row + 1 >= sub.rowCount()) return RowEditOutcome::NoNextRow;
    const store::SubRecord& next = sub.rowAt(here.row + 1);
    const std::string endText = next.ETime;
    const std::string text = JoinTexts(sub.fieldByName("SubText").asString(), next.SubText);
    asStep(history, "合并字幕", [&] {
        store::SuspendedUpdates hidden(sub);
        sub.next();
        sub.remove();
        sub.gotoBookmark(here);
        sub.edit();
        sub.fieldByName("ETime").setAsString(endText);
        sub.fieldByName("SubText").setAsString(text);
        sub.post();
    });
    return RowEditOutcome::Done;
}

}  // namespace tirelle::tools
