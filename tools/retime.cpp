// Shift, two-point scale and text wrap: walks that change every row in place.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "tools/operations.h"
#include "tools/walk.h"

namespace tirelle::tools {

namespace {

// Rounds an intermediate result to the double it is held as; a result beyond the double range
// is the overflow fault, never an infinity.
double Held(long double value) {
    const double held = static_cast<double>(value);
    if (!std::isfinite(held)) throw FloatingPointError(FloatingPointError::Kind::Overflow);
    return held;
}

double NotNegative(double seconds) {
    return seconds < 0 ? 0.0 : seconds;
}

// Throws TimeRangeError for the first row whose new times, as times(row) gives them (start and
// end, already clamped at 0), a time code cannot hold; before anything is changed.
template <class Times>
void CheckTimes(const store::Dataset& sub, Times times) {
    for (int row = 0; row < sub.rowCount(); ++row) {
        const auto [start, end] = times(sub.rowAt(row));
        if (!FitsTimeCode(start) || !FitsTimeCode(end))
            throw TimeRangeError(row + 1, FitsTimeCode(start));
    }
}

}  // namespace

const char* FloatingPointMessage(FloatingPointError::Kind kind) {
    switch (kind) {
        case FloatingPointError::Kind::DivisionByZero:
            return "Floating point division by zero";
        case FloatingPointError::Kind::InvalidOperation:
            return "Invalid floating point operation";
        case FloatingPointError::Kind::Overflow:
            break;
    }
    return "Floating point overflow";
}

FloatingPointError::FloatingPointError(Kind kind)
    : Error(FloatingPointMessage(kind)), kind_(kind) {}

TimeRangeError::TimeRangeError(int subtitle, bool end)
    : Error(std::string(end ? "The end" : "The start") + " of subtitle " +
            std::to_string(subtitle) + " would lie beyond " +
            MillisecondsToTime(std::numeric_limits<std::int32_t>::max()) +
            ", the largest time a time code holds") {}

bool ShiftAll(store::Dataset& sub, double seconds) {
    if (seconds == 0 || sub.isEmpty()) return false;
    const auto shifted = [seconds](double time) {
        return NotNegative(Held(static_cast<long double>(time) + seconds));
    };
    CheckTimes(sub, [&](const store::SubRecord& row) {
        return std::pair(shifted(row.SubSort), shifted(row.SubSortEnd));
    });
    TimeFields fields(sub);
    WalkAll(sub, [&] {
        fields.setAndPost(sub, shifted(fields.start.asFloat()), shifted(fields.end.asFloat()));
    });
    return true;
}

std::optional<StartTexts> FirstAndLastStart(store::Dataset& sub) {
    if (sub.isEmpty()) return std::nullopt;
    StartTexts texts;
    sub.first();
    texts.first = sub.fieldByName("STime").asString();
    sub.last();
    texts.last = sub.fieldByName("STime").asString();
    return texts;
}

bool ScaleAll(store::Dataset& sub, double newFirst, double newLast) {
    if (sub.isEmpty()) return false;
    const store::Field startField = sub.fieldByName("SubSort");
    sub.first();
    const double first = startField.asFloat();
    sub.last();
    const double last = startField.asFloat();

    const long double span = static_cast<long double>(last) - first;
    const long double newSpan = static_cast<long double>(newLast) - newFirst;
    if (span == 0)
        throw FloatingPointError(newSpan == 0 ? FloatingPointError::Kind::InvalidOperation
                                              : FloatingPointError::Kind::DivisionByZero);
    const double ratio = Held(newSpan / span);

    const auto scaled = [&](double start, double end) {
        const double s = Held((static_cast<long double>(start) - first) * ratio + newFirst);
        // The duration comes from the unclamped start.
        const double e = Held(static_cast<long double>(end) + s - start);
        return std::pair(NotNegative(s), NotNegative(e));
    };
    CheckTimes(sub,
               [&](const store::SubRecord& row) { return scaled(row.SubSort, row.SubSortEnd); });
    TimeFields fields(sub);
    WalkAll(sub, [&] {
        const auto [s, e] = scaled(fields.start.asFloat(), fields.end.asFloat());
        fields.setAndPost(sub, s, e);
    });
    return true;
}

bool WrapAll(store::Dataset& sub, std::string_view prefix, std::string_view suffix) {
    if (sub.isEmpty()) return false;
    store::Field text = sub.fieldByName("SubText");
    std::string wrapped;
    WalkAll(sub, [&] {
        sub.edit();
        wrapped.assign(prefix);
        wrapped += text.asString();
        wrapped += suffix;
        text.setAsString(wrapped);
        sub.post();
    });
    return true;
}

}  // namespace tirelle::tools
