// Reading subtitle files in other encodings: which encoding a file is found to be in, and the
// code page bytes it becomes, for one-cue files of every kind people send around.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "srt/encoding.h"
#include "srt/srtfile.h"
#include "tests/support/encodedtext.h"
#include "tests/support/tempfolder.h"

namespace tirelle::srt {
namespace {

using namespace std::string_literals;
using testing::Encoded;
using testing::TempFolder;

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kGbk(CodePage::Kind::Gbk);

const std::string kUtf8Mark = "\xEF\xBB\xBF";

// One cue, as most files hold it, around the given text.
std::string Cue(const std::string& text) {
    return "1\r\n00:00:01,000 --> 00:00:02,500\r\n" + text + "\r\n\r\n";
}

struct FileRow {
    const char* name;
    std::string text;      // the cue's text, UTF-8
    const char* encoding;  // the file's encoding, for iconv
    std::string mark;      // bytes in front of the encoded cue
    std::string detected;  // DetectEncoding's name
};

const std::vector<FileRow>& OneCueFiles() {
    static const std::vector<FileRow> rows = {
        {"UTF-8", "你好，世界", "UTF-8", "", "UTF-8"},
        {"UTF-8 with mark", "你好，世界", "UTF-8", kUtf8Mark, "UTF-8"},
        {"UTF-16 LE with mark", "你好，世界", "UTF-16LE", "\xFF\xFE", "UTF-16LE"},
        {"UTF-16 BE with mark", "你好，世界", "UTF-16BE", "\xFE\xFF", "UTF-16BE"},
        {"UTF-32 LE with mark", "字幕", "UTF-32LE", "\xFF\xFE\0\0"s, "UTF-32LE"},
        {"GBK with 喆 堃 镕", "陶喆、王堃和朱镕基出席了会议", "GBK", "", "GB18030"},
        {"GBK, short", "这是什么？", "GBK", "", "GB18030"},
        {"GB18030 four-byte characters", "𠀀𪚥字幕", "GB18030", "", "GB18030"},
        {"Big5", "這是繁體中文字幕", "BIG5", "", "BIG5"},
        {"Big5, short", "發生了什麼事", "BIG5", "", "BIG5"},
        {"ASCII", "Hello, world", "ASCII", "", "ASCII"},
    };
    return rows;
}

TEST(DetectEncoding, OneCueFiles) {
    for (const FileRow& row : OneCueFiles()) {
        const std::string bytes = row.mark + Encoded(Cue(row.text), row.encoding);
        for (const CodePage* codePage : {&kUtf8, &kGbk}) {
            EXPECT_EQ(DetectEncoding(bytes, *codePage),
                      (DetectedEncoding{row.detected, row.mark.size()}))
                << row.name;
        }
    }
}

// Every file becomes the same code page text. A file in the code page's own encoding is read
// byte for byte, a UTF-8 mark on a UTF-8 system included.
TEST(ToCodePage, OneCueFilesInEitherCodePage) {
    for (const FileRow& row : OneCueFiles()) {
        const std::string bytes = row.mark + Encoded(Cue(row.text), row.encoding);
        for (const CodePage* codePage : {&kUtf8, &kGbk}) {
            const std::string target = codePage->converterName();
            const bool own = row.detected == "ASCII" || row.detected == target;
            const CodePageText read = ToCodePage(bytes, *codePage);
            const std::string expected = own ? bytes : Encoded(Cue(row.text), target.c_str());
            EXPECT_EQ(read.bytes, expected) << row.name << " into " << target;
            EXPECT_EQ(read.encoding, (ReadEncoding{row.detected, !own, 0}))
                << row.name << " into " << target;
        }
    }
}

// A sequence that cannot be read is replaced and counted, never dropped.
TEST(ToCodePage, ReplacesWhatCannotBeRead) {
    const std::string gbk = Encoded(Cue("陶喆、王堃和朱镕基出席了会议"), "GBK");
    const std::string shortBig5 = Encoded(Cue("發生了什麼事"), "BIG5");
    const std::string shortGbk = Encoded(Cue("这是什么？"), "GBK");
    std::string longUtf8;
    for (int k = 0; k < 300; ++k) longUtf8 += Cue("今天天气很好，我们去公园散步吧");
    const std::string longGbk = Encoded(longUtf8, "GBK");
    const std::string fffd = "\xEF\xBF\xBD";
    struct Row {
        const char* name;
        std::string bytes;
        const CodePage* codePage;
        ReadEncoding encoding;
        std::string expected;
    };
    const Row rows[] = {
        {"GBK cut inside its last character", gbk + "\xD6", &kUtf8,
         {"GB18030", true, 1}, Cue("陶喆、王堃和朱镕基出席了会议") + fffd},
        {"short Big5 cut inside its last character", shortBig5 + "\xB5", &kUtf8,
         {"BIG5", true, 1}, Cue("發生了什麼事") + fffd},
        {"short GBK cut inside its last character", shortGbk + "\xD6", &kUtf8,
         {"GB18030", true, 1}, Cue("这是什么？") + fffd},
        {"Russian that reads as GBK but for one byte", Encoded(Cue("Привет, мир"), "CP1251"),
         &kUtf8, {"WINDOWS-1251", true, 0}, Cue("Привет, мир")},
        {"a stray byte in a long GBK file", longGbk + "\xFF" + longGbk, &kUtf8,
         {"GB18030", true, 1}, longUtf8 + "\xEF\xBF\xBD" + longUtf8},
        {"UTF-16 with a lone surrogate", "\xFF\xFE"s + Encoded("a", "UTF-16LE") + "\x00\xD8"s +
                                             Encoded("b", "UTF-16LE"),
         &kUtf8, {"UTF-16LE", true, 1}, "a" + fffd + "b"},
        {"UTF-16 with an odd last byte", "\xFF\xFE"s + Encoded("ab", "UTF-16LE") + "c", &kGbk,
         {"UTF-16LE", true, 1}, "ab?"},
        {"GBK in GBK keeps its stray byte", gbk + "\xFF", &kGbk, {"GB18030", false, 0},
         gbk + "\xFF"},
    };
    for (const Row& row : rows) {
        const CodePageText read = ToCodePage(row.bytes, *row.codePage);
        EXPECT_EQ(read.encoding, row.encoding) << row.name;
        EXPECT_EQ(read.bytes, row.expected) << row.name;
    }
}

// Two cues, as in a short file.
std::string TwoCues(const std::string& first, const std::string& second) {
    return Cue(first) + "2\r\n00:00:03,000 --> 00:00:04,000\r\n" + second + "\r\n\r\n";
}

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int k = 0; k < times; ++k) out += text;
    return out;
}

