#include "checks/rules.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>

#include "base/timecode.h"
#include "checks/timeline.h"

namespace tirelle::checks {

namespace {

// n / d to the nearest integer, halves away from zero (d > 0).
std::int64_t RoundedQuotient(std::int64_t n, std::int64_t d) {
    const std::int64_t magnitude = (2 * (n < 0 ? -n : n) + d) / (2 * d);
    return n < 0 ? -magnitude : magnitude;
}

// Microseconds as hundredths of a second.
std::int64_t Hundredths(std::int64_t microseconds) {
    return RoundedQuotient(microseconds, 10000);
}

}  // namespace

std::string_view KindName(ProblemKind kind) {
    switch (kind) {
        case ProblemKind::LineLength:
            return "line-length";
        case ProblemKind::Lines:
            return "lines";
        case ProblemKind::Short:
            return "short";
        case ProblemKind::Long:
            return "long";
        case ProblemKind::ReadingSpeed:
            return "cps";
        case ProblemKind::Overlap:
            return "overlap";
        case ProblemKind::Gap:
            break;
    }
    return "gap";
}

std::string ValueText(std::int64_t hundredths) {
    const std::uint64_t magnitude =
        hundredths < 0 ? 0 - static_cast<std::uint64_t>(hundredths) : hundredths;
    std::string text = (hundredths < 0 ? "-" : "") + std::to_string(magnitude / 100);
    const unsigned fraction = magnitude % 100;
    if (fraction != 0) {
        text += '.';
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
    }
    return text;
}

int RowProblems::count() const {
    return std::popcount(kinds);
}

void RowProblems::add(ProblemKind kind, std::int64_t value) {
    kinds |= static_cast<std::uint8_t>(1u << static_cast<int>(kind));
    hundredths[static_cast<int>(kind)] = value;
}

void RowProblems::appendTo(std::int64_t aid, std::vector<Problem>& out) const {
    for (int kind = 0; kind < kProblemKinds; ++kind)
        if ((kinds >> kind) & 1u)
            out.push_back({aid, static_cast<ProblemKind>(kind), hundredths[kind]});
}

namespace detail {

std::int64_t Microseconds(double seconds) {
    constexpr double kLimit = 9007199254740992.0;  // 2^53
    if (std::isnan(seconds)) return 0;
    // The product's rounding is far below a microsecond in the range of time codes.
    return std::llround(std::clamp(seconds * 1e6, -kLimit, kLimit));
}

std::int32_t ClampedMilliseconds(std::int64_t microseconds) {
    const std::int64_t whole = microseconds >= 0 ? microseconds / 1000 : 0;
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(whole, std::numeric_limits<std::int32_t>::max()));
}

TimedRow TimedRow::of(const store::SubRecord& row) {
    const double start = std::isnan(row.SubSort) ? 0 : row.SubSort;
    return {{start, row.aid}, Microseconds(row.SubSort), Microseconds(row.SubSortEnd)};
}

Limits::Limits(const CheckSettings& settings)
    : counting(settings.profile.counting),
      lineHalves(2 * std::int64_t{settings.profile.charactersPerLine}),
      lines(settings.profile.lines),
      shortest(Microseconds(settings.profile.shortest)),
      longest(Microseconds(settings.profile.longest)),
      readingSpeed(settings.profile.readingSpeed),
      leastGap(settings.profile.leastGapFrames * 1e6L / settings.countedFrameRate()) {}

RowProblems CheckRow(const MeasuredRow& row, const MeasuredRow* next, const Limits& limits) {
    RowProblems found;
    const std::int64_t longestLine = row.text.longestLineHalves(limits.counting);
    if (longestLine > limits.lineHalves) found.add(ProblemKind::LineLength, longestLine * 50);
    if (row.text.lines > limits.lines) found.add(ProblemKind::Lines, row.text.lines * 100LL);

    const std::int64_t duration = row.time.end - row.time.start;
    if (duration < limits.shortest) found.add(ProblemKind::Short, Hundredths(duration));
    if (duration > limits.longest) found.add(ProblemKind::Long, Hundredths(duration));
    const std::int64_t characters = row.text.totalHalves(limits.counting);
    // characters / seconds > speed, with characters = halves / 2 and seconds = us / 1e6.
    if (duration > 0 && characters * 500000.0L > limits.readingSpeed * duration)
        found.add(ProblemKind::ReadingSpeed, RoundedQuotient(characters * 50000000, duration));

    if (next) {
        const std::int64_t gap = next->time.start - row.time.end;
        if (gap < 0)
            found.add(ProblemKind::Overlap, Hundredths(-gap));
        else if (TooClose(gap, limits))
            found.add(ProblemKind::Gap, Hundredths(gap));
    }
    return found;
}

}  // namespace detail

std::string TimeCodeOf(double seconds) {
    return MillisecondsToTime(detail::ClampedMilliseconds(detail::Microseconds(seconds)));
}

std::vector<std::size_t> StartOrder(std::span<const store::SubRecord> rows) {
    std::vector<detail::OrderKey> keys;
    keys.reserve(rows.size());
    for (const store::SubRecord& row : rows) keys.push_back(detail::TimedRow::of(row).key);
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    return order;
}

std::vector<Problem> CheckRows(std::span<const store::SubRecord> rows,
                               const CheckSettings& settings, const CodePage& codePage) {
    TextCounter counter(codePage);
    const detail::Limits limits(settings);
    std::vector<detail::MeasuredRow> measured;
    measured.reserve(rows.size());
    for (const std::size_t index : StartOrder(rows))
        measured.push_back(
            {detail::TimedRow::of(rows[index]), counter.measure(rows[index].SubText)});
    std::vector<Problem> problems;
    for (std::size_t i = 0; i < measured.size(); ++i) {
        const detail::MeasuredRow* next = i + 1 < measured.size() ? &measured[i + 1] : nullptr;
        detail::CheckRow(measured[i], next, limits).appendTo(measured[i].time.key.aid, problems);
    }
    return problems;
}

}  // namespace tirelle::checks
