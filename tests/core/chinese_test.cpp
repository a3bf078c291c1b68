// Simplified and Traditional Chinese converted with OpenCC: the phrases each configuration is
// for, on both code pages; the output against Debian's opencc command; what passes unchanged;
// bad configurations and missing data; the conversion of a store as one undo step.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "chinese/conversion.h"
#include "chinese/storeconversion.h"
#include "tests/support/encodedtext.h"
#include "tests/support/generatedrows.h"
#include "tests/support/storewithhistory.h"
#include "tests/support/tempfolder.h"
#include "tests/support/typedrows.h"

namespace tirelle::chinese {
namespace {

using testing::Encoded;
using testing::TempFolder;

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kGbk(CodePage::Kind::Gbk);

// The texts after the conversion, those it leaves alone as they were.
std::vector<std::string> Converted(Converter& converter, const std::vector<std::string>& texts,
                                   const CodePage& codePage) {
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    const auto results = ConvertTexts(converter, views, codePage);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < texts.size(); ++i)
        out.push_back(results[i] ? results[i]->bytes : texts[i]);
    return out;
}

std::string Converted(const char* name, const std::string& text, const CodePage& codePage) {
    return Converted(CachedConverter(name), {text}, codePage).front();
}

// Phrases converted as a whole, where a character at a time goes wrong, in each configuration.
TEST(ConvertTexts, PhrasesOfEachConfiguration) {
    const struct {
        const char* conversion;
        const char* text;
        const char* expected;
    } rows[] = {
        {"s2t", "头发和干杯，软件", "頭髮和乾杯，軟件"},
        {"s2twp", "头发、干杯、软件、鼠标、内存、打印机", "頭髮、乾杯、軟體、滑鼠、記憶體、印表機"},
        {"s2tw", "里面的软件", "裡面的軟件"},
        {"s2hk", "里面的头发", "裏面的頭髮"},
        {"t2s", "頭髮和軟體", "头发和软体"},
        {"tw2s", "記憶體", "记忆体"},
        {"tw2sp", "軟體和滑鼠", "软件和鼠标"},
        {"hk2s", "裏面的頭髮", "里面的头发"},
        {"t2tw", "裏面着急", "裡面著急"},
        {"t2hk", "裏面着急", "裏面着急"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Converted(row.conversion, row.text, kUtf8), row.expected) << row.conversion;
        EXPECT_EQ(Converted(row.conversion, Encoded(row.text, "GBK"), kGbk),
                  Encoded(row.expected, "GB18030"))
            << row.conversion << " on GBK";
    }
}

// What is not Chinese, and bytes that are no text in the code page, stay byte for byte.
TEST(ConvertTexts, WhatIsNotChinesePassesUnchanged) {
    const struct {
        const char* name;
        std::string text;
        const CodePage* codePage;
        std::string expected;
    } rows[] = {
        {"ASCII with tags", "<i>Hello</i>\r\n- 123", &kUtf8, "<i>Hello</i>\r\n- 123"},
        {"kana, hangul, Cyrillic, an emoji", "ひらがな 안녕 Привет 😀", &kUtf8,
         "ひらがな 안녕 Привет 😀"},
        {"a stray byte between Chinese", "头发\xFF干杯", &kUtf8, "頭髮\xFF乾杯"},
        {"a cut character at the end", "头发\xE5\xB9", &kUtf8, "頭髮\xE5\xB9"},
        {"GBK with a byte it cannot read", Encoded("头发", "GBK") + "\x80" + Encoded("干杯", "GBK"),
         &kGbk, Encoded("頭髮", "GB18030") + "\x80" + Encoded("乾杯", "GB18030")},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Converted("s2t", row.text, *row.codePage), row.expected) << row.name;
}

// Exactly the output of Debian's opencc command, for every configuration, over enough text that
// the conversion takes its faster dictionaries and its threads.
TEST(ConvertTexts, MatchesTheOpenccCommand) {
    if (std::system("command -v opencc >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the opencc command is not installed";
    const std::vector<std::string> lines = testing::SampleChineseLines(8000);
    std::string file;
    for (const std::string& line : lines) file += line + "\n";
    TempFolder folder;
    const auto in = folder.write("in.txt", file);
    for (const Conversion& conversion : Conversions()) {
        const auto out = folder.file(std::string(conversion.name) + ".txt");
        const std::string command = "opencc -c " + std::string(conversion.name) + " -i '" +
                                    in.string() + "' -o '" + out.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        Converter converter(conversion.name);
        std::string ours;
        for (const std::string& line : Converted(converter, lines, kUtf8)) ours += line + "\n";
        EXPECT_EQ(ours, TempFolder::read(out)) << conversion.name;
    }
}

TEST(Converter, BadConfigurationsAndMissingData) {
    TempFolder folder;
    // A configuration whose dictionary is nowhere, neither beside it nor in OpenCC's folder.
    folder.write("s2t.json",
                 R"({"name": "s2t", "segmentation": {"type": "mmseg", "dict": {"type": "ocd2",)"
                 R"( "file": "NoSuchPhrases.ocd2"}}, "conversion_chain": []})");
    const struct {
        const char* name;
        std::filesystem::path folder;
        std::string message;
    } rows[] = {
        {"x2y", OpenCcDataFolder(),
         "unknown conversion 'x2y' (known: s2t, t2s, s2tw, tw2s, s2twp, tw2sp, s2hk, hk2s, "
         "t2tw, t2hk)"},
        {"t2s", folder.path(),
         "Cannot read the data of the conversion 't2s': " + folder.file("t2s.json").string()},
        {"s2t", folder.path(), "Cannot read the data of the conversion 's2t': NoSuchPhrases.ocd2"},
    };
    for (const auto& row : rows) {
        try {
            Converter converter(row.name, row.folder);
            ADD_FAILURE() << row.message << ": loaded";
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, row.message.size()), row.message);
        }
    }
}

// The store's texts converted as one step of the history, the times untouched; undone, every
// text is back.
TEST(ConvertSubtitles, OneUndoStepWithTimesUntouched) {
    testing::StoreWithHistory fixture;
    store::Dataset& sub = fixture.sub;
    store::History& history = fixture.history;
    const std::vector<testing::TypedRow> rows = {{"00:00:01,000", "00:00:02,500", "头发\r\n干杯"},
                                                 {"0:0:3,5", "00:00:04,000", "Hello"},
                                                 {"00:00:05,000", "x", "软件"}};
    testing::AppendRows(sub, rows);
    sub.requery();
    const auto texts = [&] {
        std::vector<testing::TypedRow> now;
        for (int i = 0; i < sub.rowCount(); ++i)
            now.push_back({sub.rowAt(i).STime, sub.rowAt(i).ETime, sub.rowAt(i).SubText});
        return now;
    };

    const StoreConversion report = ConvertSubtitles(sub, CachedConverter("s2twp"), kUtf8, &history);
    EXPECT_EQ(report.changed, 2);
    EXPECT_EQ(texts(),
              (std::vector<testing::TypedRow>{{"00:00:01,000", "00:00:02,500", "頭髮\r\n乾杯"},
                                              {"0:0:3,5", "00:00:04,000", "Hello"},
                                              {"00:00:05,000", "x", "軟體"}}));
    EXPECT_EQ(history.undoLabel(), kStepLabel);
    history.undo();
    sub.reload();
    EXPECT_EQ(texts(), rows);
}

}  // namespace
}  // namespace tirelle::chinese
