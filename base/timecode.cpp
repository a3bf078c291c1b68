#include "base/timecode.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tirelle {

namespace {

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The largest decimal exponent whose numbers can still round to a finite double
// (1.8e308 has 309 integer digits) and the smallest whose numbers can still round to a
// non-zero one (4.9e-324, the smallest subnormal).
constexpr long long kMaxMagnitude = 310;
constexpr long long kMinMagnitude = -330;

// How far below a whole number of milliseconds a product may lie and still count as it: far
// more than the error of any time read from text or added up from a few of them (below 10^-6
// even at the largest time a 32-bit count holds), far less than any fraction a user types.
constexpr long double kWholeMillisecondTolerance = 1e-6L;

// Every power of ten up to 10^22 is exact as a double.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// The fast path relies on double arithmetic being done in double precision (SSE2), not in
// the x87 extended format.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must round to double");

// Reads spaces, sign, digits with one optional point, optional exponent and spaces. With
// commaIsPoint a ',' stands for the point as well (the seconds of a time code). Short
// numbers are formed with one exact double operation, longer ones go through std::from_chars;
// both round to nearest and neither looks at the locale.
bool ParseNumber(std::string_view text, bool commaIsPoint, double& value) {
    value = 0;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && text[i] == ' ') ++i;

    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    // Mantissa: count the significant digits (leading zeros dropped) and how many digits lie
    // after the point; keep the first 19 significant digits as an integer for the fast path.
    const std::size_t mantissaStart = i;
    std::uint64_t mantissa = 0;
    long long significant = 0;
    long long fractionDigits = 0;
    bool sawDigit = false;
    bool sawPoint = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            sawDigit = true;
            if (sawPoint) ++fractionDigits;
            // Leading zeros carry no digit, but after the point they still count as places.
            if (c != '0' || significant > 0) {
                if (significant < 19) mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
                ++significant;
            }
        } else if (!sawPoint && (c == '.' || (commaIsPoint && c == ','))) {
            sawPoint = true;
        } else {
            break;
        }
    }
    const std::size_t mantissaEnd = i;
    if (!sawDigit && !sawPoint) return false;

    // Exponent: "E" or "e", optional sign, digits that may be missing altogether. A huge
    // exponent saturates; it gives 0 or "too large" below either way.
    long long exponent = 0;
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool exponentNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            exponentNegative = text[i] == '-';
            ++i;
        }
        for (; i < n && IsDigit(text[i]); ++i) {
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[i] - '0');
        }
        if (exponentNegative) exponent = -exponent;
    }

    while (i < n && text[i] == ' ') ++i;
    if (i != n) return false;

    if (significant == 0) {
        value = negative ? -0.0 : 0.0;
        return true;
    }

    // The value is mantissa x 10^scale, or 0.digits x 10^magnitude.
    const long long scale = exponent - fractionDigits;
    const long long magnitude = significant + scale;
    if (magnitude > kMaxMagnitude) return false;
    if (magnitude < kMinMagnitude) {
        value = negative ? -0.0 : 0.0;
        return true;
    }

    // Up to 15 digits and a power of ten up to 10^22 are both exact doubles, so one
    // multiplication or division rounds the value correctly. Time-code components always
    // take this path.
    if (significant <= 15 && scale >= -22 && scale <= 22) {
        const double whole = static_cast<double>(mantissa);
        const double power = kPowersOfTen[scale < 0 ? -scale : scale];
        const double parsed = scale < 0 ? whole / power : whole * power;
        value = negative ? -parsed : parsed;
        return true;
    }

    std::string digits;
    digits.reserve(static_cast<std::size_t>(significant) + 24);
    for (std::size_t k = mantissaStart; k < mantissaEnd; ++k) {
        const char c = text[k];
        if (IsDigit(c) && (c != '0' || !digits.empty())) digits.push_back(c);
    }
    digits.push_back('e');
    std::array<char, 24> scaleText{};
    const auto written =
        std::to_chars(scaleText.data(), scaleText.data() + scaleText.size(), scale);
    digits.append(scaleText.data(), written.ptr);

    double parsed = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), parsed,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond the largest double: unreadable. Below the smallest subnormal: the nearest
        // double is zero.
        if (magnitude > 0) return false;
        parsed = 0;
    } else if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
        return false;
    }
    value = negative ? -parsed : parsed;
    return true;
}

double ComponentValue(std::string_view text, bool commaIsPoint) {
    double value = 0;
    return ParseNumber(text, commaIsPoint, value) ? value : 0.0;
}

// Decimal text of a whole number, with zeros in front up to the given width.
void AppendPadded(std::string& out, std::int32_t value, std::size_t width) {
    std::array<char, 16> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    const auto length = static_cast<std::size_t>(written.ptr - buffer.data());
    if (length < width) out.append(width - length, '0');
    out.append(buffer.data(), length);
}

}  // namespace

bool ReadNumber(std::string_view text, double& value) {
    if (ParseNumber(text, false, value)) return true;
    value = 0;
    return false;
}

double TimeToSeconds(std::string_view text) {
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos || first + 1 == text.size()) return 0;
    const std::string_view rest1 = text.substr(first + 1);
    const std::size_t second = rest1.find(':');
    if (second == std::string_view::npos || second + 1 == rest1.size()) return 0;

    const double hours = ComponentValue(text.substr(0, first), false);
    const double minutes = ComponentValue(rest1.substr(0, second), false);
    const double seconds = ComponentValue(rest1.substr(second + 1), true);

    // Formed in extended precision (64-bit significand) and rounded to a double once.
    long double sum = static_cast<long double>(hours) * 3600.0L;
    sum += static_cast<long double>(minutes) * 60.0L;
    sum += static_cast<long double>(seconds);
    const double result = static_cast<double>(sum);
    return std::isfinite(result) ? result : 0.0;
}

