#pragma once
// The statements the program sends to the store. Numbers are spliced in with
// SecondsToNumberText; texts are always bound as parameters.

#include <string>

namespace tirelle::store {

// Working dataset statement: every row, ascending by start.
inline constexpr const char* kSelectAllSql = "select * from Sub order by SubSort";
// Empties the table (run by the command object).
inline constexpr const char* kDeleteAllSql = "delete  from Sub ";

// The subtitles active at position p (start < p < end), latest start first. Gives exactly the
// rows, in the same order, of "SELECT * from sub where SubSort<p and SubSortEnd>p order by
// SubSort Desc", with a lower bound on SubSort taken from the longest duration the store
// holds (table SubSpan, see Connection), so that the index on SubSort is walked only over
// rows that can still be active:
//   SELECT * from sub where SubSort<p and SubSortEnd>p and SubSort>=p-(select
//   ifnull(max(MaxSpan),9e999) from SubSpan)*1.000001-1-abs(p)*1e-9 order by SubSort Desc
// p is SecondsToNumberText(position) in every place.
std::string ActiveSubtitlesSql(double position);

// The greatest start at or before p: "SELECT max(SubSort)  from sub where SubSort<=p".
std::string LatestStartSql(double position);

// The earliest start at or after p, NULL when none (a start stored as text by another program
// counts as none): "SELECT min(SubSort)  from sub where SubSort>=p and typeof(SubSort) in
// ('integer','real')".
std::string EarliestStartSql(double position);

}  // namespace tirelle::store
