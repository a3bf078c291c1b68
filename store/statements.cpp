#include "store/statements.h"

#include "base/timecode.h"

namespace tirelle::store {

// An active row has SubSort < p < SubSortEnd, so p - SubSort is below its span and
// SubSort > p - MaxSpan. The lower bound subtracts a little more (a millionth of the span,
// one second and a billionth of |p|) than the rounding of these few double operations can
// ever take away, so no active row falls below it; the bound only lets the SubSort index start
// near p instead of at the first row. An empty SubSpan makes the bound minus infinity.
std::string ActiveSubtitlesSql(double position) {
    const std::string p = SecondsToNumberText(position);
    return "SELECT * from sub where SubSort<" + p + " and SubSortEnd>" + p + " and SubSort>=" + p +
           "-(select ifnull(max(MaxSpan),9e999) from SubSpan)*1.000001-1-abs(" + p +
           ")*1e-9 order by SubSort Desc";
}

std::string LatestStartSql(double position) {
    return "SELECT max(SubSort)  from sub where SubSort<=" + SecondsToNumberText(position);
}

std::string EarliestStartSql(double position) {
    return "SELECT min(SubSort)  from sub where SubSort>=" + SecondsToNumberText(position) +
           " and typeof(SubSort) in ('integer','real')";
}

}  // namespace tirelle::store