std::string SecondsToTimeCode(double seconds) {
    return MillisecondsToTime(SecondsToMilliseconds(seconds));
}

namespace {

// The whole milliseconds of SecondsToMilliseconds before they are clamped to 32 bits.
long double WholeMilliseconds(double seconds) {
    static_assert(std::numeric_limits<long double>::digits >= 63,
                  "the product of a double and 1000 needs a 63-bit significand to be exact");
    // A double has 53 significant bits and 1000 has 10, so the product is exact here; it must
    // not pass through a double before it is truncated.
    const long double product = static_cast<long double>(seconds) * 1000.0L;
    long double whole = std::floor(product);
    // A time read from text, or a sum or difference of such times, lies a few binary digits
    // away from its decimal value: 52.25 - 0.2 is 52049.99999999999 milliseconds. A product
    // that close below a whole number stands for it, or every shift would lose a millisecond.
    if (product > whole && (whole + 1) - product < kWholeMillisecondTolerance) whole += 1;
    return whole;
}

}  // namespace

std::int32_t SecondsToMilliseconds(double seconds) {
    if (std::isnan(seconds)) return 0;
    const long double whole = WholeMilliseconds(seconds);
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    if (whole >= static_cast<long double>(kMax)) return kMax;
    if (whole <= static_cast<long double>(kMin)) return kMin;
    return static_cast<std::int32_t>(whole);
}

bool FitsTimeCode(double seconds) {
    if (!std::isfinite(seconds)) return false;
    constexpr auto kMax = static_cast<long double>(std::numeric_limits<std::int32_t>::max());
    const long double whole = WholeMilliseconds(seconds);
    return whole <= kMax && whole >= -kMax;
}

std::string MillisecondsToTime(std::int32_t milliseconds) {
    // Integer division truncates and a remainder takes the sign of the dividend, so a
    // negative count gives minus signs in the fields rather than a time code.
    const std::int32_t mmm = milliseconds % 1000;
    const std::int32_t totalSeconds = (milliseconds - mmm) / 1000;
    const std::int32_t ss = totalSeconds % 60;
    const std::int32_t totalMinutes = (totalSeconds - ss) / 60;
    const std::int32_t mm = totalMinutes % 60;
    const std::int32_t hh = (totalMinutes - mm) / 60;

    std::string out;  // a time code of 12 characters fits in the string itself: no allocation
    AppendPadded(out, hh, 2);
    out.push_back(':');
    AppendPadded(out, mm, 2);
    out.push_back(':');
    AppendPadded(out, ss, 2);
    out.push_back(',');
    AppendPadded(out, mmm, 3);
    return out;
}

std::string SecondsToNumberText(double seconds) {
    if (seconds == 0 || std::isnan(seconds)) return "0";
    // Never written by the time arithmetic; if one turns up, SQLite reads 9E999 as infinity.
    if (std::isinf(seconds)) return seconds < 0 ? "-9E999" : "9E999";

    // The exact decimal expansion of the double: no double has more than 767 significant
    // digits, so with 770 nothing is rounded by the conversion itself.
    constexpr int kExactDigits = 770;
    std::array<char, kExactDigits + 16> buffer{};
    const double magnitude = std::fabs(seconds);
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                       std::chars_format::scientific, kExactDigits);
    // Layout: d.ddd...e[+-]xx
    const char* end = written.ptr;
    const char* ePos = buffer.data();
    while (ePos < end && *ePos != 'e') ++ePos;
    int exponent10 = 0;
    {
        const char* p = ePos + 1;
        if (*p == '+') ++p;
        std::from_chars(p, end, exponent10);
    }

    // Digits d1..d16 of the expansion.
    std::array<char, 16> digits{};
    digits[0] = buffer[0];
    for (int k = 1; k < 16; ++k) digits[k] = buffer[static_cast<std::size_t>(k) + 1];

    // Round to 15 significant digits, a 16th digit of 5 or more rounding up.
    int count = 15;
    int e = exponent10 + 1;  // |x| = 0.d1d2... x 10^e
    if (digits[15] >= '5') {
        int k = 14;
        while (k >= 0 && digits[k] == '9') {
            digits[k] = '0';
            --k;
        }
        if (k >= 0) {
            ++digits[k];
        } else {
            digits[0] = '1';
            for (int m = 1; m < 15; ++m) digits[m] = '0';
            ++e;
        }
    }
    while (count > 1 && digits[count - 1] == '0') --count;

    std::string out;
    out.reserve(24);
    if (seconds < 0) out.push_back('-');
    if (e >= -3 && e <= 15) {
        if (e > 0) {
            for (int k = 0; k < e; ++k) out.push_back(k < count ? digits[k] : '0');
            if (count > e) {
                out.push_back('.');
                out.append(digits.data() + e, static_cast<std::size_t>(count - e));
            }
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-e), '0');
            out.append(digits.data(), static_cast<std::size_t>(count));
        }
    } else {
        out.push_back(digits[0]);
        if (count > 1) {
            out.push_back('.');
            out.append(digits.data() + 1, static_cast<std::size_t>(count - 1));
        }
        out.push_back('E');
        std::array<char, 8> exponentText{};
        const auto exponentWritten =
            std::to_chars(exponentText.data(), exponentText.data() + exponentText.size(), e - 1);
        out.append(exponentText.data(), exponentWritten.ptr);
    }
    return out;
}

std::int32_t TruncateToInt32(double value) {
    const double whole = std::trunc(value);
    if (std::isnan(whole)) return 0;
    if (whole <= std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    if (whole >= std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(whole);
}

}  // namespace tirelle
