#include <gtest/gtest.h>

#include <string>

#include "base/textmatch.h"

namespace tirelle {
namespace {

const CodePage kGbk(CodePage::Kind::Gbk);
const CodePage kUtf8(CodePage::Kind::Utf8);

struct MatchCase {
    const char* name;
    CodePage page;
    std::string cell;
    std::string wanted;
    MatchKind kind;
    bool ignoreCase;
    bool matches;
};

class TextMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(TextMatchTest, MatchesAsTheFindDoes) {
    const MatchCase& c = GetParam();
    TextMatcher matcher(c.wanted, c.kind, c.ignoreCase, c.page);
    EXPECT_EQ(matcher.matches(c.cell), c.matches);
    // A matcher keeps no state from one cell to the next.
    EXPECT_EQ(matcher.matches(c.cell), c.matches);
}

// GBK: "你" is C4 E3, "好" is BA C3, "阿" is B0 A2, "ａ" A3 E1, "Ａ" A3 C1.
// In "\xB0\x41" the trail byte is an ASCII 'A'; in "\xC4\x61" an 'a'.
const MatchCase kCases[] = {
    {"any_ascii_ignoring_case", kUtf8, "Hello World", "world", MatchKind::AnyPart, true, true},
    {"any_ascii_match_case", kUtf8, "Hello World", "world", MatchKind::AnyPart, false, false},
    {"any_empty_text", kUtf8, "abc", "", MatchKind::AnyPart, true, false},
    {"any_empty_cell", kUtf8, "", "a", MatchKind::AnyPart, true, false},
    {"whole_equal_ignoring_case", kUtf8, "ABC", "abc", MatchKind::WholeCell, true, true},
    {"whole_longer_cell", kUtf8, "abcd", "abc", MatchKind::WholeCell, true, false},
    {"whole_empty_matches_empty", kUtf8, "", "", MatchKind::WholeCell, true, true},
    {"whole_empty_not_text", kUtf8, "a", "", MatchKind::WholeCell, true, false},
    {"begin_prefix", kUtf8, "00:01:02,000", "00:01", MatchKind::Beginning, false, true},
    {"begin_not_prefix", kUtf8, "00:01:02,000", "01:02", MatchKind::Beginning, false, false},
    {"begin_empty_matches_all", kUtf8, "abc", "", MatchKind::Beginning, true, true},
    {"begin_cell_shorter", kUtf8, "ab", "abc", MatchKind::Beginning, true, false},
    {"gbk_any_chinese", kGbk, "\xC4\xE3\xBA\xC3", "\xBA\xC3", MatchKind::AnyPart, true, true},
    // "\xE3\xBA" occurs only across the two characters
    {"gbk_straddling", kGbk, "\xC4\xE3\xBA\xC3", "\xE3\xBA", MatchKind::AnyPart, true, false},
    // the trail byte 'A' of "\xB0\x41" is no letter A of the text
    {"gbk_second_byte", kGbk, "\xB0\x41", "A", MatchKind::AnyPart, true, false},
    // a later occurrence at a boundary still counts
    {"gbk_second_byte_then_real", kGbk, "\xB0\x41x\x41", "A", MatchKind::AnyPart, false, true},
    // upper-casing leaves the trail byte 'a' of "\xC4\x61" as it is
    {"gbk_trail_not_upper_cased", kGbk, "\xC4\x61", "\xC4\x41", MatchKind::WholeCell, true,
     false},
    {"gbk_fullwidth_case", kGbk, "\xA3\xE1", "\xA3\xC1", MatchKind::WholeCell, true, true},
    {"gbk_fullwidth_match_case", kGbk, "\xA3\xE1", "\xA3\xC1", MatchKind::WholeCell, false,
     false},
    // UTF-8: "中" E4 B8 AD; "é" C3 A9, "É" C3 89
    {"utf8_any_chinese", kUtf8, "a\xE4\xB8\xAD" "b", "\xE4\xB8\xAD", MatchKind::AnyPart, true,
     true},
    {"utf8_inside_a_character", kUtf8, "\xE4\xB8\xAD", "\xB8\xAD", MatchKind::AnyPart, false,
     false},
    {"utf8_accent_case", kUtf8, "caf\xC3\xA9", "CAF\xC3\x89", MatchKind::WholeCell, true, true},
    {"utf8_accent_match_case", kUtf8, "caf\xC3\xA9", "CAF\xC3\x89", MatchKind::WholeCell, false,
     false},
    // E3 A0 is the start of a three-byte sequence cut short, not "à" (C3 A0)
    {"utf8_cut_sequence_no_letter", kUtf8, "\xE3\xA0", "\xC3\xA0", MatchKind::WholeCell, true,
     false},
};

INSTANTIATE_TEST_SUITE_P(Cells, TextMatchTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UpperCaseTest, KeepsEveryLengthAndTheBytesOfOtherCharacters) {
    EXPECT_EQ(UpperCase("ab\xC4\x61z\xA7\xD1", kGbk), "AB\xC4\x61Z\xA7\xA1");
    EXPECT_EQ(UpperCase("\xCE\xB1\xE4\xB8\xAD" "x", kUtf8), "\xCE\x91\xE4\xB8\xAD" "X");
}

}  // namespace
}  // namespace tirelle
