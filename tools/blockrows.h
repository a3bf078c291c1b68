#pragma once
// Rows made from the blocks of an SRT file, as the open and the merge both make them.

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "srt/srtfile.h"
#include "store/dataset.h"

namespace tirelle::tools {

// The texts stored for a block's start and end texts; the views stay valid until the next call.
using BlockTimes = std::function<std::pair<std::string_view, std::string_view>(
    const std::string& start, const std::string& end)>;

// Appends and posts one row per block of `lines`, in file order: its times as `times` gives
// them (none: the texts as read), its text as read. The appends are batched (BatchedAppends);
// the caller runs this inside its bulk change and re-queries afterwards. A row that fails ends
// the walk there with its error; the rows before it are posted.
void AppendBlockRows(store::Dataset& sub, const srt::LineList& lines, const BlockTimes& times);

}  // namespace tirelle::tools
