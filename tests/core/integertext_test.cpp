#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "base/integertext.h"

namespace tirelle {
namespace {

struct IntegerCase {
    std::string text;
    std::optional<std::int32_t> value;
};

class IntegerTextTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerTextTest, ReadsTheTypedText) {
    EXPECT_EQ(ParseInteger(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, IntegerTextTest,
    ::testing::Values(IntegerCase{"5", 5}, IntegerCase{"   5", 5}, IntegerCase{"+5", 5},
                      IntegerCase{"-2", -2}, IntegerCase{"007", 7},
                      IntegerCase{"2147483647", 2147483647},
                      IntegerCase{"-2147483648", INT32_MIN},
                      IntegerCase{"2147483648", std::nullopt},
                      IntegerCase{"99999999999999999999", std::nullopt},
                      IntegerCase{"$A", 10}, IntegerCase{"xff", 255}, IntegerCase{"X1f", 31},
                      IntegerCase{"0x10", 16}, IntegerCase{"0X10", 16},
                      IntegerCase{"$FFFFFFFF", -1}, IntegerCase{"$80000000", INT32_MIN},
                      IntegerCase{"-$A", -10}, IntegerCase{"$100000000", std::nullopt},
                      IntegerCase{"$0000000000A", 10},
                      // nothing may follow, nothing may be missing
                      IntegerCase{"5 ", std::nullopt}, IntegerCase{"", std::nullopt},
                      IntegerCase{" ", std::nullopt}, IntegerCase{"-", std::nullopt},
                      IntegerCase{"$", std::nullopt}, IntegerCase{"0x", std::nullopt},
                      IntegerCase{"\t5", std::nullopt}, IntegerCase{"- 5", std::nullopt},
                      IntegerCase{"5a", std::nullopt}, IntegerCase{"$G", std::nullopt},
                      IntegerCase{"1e3", std::nullopt}, IntegerCase{"+-1", std::nullopt}));

}  // namespace
}  // namespace tirelle
