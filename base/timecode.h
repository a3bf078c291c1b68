#pragma once
// Time codes (HH:MM:SS,mmm) and their conversions to and from seconds.
//
// All four functions are pure and never fail: every input gives a result. None of them
// depends on the C or C++ locale.

#include <cstdint>
#include <string>
#include <string_view>

namespace tirelle {

// Reads "h:m:s" where each component is a number (spaces around it allowed, "," in the
// seconds read as "."). Components are not range-checked. Returns seconds; 0 when the text
// has fewer than two ':' separators with something after each. A component that is not a
// number counts as 0. The sum h*3600 + m*60 + s is formed with a 64-bit significand and
// rounded to a double once. A sum beyond the double range gives 0 (unreadable).
double TimeToSeconds(std::string_view text);

// Whole milliseconds: the largest integer not greater than the exact product 1000 * seconds
// (truncation toward minus infinity, never rounding), except that a product less than one
// millionth of a millisecond below a whole number gives that number: 52.25 - 0.2 gives 52050,
// 61.001 gives 61001, 1.0005 still gives 1000. Results outside the 32-bit range are clamped to
// INT32_MIN / INT32_MAX; NaN gives 0.
std::int32_t SecondsToMilliseconds(double seconds);

// True when a time, or a distance between times, of this many seconds has whole milliseconds
// (as SecondsToMilliseconds gives them) that a time code can hold: at most 2,147,483,647
// either way, the time code 596:31:23,647. False for an infinity and NaN.
bool FitsTimeCode(double seconds);

// "H:MM:SS,mmm" with at least two hour digits. A negative count yields a text with minus
// signs (division truncating toward zero), not a time code.
std::string MillisecondsToTime(std::int32_t milliseconds);

// The time code of a number of seconds: MillisecondsToTime(SecondsToMilliseconds(seconds)).
// A negative value is not clamped here; callers that need a time code replace it by 0 first.
std::string SecondsToTimeCode(double seconds);

// Plain decimal text with "." as separator, 15 significant digits, trailing zeros dropped;
// fixed notation for 0.0001 <= |x| < 1e15, otherwise "dE[-]n" (e.g. 5E-5, 1E15). The 15
// digits come from the exact decimal expansion of the double, a 16th digit of 5 or more
// rounding up. NaN gives "0"; an infinity "9E999" or "-9E999", which SQLite reads as infinite.
std::string SecondsToNumberText(double seconds);

// Reads a number as the time-code components are read: spaces, optional sign, digits with an
// optional '.', optional exponent (whose digits may be missing: "5E" is 5), spaces. The value
// is the nearest double; one below the smallest subnormal reads as 0. Returns false for
// anything else and for a value beyond the double range (the value is then 0).
bool ReadNumber(std::string_view text, double& value);

// A number as a 32-bit integer: truncated toward zero, clamped to the 32-bit range, NaN as 0.
std::int32_t TruncateToInt32(double value);

}  // namespace tirelle
