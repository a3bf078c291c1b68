#pragma once
// Every subtitle text of the store converted between Simplified and Traditional Chinese as one
// step of the undo history. Times are not touched.

#include <cstddef>
#include <string_view>

#include "base/codepage.h"
#include "chinese/conversion.h"
#include "store/dataset.h"

namespace tirelle::store {
class History;
}

namespace tirelle::chinese {

// The label of the history step (UTF-8).
inline constexpr std::string_view kStepLabel = "简繁转换";

struct StoreConversion {
    int changed = 0;           // subtitles whose text changed
    std::size_t replaced = 0;  // characters the code page cannot hold, replaced
};

// Converts the text of every row of the working dataset (a pending edit put aside first by the
// caller). Only the rows whose text changes are written, in one transaction, and as one step
// of `history` labelled kStepLabel when a history is given and anything changed; the command
// line's store has none. The rows keep their order, without a re-query; the last row written
// is current. Throws what the conversion throws before any row is written; a DatabaseError
// part way keeps the rows written before it (and they form the step).
StoreConversion ConvertSubtitles(store::Dataset& sub, Converter& converter,
                                 const CodePage& codePage, store::History* history = nullptr);

}  // namespace tirelle::chinese