// UTF-8 with rare stray sequences is UTF-8 on either system; where they are not rare, the
// legacy readings decide, which on a GBK system never give UTF-8.
TEST(DetectEncoding, Utf8ButForRareStrays) {
    const struct {
        const char* name;
        std::string bytes;
        bool utf8;
    } rows[] = {
        {"four Chinese characters to a stray", Cue("字幕你好\xFF"), true},
        {"three Chinese characters to a stray", Cue("字幕你\xFF"), false},
        {"sixteen accented letters to a stray", Cue(Repeated("déjà vu, ", 8) + "\xE9"), true},
        {"fifteen accented letters to a stray", Cue(Repeated("déjà vu, ", 7) + "é\xE9"), false},
        {"a cut character counts once", Cue("字幕你好\xE4\xBD"), true},
        {"a long file with two strays", Repeated(Cue("今天天气很好"), 50) + "\x80\xC0", true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DetectEncoding(row.bytes, kGbk).name == "UTF-8", row.utf8) << row.name;
        if (row.utf8) {
            EXPECT_EQ(DetectEncoding(row.bytes, kUtf8).name, "UTF-8") << row.name;
        }
    }
}

// Each stray sequence of a UTF-8 text is replaced once and counted, on either system, so what
// a UTF-8 system keeps is valid UTF-8 and reads back as itself.
TEST(ToCodePage, ReplacesStraysInUtf8) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        std::string bytes;
        std::string text;  // UTF-8 read, U+FFFD for each replacement
        std::size_t replaced;
    } rows[] = {
        {"a file cut inside the character after 字幕", TwoCues("字幕\xE4\xBD", "你好"),
         TwoCues("字幕" + fffd, "你好"), 1},
        {"a lone 0xFF among Chinese", Cue("字幕\xFF你好"), Cue("字幕" + fffd + "你好"), 1},
        {"a mark, a line and a cut character", kUtf8Mark + "\n0:\xEF", kUtf8Mark + "\n0:" + fffd,
         1},
        // A stray continuation byte, an overlong form, a surrogate and a code above U+10FFFF:
        // one replacement for each byte that cannot begin a character.
        {"a fuzzed file",
         Repeated(Cue("字幕测试"), 10) + Cue("\x80|\xC0\xAF|\xED\xA0\x80|\xF4\x90"),
         Repeated(Cue("字幕测试"), 10) + Cue(fffd + "|" + Repeated(fffd, 2) + "|" +
                                             Repeated(fffd, 3) + "|" + Repeated(fffd, 2)),
         8},
        {"Latin with a byte of Windows-1252", Cue(Repeated("déjà vu, ", 8) + "\xE9"),
         Cue(Repeated("déjà vu, ", 8) + fffd), 1},
        {"the text ends at the first NUL", Cue("字幕你好\xFF") + "\0\xFF"s, Cue("字幕你好" + fffd),
         1},
    };
    for (const auto& row : rows) {
        const CodePageText utf8 = ToCodePage(row.bytes, kUtf8);
        EXPECT_EQ(utf8.bytes, row.text) << row.name;
        EXPECT_EQ(utf8.encoding, (ReadEncoding{"UTF-8", true, row.replaced})) << row.name;
        const CodePageText again = ToCodePage(utf8.bytes, kUtf8);
        EXPECT_EQ(again.encoding.converted, false) << row.name;

        std::string gbkText = row.text.substr(row.text.starts_with(kUtf8Mark) ? 3 : 0);
        for (std::size_t at; (at = gbkText.find(fffd)) != std::string::npos;)
            gbkText.replace(at, fffd.size(), "?");
        const CodePageText gbk = ToCodePage(row.bytes, kGbk);
        EXPECT_EQ(gbk.bytes, Encoded(gbkText, "GB18030")) << row.name;
        EXPECT_EQ(gbk.encoding, (ReadEncoding{"UTF-8", true, row.replaced})) << row.name;
    }
}

