#include "sync/mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tirelle::sync {

namespace {

// A number as the summary writes it: fixed decimals, "." as separator whatever the locale.
std::string Fixed(double value, int decimals, bool sign) {
    char text[64];
    std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, value);
    std::string out(text);
    // snprintf follows LC_NUMERIC; the program's numbers always use ".".
    std::replace(out.begin(), out.end(), ',', '.');
    return out;
}

// 23.976 and 29.97 as written on releases; "25/23.976" is what the user reads.
std::string RateText(double rate) {
    std::string text = Fixed(rate, 3, false);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

}  // namespace

double Mapping::offsetAt(double lineStart) const {
    // The last segment beginning at or before the line; the first takes every earlier line.
    auto after = std::upper_bound(segments.begin() + 1, segments.end(), lineStart,
                                  [](double t, const Segment& s) { return t < s.from; });
    return std::prev(after)->offset;
}

double Mapping::map(double seconds, double lineStart) const {
    if (isIdentity()) return seconds;
    const long double scaled =
        ratio.isOne() ? static_cast<long double>(seconds) : seconds * ratio.value();
    return static_cast<double>(scaled + offsetAt(lineStart));
}

std::string RatioText(const Ratio& ratio) {
    if (ratio.denominator == 1) return Fixed(ratio.numerator, 6, false);
    return RateText(ratio.numerator) + "/" + RateText(ratio.denominator);
}

std::string OffsetText(double seconds) {
    return Fixed(seconds, 3, true);
}

std::string Summary(const Mapping& mapping) {
    std::string text = "偏移 " + OffsetText(mapping.segments.front().offset) + " 秒";
    if (!mapping.ratio.isOne()) text += "，比率 " + RatioText(mapping.ratio);
    if (mapping.breaks() > 0) text += "，" + std::to_string(mapping.breaks()) + " 处断点";
    return text;
}

const std::vector<Ratio>& StandardRatios() {
    static const std::vector<Ratio> ratios = [] {
        // Whole rates first, so that a value two pairs share is named by the plainer pair
        // (30/24 rather than 29.97/23.976).
        constexpr double kRates[] = {24, 25, 30, 23.976, 29.97};
        std::vector<Ratio> all{Ratio{}};
        for (const double p : kRates)
            for (const double q : kRates) {
                if (p == q) continue;
                const Ratio candidate{p, q};
                const bool known = std::any_of(all.begin(), all.end(), [&](const Ratio& r) {
                    return std::abs(static_cast<double>(r.value() - candidate.value())) < 1e-9;
                });
                if (!known) all.push_back(candidate);
            }
        return all;
    }();
    return ratios;
}

}  // namespace tirelle::sync
