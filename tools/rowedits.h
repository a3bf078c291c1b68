#pragma once
// Edits of single rows that the keyboard and the list's context menu make: a time set from the
// playback position or moved by a nudge, a subtitle split in two at a moment inside it, and a
// subtitle merged with the one after it. The text rules are pure functions; the store steps
// work on the working dataset's current row and are each one undo step (a post records its own
// step; a split or a merge opens one around its two changes).
//
// Times are seconds; texts are bytes in the program's code page with CR LF line breaks. Time
// texts are written as the tools write them (SecondsToTimeCode, a negative time as 0).

#include <string>
#include <string_view>
#include <utility>

namespace tirelle::store {
class Dataset;
class History;
}  // namespace tirelle::store

namespace tirelle::tools {

enum class RowEdge { Start, End };

// The two halves of a subtitle's text for a split: cut at the line break nearest the middle of
// the text (by bytes; of two equally near, the earlier), the break itself dropped. A text of
// one line (no break) goes whole into both halves.
std::pair<std::string, std::string> SplitText(std::string_view text);

// The texts of two subtitles as one: each trimmed, joined by CR LF; an empty one adds nothing.
std::string JoinTexts(std::string_view first, std::string_view second);

// The time `edge` of the current row moved by `seconds` (negative: earlier), from its derived
// seconds, never below 0; the row is posted. Nothing on an empty or closed dataset.
void NudgeEdge(store::Dataset& sub, RowEdge edge, double seconds);

// The time `edge` of the current row set to `seconds` (below 0: 0), the row posted. Nothing on
// an empty or closed dataset.
void SetEdge(store::Dataset& sub, RowEdge edge, double seconds);

// What a split or a merge did.
enum class RowEditOutcome { Done, NoRow, OutsideRow, NoNextRow };

// Splits the current subtitle at `seconds`, which must lie strictly inside it (OutsideRow
// otherwise, nothing changed): the first half keeps the start and ends at `seconds`, the second
// starts there and keeps the end, the text shared as SplitText gives it. The first half is
// current afterwards, the second follows it. One undo step ("拆分字幕") when `history` is given.
RowEditOutcome SplitCurrentRow(store::Dataset& sub, store::History* history, double seconds);

// Merges the current subtitle with the next row of the list: one subtitle from the current
// start text to the next one's end text, the texts joined (JoinTexts); the next row is deleted
// and the merged row stays current. NoNextRow on the last row. One undo step ("合并字幕").
RowEditOutcome MergeWithNextRow(store::Dataset& sub, store::History* history);

}  // namespace tirelle::tools
