#pragma once
// The alignment of subtitles to the picture's cuts (align.h) applied to the store: every row
// whose times the rule moves is written as the tools write times (a time code of whole
// milliseconds, the seconds derived from it), in one transaction, as one undo step.

#include <string>

#include "shots/align.h"
#include "store/dataset.h"
#include "store/history.h"

namespace tirelle::shots {

// The undo step's label and the command's name.
inline constexpr const char* kAlignStepLabel = "镜头对齐";

// Moves the times of the rows of `sub` by the rule, with the list's updates suspended, and
// re-queries when anything moved (a start moved onto a cut may pass another's). With a history
// the change is one step labelled kAlignStepLabel; nothing moved records none. A pending edit
// is completed first. Returns what was moved and kept. Throws what the store throws; the rows
// written before a failure stay written (and are the step).
Alignment AlignStoreToCuts(store::Dataset& sub, const ShotCuts& cuts,
                           store::History* history = nullptr, const AlignmentRules& rules = {});

// The status text of a run, UTF-8: how many starts and ends moved, how many were kept.
std::string AlignmentStatus(const Alignment& alignment, const AlignmentRules& rules = {});

}  // namespace tirelle::shots
