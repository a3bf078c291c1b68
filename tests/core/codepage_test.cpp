// The system code page (which bytes begin a character, how long a character is) and trimming
// of byte texts.

#include "base/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "base/text.h"

namespace tirelle {
namespace {

using Kind = CodePage::Kind;

const char* KindName(Kind kind) {
    return kind == Kind::Gbk ? "Gbk" : "Utf8";
}

TEST(CodePage, FromLocaleName) {
    const struct {
        std::string name;
        Kind kind;
    } rows[] = {
        {"zh_CN.GBK", Kind::Gbk},
        {"zh_CN.gbk", Kind::Gbk},
        {"zh_CN.gb2312", Kind::Gbk},
        {"zh_CN.GB18030", Kind::Gbk},
        {"zh_CN.cp936", Kind::Gbk},
        {"zh_CN.CP936", Kind::Gbk},
        {"zh_CN.eucCN", Kind::Gbk},
        {"zh_CN.GBK@modifier", Kind::Gbk},
        {"EUC-CN", Kind::Gbk},
        {"GBK", Kind::Gbk},
        {"gb18030", Kind::Gbk},
        {"zh_CN.UTF-8", Kind::Utf8},
        {"en_US.UTF-8", Kind::Utf8},
        {"zh_TW.BIG5", Kind::Utf8},
        {"C", Kind::Utf8},
        {"POSIX", Kind::Utf8},
        {"", Kind::Utf8},
        {"zh_CN", Kind::Gbk},  // glibc's bare zh_CN is GB2312
        {"zh_SG", Kind::Gbk},
        {"zh_TW", Kind::Utf8},
        {"GBKX", Kind::Utf8},
        {"zh_CN.GB", Kind::Utf8},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(KindName(CodePage::fromLocaleName(row.name).kind()), KindName(row.kind))
            << "locale name: \"" << row.name << "\"";
    }
}

// Sets LC_ALL, LC_CTYPE and LANG for one test and puts the old values back afterwards.
class LocaleEnvironment : public ::testing::Test {
protected:
    static constexpr const char* kNames[] = {"LC_ALL", "LC_CTYPE", "LANG"};

    void SetUp() override {
        for (int k = 0; k < 3; ++k) {
            const char* value = std::getenv(kNames[k]);
            if (value) saved_[k] = value;
        }
    }
    void TearDown() override {
        for (int k = 0; k < 3; ++k) Set(kNames[k], saved_[k]);
    }
    static void Set(const char* name, const std::optional<std::string>& value) {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }

    std::optional<std::string> saved_[3];
};

TEST_F(LocaleEnvironment, FirstNonEmptyVariableDecides) {
    using V = std::optional<std::string>;
    const struct {
        V lcAll, lcCtype, lang;
        Kind kind;
    } rows[] = {
        {"zh_CN.GBK", "en_US.UTF-8", "en_US.UTF-8", Kind::Gbk},
        {"en_US.UTF-8", "zh_CN.GBK", "zh_CN.GBK", Kind::Utf8},
        {std::nullopt, "zh_CN.GB18030", "en_US.UTF-8", Kind::Gbk},
        {"", "zh_CN.GB18030", "en_US.UTF-8", Kind::Gbk},
        {"", "", "zh_CN.gb2312", Kind::Gbk},
        {std::nullopt, std::nullopt, "zh_CN.GBK", Kind::Gbk},
        {std::nullopt, "C", "zh_CN.GBK", Kind::Utf8},
        {std::nullopt, std::nullopt, std::nullopt, Kind::Utf8},
    };
    for (const auto& row : rows) {
        Set("LC_ALL", row.lcAll);
        Set("LC_CTYPE", row.lcCtype);
        Set("LANG", row.lang);
        EXPECT_STREQ(KindName(CodePage::fromEnvironment().kind()), KindName(row.kind))
            << "LC_ALL=" << row.lcAll.value_or("(unset)")
            << " LC_CTYPE=" << row.lcCtype.value_or("(unset)")
            << " LANG=" << row.lang.value_or("(unset)");
    }
}

TEST(CodePage, LeadBytes) {
    const CodePage gbk(Kind::Gbk);
    const CodePage utf8(Kind::Utf8);
    const struct {
        unsigned byte;
        bool gbkLead, utf8Lead;
    } rows[] = {
        {0x00, false, false}, {0x0A, false, false}, {0x0D, false, false}, {0x41, false, false},
        {0x7F, false, false}, {0x80, false, false}, {0x81, true, false},  {0xA1, true, false},
        {0xBF, true, false},  {0xC1, true, false},  {0xC2, true, true},   {0xD6, true, true},
        {0xEF, true, true},   {0xF4, true, true},   {0xF5, true, false},  {0xFE, true, false},
        {0xFF, false, false},
    };
    for (const auto& row : rows) {
        const auto byte = static_cast<unsigned char>(row.byte);
        EXPECT_EQ(gbk.isLeadByte(byte), row.gbkLead) << "GBK byte 0x" << std::hex << row.byte;
        EXPECT_EQ(utf8.isLeadByte(byte), row.utf8Lead) << "UTF-8 byte 0x" << std::hex << row.byte;
    }
}

struct LengthRow {
    Kind kind;
    std::string text;
    std::size_t pos;
    std::size_t length;
};

TEST(CodePage, CharLength) {
    const LengthRow rows[] = {
        {Kind::Gbk, "A", 0, 1},
        {Kind::Gbk, "\xD6\xD0", 0, 2},
        {Kind::Gbk, "\xD6\xD0\x41", 1, 2},  // from pos 1, the trail byte 0xD0 reads as a lead
        {Kind::Gbk, "\x81\n", 0, 2},        // whatever follows a lead byte belongs to it
        {Kind::Gbk, "\x81\r", 0, 2},
        {Kind::Gbk, std::string("\x81\0", 2), 0, 2},
        {Kind::Gbk, "\x81", 0, 1},  // never past the end
        {Kind::Gbk, "\x80\x41", 0, 1},
        {Kind::Gbk, "\xFF\x41", 0, 1},
        {Kind::Gbk, "AB", 2, 0},
        {Kind::Utf8, "A", 0, 1},
        {Kind::Utf8, "\xC3\xA9", 0, 2},
        {Kind::Utf8, "\xE4\xB8\xAD", 0, 3},
        {Kind::Utf8, "\xF0\x9F\x98\x80", 0, 4},
        {Kind::Utf8, "\xE4\xB8\xAD\xE4", 0, 3},  // stops at the sequence length
        {Kind::Utf8, "\xE4\xB8", 0, 2},          // cut short by the end
        {Kind::Utf8, "\xE4\n\xAD", 0, 1},        // LF is no continuation byte
        {Kind::Utf8, "\xC3\r", 0, 1},
        {Kind::Utf8, "\xB8\xAD", 0, 1},  // a stray continuation byte stands alone
        {Kind::Utf8, "\xC0\x80", 0, 1},  // 0xC0 never begins a sequence
        {Kind::Utf8, "\xF5\x80\x80\x80", 0, 1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CodePage(row.kind).charLength(row.text, row.pos), row.length)
            << KindName(row.kind) << " pos " << row.pos << " of "
            << ::testing::PrintToString(row.text);
    }
}

TEST(CodePage, CharBoundaries) {
    const CodePage gbk(Kind::Gbk);
    const CodePage utf8(Kind::Utf8);
    // GBK "A中B": A at 0, 中 at 1..2, B at 3. Walking from the start decides, so byte 2 (0xD0,
    // itself in the lead range) is no boundary.
    const std::string gbkText =
        "A\xD6\xD0"
        "B";
    const bool gbkExpected[] = {true, true, false, true, true, false};
    for (std::size_t pos = 0; pos < 6; ++pos) {
        EXPECT_EQ(gbk.isCharBoundary(gbkText, pos), gbkExpected[pos]) << "GBK pos " << pos;
    }
    // UTF-8 "中\n": 中 at 0..2, LF at 3.
    const std::string utf8Text = "\xE4\xB8\xAD\n";
    const bool utf8Expected[] = {true, false, false, true, true, false};
    for (std::size_t pos = 0; pos < 6; ++pos) {
        EXPECT_EQ(utf8.isCharBoundary(utf8Text, pos), utf8Expected[pos]) << "UTF-8 pos " << pos;
    }
}

TEST(Text, TrimView) {
    const struct {
        std::string in, out;
    } rows[] = {
        {"", ""},
        {"abc", "abc"},
        {"  abc  ", "abc"},
        {"\t\r\n abc \r\n", "abc"},
        {std::string("\0\x01\x1F abc\x20\x1F\0", 10), "abc"},
        {"a  b", "a  b"},
        {" \t ", ""},
        {"\x7F", "\x7F"},            // DEL is not white space
        {"\xA1\xA1", "\xA1\xA1"},    // GBK ideographic space stays
        {" \xD6\xD0 ", "\xD6\xD0"},  // Chinese bytes are never trimmed
        {"\x21", "\x21"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(std::string(TrimView(row.in)), row.out)
            << "input: " << ::testing::PrintToString(row.in);
    }
    EXPECT_TRUE(IsBlank(" \t\r\n"));
    EXPECT_FALSE(IsBlank(" . "));
}

}  // namespace
}  // namespace tirelle
