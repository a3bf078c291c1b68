#pragma once
// The fix of the mechanical problems. Only ends move, so the start order stays as it is, and
// texts never change. For each row, in this order:
//  1. overlap or gap: the end moves to the next start minus the least gap, unless that leaves
//     the row shorter than 0.2 s (then it stays, and stays reported);
//  2. short: the end moves to start + shortest, or to the next start minus the least gap when
//     that comes first, and only ever later;
//  3. long: the end moves to start + longest.
// Each step looks at the end the step before it left. A new end is a whole millisecond: the
// time found (to the microsecond, as the checks take times) cut down to its millisecond, and
// written as a time code as the tools write them (a negative time as 0).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "checks/profile.h"
#include "store/dataset.h"
#include "store/history.h"

namespace tirelle::checks {

struct EndChange {
    std::size_t row = 0;  // index in the rows given
    std::int64_t aid = 0;
    std::int32_t milliseconds = 0;  // the new end

    std::string timeCode() const;  // "HH:MM:SS,mmm"
    bool operator==(const EndChange&) const = default;
};

// The new ends, in start order; rows whose end stays are left out.
std::vector<EndChange> FixTiming(std::span<const store::SubRecord> rows,
                                 const CheckSettings& settings);

// The label of the fix's undo step.
inline constexpr std::string_view kFixStepLabel = "修复时间问题";

// Completes a pending edit of the working dataset (as every command does), then writes the new
// ends of FixTiming over its rows in one transaction, recorded as one step of `history`
// labelled kFixStepLabel: the history the dataset records its posts into, or nullptr when it
// has none. Each changed row gets its ETime and
// SubSortEnd; the list's updates are suspended meanwhile and the row that was current is
// current again afterwards. Returns the number of rows changed; 0 records no step. Errors as
// the tools' walks: the rows changed before a failure stay changed (and are the step).
std::size_t ApplyTimingFix(store::Dataset& sub, store::History* history,
                           const CheckSettings& settings);

}  // namespace tirelle::checks
