#pragma once
// The five whole-store operations of the tools window: shift, two-point scale, text wrap,
// split and merge. Each is one function on the working dataset `Sub` (and the connection it
// is bound to), so that a window, a command-line tool or a test calls it the same way.
//
// Times: a record's start and end are its SubSort and SubSortEnd seconds. Intermediate results
// are formed with a 64-bit significand (long double) and rounded to a double where a value is
// held; the time code of a value is SecondsToTimeCode of it, a negative value written as 0.
//
// The operations that change rows run in one transaction each: a process killed half way
// leaves the store as it was before. An error at one record ends the operation there; the
// records changed before it keep their new values (they are committed) and the error goes on.
// When the engine has rolled the whole transaction back by itself, the dataset is read again,
// so it never shows rows that are not stored.

#include <optional>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "srt/srtfile.h"
#include "store/dataset.h"

namespace tirelle::tools {

// A floating-point fault of the arithmetic, raised before any record is touched (or, for an
// overflow, at the record whose time overflows).
class FloatingPointError : public Error {
public:
    enum class Kind { DivisionByZero, InvalidOperation, Overflow };
    explicit FloatingPointError(Kind kind);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// "Floating point division by zero", "Invalid floating point operation", "Floating point
// overflow".
const char* FloatingPointMessage(FloatingPointError::Kind kind);

// A change that would move a time beyond the largest one a time code holds (596:31:23,647),
// refused before any record is touched: written, the time would read as that largest one.
// "The start of subtitle 3 would lie beyond 596:31:23,647, the largest time a time code
// holds", the subtitle counted from 1 in the store's order (in the merged file's for a merge).
class TimeRangeError : public Error {
public:
    TimeRangeError(int subtitle, bool end);
};

// Moves every start and end by `seconds` (negative: earlier); a time that would fall before 0
// becomes 0, start and end independently. Returns false, touching nothing, when `seconds` is 0
// or the store is empty. Leaves the last row current, without re-querying. Throws
// TimeRangeError when a time would move beyond the largest time code.
bool ShiftAll(store::Dataset& sub, double seconds);

// The start texts of the first and the last row, in the dataset's current order; leaves the
// last row current. Nothing for an empty store.
struct StartTexts {
    std::string first;
    std::string last;
};
std::optional<StartTexts> FirstAndLastStart(store::Dataset& sub);

// Stretches every start linearly so that the first row's start becomes newFirst and the last
// row's newLast (seconds); every end moves with its start, keeping the duration computed from
// the unclamped start. Negative results become 0. Returns false for an empty store.
// Throws FloatingPointError (DivisionByZero, or InvalidOperation when newFirst == newLast as
// well) when the first and last starts are equal, and TimeRangeError when a time would move
// beyond the largest time code, both before any record is touched.
bool ScaleAll(store::Dataset& sub, double newFirst, double newLast);

// Puts prefix before and suffix after every subtitle text. Returns false for an empty store.
bool WrapAll(store::Dataset& sub, std::string_view prefix, std::string_view suffix);

// The lines of an SRT file holding every row whose start is strictly after `cut` (seconds),
// numbered from 1, with times relative to the cut written as fresh time codes (a negative one
// as 0). The store is not changed; the last row is current afterwards. Empty lines for an
// empty store or when no row starts after the cut.
srt::LineList SplitAfter(store::Dataset& sub, double cut);

// Appends one row per SRT block of `lines`, its times moved later by `offset` seconds and
// written as fresh time codes (a negative sum as 0), its text as read, then re-queries.
// Returns false, adding nothing, for an empty store. Throws TimeRangeError, adding nothing,
// when a sum lies beyond the largest time code.
bool MergeBlocks(store::Dataset& sub, const srt::LineList& lines, double offset);

}  // namespace tirelle::tools