// Without a mark the text ends at the first NUL, so what follows decides nothing.
TEST(DetectEncoding, BytesAfterNulDecideNothing) {
    EXPECT_EQ(DetectEncoding("1\r\nabc\0\xB0\xA1\xFF"s, kUtf8).name, "ASCII");
    EXPECT_EQ(DetectEncoding(Encoded(Cue("你好"), "UTF-8") + "\0\xFF"s, kUtf8).name, "UTF-8");
}

// A GBK system (its locale from the environment) reads a GBK file byte for byte, and a UTF-8
// file into GBK.
TEST(LoadTextLines, GbkLocaleReadsGbkFilesUnchanged) {
    const char* saved = getenv("LC_ALL");
    const std::string previous = saved ? saved : "";
    setenv("LC_ALL", "zh_CN.GBK", 1);
    const CodePage codePage = CodePage::fromEnvironment();
    saved ? setenv("LC_ALL", previous.c_str(), 1) : unsetenv("LC_ALL");
    ASSERT_EQ(codePage.kind(), CodePage::Kind::Gbk);

    TempFolder folder;
    const std::string gbkText = Encoded("陶喆、王堃和朱镕基", "GBK");
    ReadEncoding encoding;
    const LineList fromGbk =
        LoadTextLines(folder.write("gbk.srt", Cue(Encoded("陶喆、王堃和朱镕基", "GBK"))),
                      codePage, &encoding);
    EXPECT_EQ(fromGbk, (LineList{"1", "00:00:01,000 --> 00:00:02,500", gbkText, ""}));
    EXPECT_EQ(encoding, (ReadEncoding{"GB18030", false, 0}));

    const LineList fromUtf8 =
        LoadTextLines(folder.write("utf8.srt", kUtf8Mark + Cue("陶喆、王堃和朱镕基")), codePage,
                      &encoding);
    EXPECT_EQ(fromUtf8, fromGbk);
    EXPECT_EQ(encoding, (ReadEncoding{"UTF-8", true, 0}));
}

// A converted file saved again is UTF-8 that reads back as the same blocks.
TEST(LoadTextLines, ConvertedFileRoundTrip) {
    TempFolder folder;
    const std::string utf8 = Cue("陶喆、王堃和朱镕基") +
                             "2\r\n00:00:03,000 --> 00:00:04,000\r\n繁體\r\n第二行\r\n\r\n";
    const auto blocksOf = [](const LineList& lines) {
        std::vector<std::string> fields;
        ReadSrtBlocks(lines, [&](const std::string& start, const std::string& end,
                                 const std::string& text) {
            fields.insert(fields.end(), {start, end, text});
        });
        return fields;
    };
    const LineList opened = LoadTextLines(folder.write("in.srt", Encoded(utf8, "GB18030")), kUtf8);
    WriteTextLines(folder.file("out.srt"), opened);
    EXPECT_EQ(TempFolder::read(folder.file("out.srt")), utf8);
    ReadEncoding encoding;
    EXPECT_EQ(blocksOf(LoadTextLines(folder.file("out.srt"), kUtf8, &encoding)), blocksOf(opened));
    EXPECT_EQ(encoding, (ReadEncoding{"UTF-8", false, 0}));
}

}  // namespace
}  // namespace tirelle::srt
