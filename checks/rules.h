#pragma once
// The problems a subtitle can have and the check of every row from scratch.
//
// Rows are taken in start order: by SubSort, equal starts by aid; the next row of one is the one
// after it in that order. A row's duration is SubSortEnd - SubSort. Times are taken to the
// nearest whole microsecond, so that the milliseconds of a time code compare as written and
// not as their nearest double: 00:01:40,000 to 00:01:40,833 lasts 0.833 s, not a little less.
//
//   line-length  a line holds more characters than the profile allows; value: the characters
//                of the longest line
//   lines        more lines than allowed; value: the count
//   short        the duration is under the shortest (zero and negative ones included); value:
//                the duration in seconds
//   long         the duration is over the longest; value: the duration
//   cps          characters of all lines / duration over the reading speed (not computed for a
//                duration of 0 or less); value: the speed
//   overlap      the next row starts before this one ends; value: this end - next start
//   gap          the next starts at or after this end, but less than the least gap after it;
//                value: next start - this end

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "checks/profile.h"
#include "store/dataset.h"

namespace tirelle::checks {

enum class ProblemKind : std::uint8_t {
    LineLength,
    Lines,
    Short,
    Long,
    ReadingSpeed,
    Overlap,
    Gap
};
inline constexpr int kProblemKinds = 7;

// "line-length", "lines", "short", "long", "cps", "overlap", "gap".
std::string_view KindName(ProblemKind kind);

struct Problem {
    std::int64_t aid = 0;  // the row's
    ProblemKind kind = ProblemKind::LineLength;
    // The value that broke the rule (characters, lines, seconds or characters per second) in
    // hundredths, rounded to the nearest, halves away from zero.
    std::int64_t hundredths = 0;

    double value() const { return static_cast<double>(hundredths) / 100; }
    bool operator==(const Problem&) const = default;
};

// A value in hundredths as a plain decimal without trailing zeros: "11.5", "3", "-0.05".
std::string ValueText(std::int64_t hundredths);

// The problems of one row: which kinds, with their values (0 for a kind it does not have).
struct RowProblems {
    std::uint8_t kinds = 0;  // bit (1 << kind)
    std::array<std::int64_t, kProblemKinds> hundredths{};

    bool has(ProblemKind kind) const { return (kinds >> static_cast<int>(kind)) & 1u; }
    bool any() const { return kinds != 0; }
    int count() const;
    void add(ProblemKind kind, std::int64_t value);
    // Appends them to `out` in the order of the kinds.
    void appendTo(std::int64_t aid, std::vector<Problem>& out) const;
    bool operator==(const RowProblems&) const = default;
};

// The time code of a time in seconds as the checks take it: to the nearest microsecond, cut
// down to its millisecond; a negative time as 0.
std::string TimeCodeOf(double seconds);

// Indexes of `rows` in start order.
std::vector<std::size_t> StartOrder(std::span<const store::SubRecord> rows);

// Every problem of every row, in start order, a row's problems in the order of the kinds.
// Texts are bytes of `codePage`. Throws Error when its decoder cannot be made.
std::vector<Problem> CheckRows(std::span<const store::SubRecord> rows,
                               const CheckSettings& settings, const CodePage& codePage);

}  // namespace tirelle::checks
