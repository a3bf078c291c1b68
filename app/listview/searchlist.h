#pragma once
// One search pass over the subtitle list: walks the working dataset row by row (or cell by cell)
// with the list's updates suspended, and makes the first matching cell current. Kept apart from
// the find dialog, which only collects the choices.

#include <optional>
#include <string_view>

#include "store/dataset.h"
#include "base/textmatch.h"

namespace tirelle::listview {

class SubtitleGrid;

enum class SearchDirection { Up, Down, All };

struct SearchOptions {
    bool caseInsensitive = true;
    bool allColumns = false;  // walk every scanned column of each row
};

// Searches `list` for `text` (bytes in the program's code page).
//  - column: the column to search; nothing: the list's current column (the start column of an
//    all-columns walk).
//  - All starts at the first row (keeping the start column); Up and Down start one step away
//    from the current cell.
//  - With allColumns a step moves across the first n visible columns, n being the number of data
//    columns fully visible at the moment, wrapping to the next or previous row.
// Found: the matching row is current and the matching column is the list's current column.
// Not found: the cursor and the list's scroll position are as before. Nothing is searched while
// the dataset is closed or no data column is fully visible. A pending edit is completed first;
// errors of the store propagate, with the list's updates resumed.
bool SearchList(SubtitleGrid& list, std::optional<store::Column> column, std::string_view text,
                SearchOptions options, SearchDirection direction, MatchKind match);

}  // namespace tirelle::listview
