// Time codes: reading "h:m:s" texts, seconds to whole milliseconds, writing time codes and
// plain number texts. Every table is also run under a locale whose decimal point is ",".

#include "base/timecode.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "tests/support/tempfolder.h"

namespace tirelle {
namespace {

struct TimeRow {
    std::string text;
    double seconds;
};

const TimeRow kTimeRows[] = {
    {"00:00:05,123", 5.123},
    {"00:00:05.5", 5.5},
    {"00:00:05,1", 5.1},
    {"00:00:05", 5},
    {"1:2:3", 3723},
    {" 00 : 01 : 02,5 ", 62.5},
    {"00:75:00,000", 4500},
    {"00:00:-5", -5},
    {"01:02:03:04", 3720},
    {"01:00:05,1,2", 3600},
    {":05:06,000", 306},
    {"00:05", 0},
    {"12", 0},
    {"00:00:", 0},
    {"05:", 0},
    {"", 0},
    // No range test on the components; fractions in hours and minutes count.
    {"0.5:0.5:0", 1830},
    {"100:00:00,000", 360000},
    {"-1:00:00", -3600},
    // A component that is not a number counts as 0, the others keep their values.
    {"xx:01:02", 62},
    {"01:yy:02", 3602},
    {"01:02:zz", 3720},
    {"\t01:00:00", 0},
    {"01:00:05 ,5", 3600},
    // The seconds part reads "," as the point, the hours and minutes do not.
    {"1,5:00:00", 0},
    {"00:00:5,", 5},
    {"00:00:,5", 0.5},
    // A component beyond the double range is unreadable; so is a sum beyond it.
    {"1e400:00:05", 5},
    {"1e305:00:00", 0},
    {"1e305:-1e305:00", 0},
};

void CheckTimeRows() {
    for (const auto& row : kTimeRows) {
        EXPECT_EQ(TimeToSeconds(row.text), row.seconds) << "text: \"" << row.text << "\"";
    }
}

TEST(TimeToSeconds, ReadsTable) {
    CheckTimeRows();
}

TEST(TimeToSeconds, SumIsRoundedOnceFromExtendedPrecision) {
    // 0.1 min + 0.1 s: 0.1 * 60 kept in extended precision and added to 0.1 gives the double
    // just above 6.1; rounding 0.1 * 60 to a double first would give the double nearest 6.1.
    EXPECT_EQ(TimeToSeconds("0:0.1:0.1"), std::nextafter(6.1, 7.0));
    EXPECT_EQ(TimeToSeconds("0:0.1:0.3"), std::nextafter(6.3, 7.0));
}

struct NumberRow {
    std::string text;
    bool readable;
    double value;
};

const NumberRow kNumberRows[] = {
    {"5", true, 5},
    {"  5  ", true, 5},
    {"+5", true, 5},
    {"-5", true, -5},
    {".", true, 0},
    {"5.", true, 5},
    {".5", true, 0.5},
    {"-.5", true, -0.5},
    {"5E", true, 5},
    {"5e+", true, 5},
    {"5e-", true, 5},
    {"1E3", true, 1000},
    {"1e-2", true, 0.01},
    {"2.5E+1", true, 25},
    {".E5", true, 0},
    {"000123.4500", true, 123.45},
    {"0.000000000000000000000000000001", true, 1e-30},
    {"123456789012345678901234567890", true, 123456789012345678901234567890.0},
    {"1e-400", true, 0},
    {"1e22", true, 1e22},
    {"1e23", true, 1e23},
    {"9007199254740993", true, 9007199254740992.0},
    {"1e308", true, 1e308},
    {"1.7976931348623157e308", true, std::numeric_limits<double>::max()},
    {"1e309", false, 0},
    {"1e99999999999999999999", false, 0},
    {"0e99999999999999999999", true, 0},
    {"", false, 0},
    {"   ", false, 0},
    {"-", false, 0},
    {"+", false, 0},
    {"E5", false, 0},
    {"5..", false, 0},
    {"1.2.3", false, 0},
    {"5 5", false, 0},
    {"\t5", false, 0},
    {"5\t", false, 0},
    {"1,5", false, 0},
    {"0x10", false, 0},
    {"++5", false, 0},
    {"5e5e5", false, 0},
    {"inf", false, 0},
    {"nan", false, 0},
};

void CheckNumberRows() {
    for (const auto& row : kNumberRows) {
        double value = -123;
        EXPECT_EQ(ReadNumber(row.text, value), row.readable) << "text: \"" << row.text << "\"";
        EXPECT_EQ(value, row.value) << "text: \"" << row.text << "\"";
    }
}

TEST(ReadNumber, FollowsGrammar) {
    CheckNumberRows();
}

TEST(ReadNumber, GivesNearestDouble) {
    // Halfway between 1 and the next double (1 + 2^-52) lies 1 + 2^-53; a hair above must
    // round up, exactly halfway rounds to even (down).
    double value = 0;
    ASSERT_TRUE(ReadNumber("1.00000000000000011102230246251565404236316680908203125", value));
    EXPECT_EQ(value, 1.0);
    ASSERT_TRUE(ReadNumber("1.00000000000000011102230246251565404236316680908203126", value));
    EXPECT_EQ(value, std::nextafter(1.0, 2.0));
}

TEST(ReadNumber, AgreesWithFromChars) {
    // Short and long mantissas, points anywhere, exponents on both sides of 10^+-22: every
    // reading is compared with the standard library's correctly rounded conversion.
    std::mt19937_64 random(12345);
    for (int round = 0; round < 20000; ++round) {
        const int length = 1 + static_cast<int>(random() % 20);
        std::string text;
        for (int k = 0; k < length; ++k) text += static_cast<char>('0' + random() % 10);
        if (random() % 2) text.insert(random() % (text.size() + 1), ".");
        if (random() % 2) text += "e" + std::to_string(static_cast<int>(random() % 81) - 40);
        double expected = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(result.ec, std::errc()) << text;
        double value = -1;
        ASSERT_TRUE(ReadNumber(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
}

struct MillisecondsRow {
    double seconds;
    std::int32_t milliseconds;
};

const MillisecondsRow kMillisecondsRows[] = {
    {5.123, 5123},
    // Doubles just below their decimal value count as it.
    {61.001, 61001},
    {5.1, 5100},
    {0.3, 300},
    {2.675, 2675},
    {0.001, 1},
    {5.5, 5500},
    {0, 0},
    {0.7, 700},
    {1.005, 1005},
    {52.25 - 0.2, 52050},
    {2147483.647, 2147483647},
    {2147483.6475, 2147483647},
    // Anything further below a whole number is truncated.
    {1.0005, 1000},
    {2.9999, 2999},
    {0.999999998, 999},
    {0.9999999995, 1000},
    // Negative seconds: still the largest whole number not greater than the product.
    {-0.0005, -1},
    {-5.1, -5100},
    {-5.5, -5500},
    // Outside the 32-bit range: clamped.
    {1e9, std::numeric_limits<std::int32_t>::max()},
    {-1e9, std::numeric_limits<std::int32_t>::min()},
    {std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::max()},
    {-std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::min()},
    {std::numeric_limits<double>::quiet_NaN(), 0},
};

void CheckMillisecondsRows() {
    for (const auto& row : kMillisecondsRows) {
        EXPECT_EQ(SecondsToMilliseconds(row.seconds), row.milliseconds)
            << "seconds: " << SecondsToNumberText(row.seconds);
    }
}

TEST(SecondsToMilliseconds, TruncatesExactProduct) {
    CheckMillisecondsRows();
}

TEST(FitsTimeCode, AsFarAsTheLargestTimeCodeEitherWay) {
    const struct {
        double seconds;
        bool fits;
    } rows[] = {
        {2147483.647, true},
        {2147483.6479, true},  // truncated to the largest time code
        {2147483.648, false},
        {-2147483.647, true},
        {-2147483.648, false},
        {-std::numeric_limits<double>::infinity(), false},
        {std::numeric_limits<double>::quiet_NaN(), false},
    };
    for (const auto& row : rows) EXPECT_EQ(FitsTimeCode(row.seconds), row.fits) << row.seconds;
}

struct TimeTextRow {
    std::int32_t milliseconds;
    std::string text;
};

const TimeTextRow kTimeTextRows[] = {
    {0, "00:00:00,000"},
    {5, "00:00:00,005"},
    {50, "00:00:00,050"},
    {999, "00:00:00,999"},
    {60000, "00:01:00,000"},
    {3600000, "01:00:00,000"},
    {3723004, "01:02:03,004"},
    {359999999, "99:59:59,999"},
    {360000000, "100:00:00,000"},
    {2147483647, "596:31:23,647"},
    // Negative counts: each field padded by its character count, minus signs included.
    {-1, "00:00:00,0-1"},
    {-61001, "00:-1:-1,0-1"},
    {-2147483647 - 1, "-596:-31:-23,-648"},
};

void CheckTimeTextRows() {
    for (const auto& row : kTimeTextRows) {
        EXPECT_EQ(MillisecondsToTime(row.milliseconds), row.text) << "ms: " << row.milliseconds;
    }
}

TEST(MillisecondsToTime, WritesTable) {
    CheckTimeTextRows();
}

TEST(TimeCodes, RoundTripKeepsWholeMilliseconds) {
    const struct {
        std::string in, out;
    } rows[] = {
        {"00:01:01,001", "00:01:01,001"},   {"00:00:05,1", "00:00:05,100"},
        {"00:00:05,123", "00:00:05,123"},   {"123:45:06,789", "123:45:06,789"},
        {"123:45:06,500", "123:45:06,500"}, {"00:00:01,0005", "00:00:01,000"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SecondsToTimeCode(TimeToSeconds(row.in)), row.out) << "in: " << row.in;
    }
    // Every time code the program writes reads back to its own milliseconds, up to the largest.
    std::mt19937 random(2024);
    for (int round = 0; round < 100000; ++round) {
        const auto count = static_cast<std::int32_t>(
            round < 1000 ? std::numeric_limits<std::int32_t>::max() - round : random() >> 1);
        ASSERT_EQ(SecondsToMilliseconds(TimeToSeconds(MillisecondsToTime(count))), count);
    }
}

struct NumberTextRow {
    double seconds;
    std::string text;
};

const NumberTextRow kNumberTextRows[] = {
    {0, "0"},
    {-0.0, "0"},
    {3, "3"},
    {12.5, "12.5"},
    {61.001, "61.001"},
    {1.0 / 3.0, "0.333333333333333"},
    {2.0 / 3.0, "0.666666666666667"},
    {0.0001, "0.0001"},
    {0.00012, "0.00012"},
    {0.001, "0.001"},
    {0.00005, "5E-5"},
    {-0.00005, "-5E-5"},
    {-2.5, "-2.5"},
    {100, "100"},
    {1234.5, "1234.5"},
    {0.1 + 0.2, "0.3"},
    // Exact expansion 0.1234567890123455941...: 16th digit 5 rounds up.
    {0.1234567890123456, "0.123456789012346"},
    // Exact expansion 123456.789012345499...: 16th digit 4 stays, although the nearest
    // 16-digit text would end in 5.
    {123456.7890123455, "123456.789012345"},
    // 1000000000000005 exactly: half up, not half to even.
    {1000000000000005.0, "1.00000000000001E15"},
    {999999999999999.0, "999999999999999"},
    {999999999999999.5, "1E15"},
    {1e15, "1E15"},
    {1e20, "1E20"},
    {1.5e-10, "1.5E-10"},
    {5e-324, "4.94065645841247E-324"},
    {std::numeric_limits<double>::max(), "1.79769313486232E308"},
    {std::numeric_limits<double>::quiet_NaN(), "0"},
    {std::numeric_limits<double>::infinity(), "9E999"},
};

void CheckNumberTextRows() {
    for (const auto& row : kNumberTextRows) {
        EXPECT_EQ(SecondsToNumberText(row.seconds), row.text) << "expected " << row.text;
    }
}

TEST(SecondsToNumberText, WritesTable) {
    CheckNumberTextRows();
}

// Switches the C locale to one whose decimal point is ",": an installed German locale, or
// else one compiled into a temporary folder with localedef. Restores "C" at the end.
class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8"}) {
            if (std::setlocale(LC_ALL, name) && HasCommaPoint()) return;
        }
        // Compile one. LOCPATH is read by setlocale on every call.
        const std::string target = (folder_.path() / "de_DE.ISO-8859-1").string();
        const std::string command =
            "localedef -i de_DE -f ISO-8859-1 '" + target + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) {
            setenv("LOCPATH", folder_.path().c_str(), 1);
            if (std::setlocale(LC_ALL, "de_DE.ISO-8859-1") && HasCommaPoint()) return;
        }
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma is available";
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    static bool HasCommaPoint() {
        const std::lconv* conv = std::localeconv();
        return conv && std::string(conv->decimal_point) == ",";
    }

    testing::TempFolder folder_;
};

TEST_F(CommaLocale, TablesDoNotDependOnLocale) {
    ASSERT_TRUE(HasCommaPoint());
    CheckTimeRows();
    CheckNumberRows();
    CheckMillisecondsRows();
    CheckTimeTextRows();
    CheckNumberTextRows();
}

TEST(TruncateToInt32, TruncatesTowardZeroAndClamps) {
    struct Row {
        double value;
        std::int32_t expected;
    };
    const Row rows[] = {
        {2.9, 2},
        {-2.9, -2},
        {0.0, 0},
        {2147483647.5, 2147483647},
        {1e12, std::numeric_limits<std::int32_t>::max()},
        {-1e12, std::numeric_limits<std::int32_t>::min()},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::max()},
    };
    for (const Row& row : rows) EXPECT_EQ(row.expected, TruncateToInt32(row.value)) << row.value;
}

}  // namespace
}  // namespace tirelle
