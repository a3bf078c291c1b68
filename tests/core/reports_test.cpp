// The numbers of the status bar's reports: counts with thousands separators and signed seconds
// to the millisecond.

#include "tools/reports.h"

#include <gtest/gtest.h>

namespace tirelle::tools {
namespace {

TEST(reports, counts_are_grouped_by_thousands) {
    const struct {
        std::int64_t count;
        const char* text;
    } rows[] = {{0, "0"},
                {999, "999"},
                {1000, "1,000"},
                {1234, "1,234"},
                {-1234567, "-1,234,567"},
                {123456789012, "123,456,789,012"}};
    for (const auto& row : rows) EXPECT_EQ(CountText(row.count), row.text) << row.count;
}

TEST(reports, seconds_carry_their_sign_and_three_decimals) {
    const struct {
        double seconds;
        const char* text;
    } rows[] = {{-0.2, "\u22120.200"},   {1.5, "+1.500"},    {0, "0.000"},
                {-0.0004, "0.000"},      {0.0005, "+0.001"}, {-3600.25, "\u22123600.250"},
                {52.25 - 0.2, "+52.050"}};
    for (const auto& row : rows) EXPECT_EQ(SignedSecondsText(row.seconds), row.text) << row.seconds;
}

}  // namespace
}  // namespace tirelle::tools
