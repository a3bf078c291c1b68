// The rules of the timing checks: how the characters of a text count, and which problems a
// set of rows has under each profile, with their values.

#include "checks/rules.h"

#include <gtest/gtest.h>

#include "checks/textcount.h"
#include "tests/checks/subtitles.h"
#include "tests/support/encodedtext.h"

namespace tirelle::checks {
namespace {

using testing::Described;
using testing::Rows;
using testing::Subtitle;

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kGbk(CodePage::Kind::Gbk);

struct CountCase {
    const char* name;
    std::string text;
    const CodePage& codePage;
    int lines;
    double longestWide, totalWide;    // East Asian Width counting
    double longestEvery, totalEvery;  // every character 1
};

TEST(TextCount, CharactersLinesAndTags) {
    const CountCase cases[] = {
        {"ASCII counts half", "abcd", kUtf8, 1, 2, 2, 4, 4},
        {"wide and fullwidth count 1, halfwidth katakana and ambiguous half",
         "中文\xEF\xBC\xA1\xEF\xBD\xB1\xC2\xB0", kUtf8, 1, 4, 4, 5, 5},
        {"CR LF and a lone LF break, a lone CR is a character", "ab\r\ncd\nx\ry", kUtf8, 3, 1.5,
         3.5, 3, 7},
        {"empty text is one empty line", "", kUtf8, 1, 0, 0, 0, 0},
        {"a break at the end starts a line", "中文\r\n", kUtf8, 2, 2, 2, 2, 2},
        {"tags count nothing", "<i>中</i>{\\an8}a<>", kUtf8, 1, 1.5, 1.5, 2, 2},
        {"a tag does not close on the next line", "<i\nb>", kUtf8, 2, 1, 2, 2, 4},
        {"unclosed openings and a brace without backslash count", "a<b{c}{\\d", kUtf8, 1, 4.5, 4.5,
         9, 9},
        {"a stray byte is one replaced character", "a\xFF\xE4\xB8", kUtf8, 1, 1.5, 1.5, 3, 3},
        {"four-byte GB18030 characters and a stray byte",
         "\x81\x39\xEE\x39\x95\x32\x82\x36"
         "a\xFF",
         kGbk, 1, 3, 3, 4, 4},
        {"GBK is decoded first", testing::Encoded("你好, 世界\r\n字幕", "GBK"), kGbk, 2, 5, 7, 6,
         8},
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(c.name);
        TextCounter counter(c.codePage);
        const TextMeasure m = counter.measure(c.text);
        EXPECT_EQ(c.lines, m.lines);
        EXPECT_EQ(c.longestWide, m.longestLineHalves(Counting::EastAsianWidth) / 2.0);
        EXPECT_EQ(c.totalWide, m.totalHalves(Counting::EastAsianWidth) / 2.0);
        EXPECT_EQ(c.longestEvery, m.longestLineHalves(Counting::EveryCharacter) / 2.0);
        EXPECT_EQ(c.totalEvery, m.totalHalves(Counting::EveryCharacter) / 2.0);
    }
}

struct ProblemCase {
    const char* name;
    const char* profile;
    std::vector<Subtitle> subtitles;
    std::vector<std::string> problems;  // "aid kind value", in start order
    double frameRate = kDefaultFrameRate;
};

TEST(CheckRows, ProblemsAndValues) {
    const auto wide = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += "中";
        return text;
    };
    const ProblemCase cases[] = {
        {"a duration of exactly the shortest is not short, even far into the film",
         "netflix-zh",
         {{"00:01:40,000", "00:01:40,833"}, {"01:00:00,000", "01:00:00,832"}},
         {"2 short 0.83"}},
        {"zero and negative durations are short, with no reading speed",
         "fansub",
         {{"00:00:01,000", "00:00:01,000", "abc"}, {"00:00:05,000", "00:00:04,995", "abc"}},
         {"1 short 0", "2 short -0.01"}},
        {"long, and a value rounded half away from zero",
         "fansub",
         {{"00:00:00,000", "00:00:10,000"}, {"00:00:20,000", "00:00:30,005"}},
         {"2 long 10.01"}},
        {"reading speed: at the limit is fine, over it is reported",
         "netflix-zh",
         {{"00:00:00,000", "00:00:02,000", wide(17) + "\n" + wide(1)},
          {"00:00:10,000", "00:00:12,000", wide(17) + "\n" + wide(1) + "a"}},
         {"1 line-length 17", "2 line-length 17", "2 cps 9.25"}},
        {"lines over the limit; English counts every character",
         "netflix-en",
         {{"00:00:00,000", "00:00:04,000", "a\nb\nc"},
          {"00:00:10,000", "00:00:14,000", std::string(43, 'x')}},
         {"1 lines 3", "2 line-length 43"}},
        {"overlap and gap with the next in start order, equal starts by aid",
         "netflix-zh",
         {{"00:00:10,000", "00:00:11,000"},
          {"00:00:05,000", "00:00:10,050"},
          {"00:00:12,000", "00:00:14,001"},
          {"00:00:10,000", "00:00:12,000"},
          {"00:00:14,084", "00:00:15,000"},
          {"00:00:15,084", "00:00:16,000"}},
         {"2 overlap 0.05", "1 overlap 1", "4 gap 0", "3 gap 0.08"}},
        {"the least gap follows the frame rate",
         "netflix-zh",
         {{"00:00:00,000", "00:00:02,000"}, {"00:00:02,081", "00:00:04,000"}},
         {},
         25},
        {"a video without a frame rate counts at the default",
         "netflix-zh",
         {{"00:00:00,000", "00:00:02,000"}, {"00:00:02,081", "00:00:04,000"}},
         {"1 gap 0.08"},
         0},
        {"fansub has no least gap: touching is fine",
         "fansub",
         {{"00:00:00,000", "00:00:02,000"}, {"00:00:02,000", "00:00:04,000"}},
         {}},
    };
    for (const ProblemCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CheckSettings settings{*FindProfile(c.profile), c.frameRate};
        EXPECT_EQ(c.problems, Described(CheckRows(Rows(c.subtitles), settings, kUtf8)));
    }
}

}  // namespace
}  // namespace tirelle::checks
