// tirelle-cli run as a process: exit status, output bytes and messages per subcommand and for
// bad command lines; a shift through the tool against the same shift through the tools
// library on a store file, byte for byte; and snap, against the same snap through the library.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/statements.h"
#include "tests/cli/runtool.h"
#include "speech/analysis.h"
#include "speech/snapstep.h"
#include "tests/support/tempfolder.h"
#include "tools/operations.h"
#include "tools/srtfiles.h"

namespace {

using tirelle::testing::Outcome;
using tirelle::testing::RunTool;
using tirelle::testing::TempFolder;

const std::string kTwo =
    "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n"
    "2\n00:00:05,100 --> 00:00:07,000\n\xE4\xBD\xA0\xE5\xA5\xBD\nline2\n";
const std::string kOne = "1\n00:00:03,000 --> 00:00:04,000\nalone\n";

struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string stdinBytes;
    int status;
    std::string out;                             // standard output, exactly
    std::string err;                             // a part of standard error ("" for none)
    std::map<std::string, std::string> written;  // files afterwards, exactly
    bool outStartsWith = false;                  // `out` is only the start of the output
    const char* alsoThere = nullptr;             // an empty file put in the folder first
    const char* locale = "C.UTF-8";
};

// ASCII bytes as UTF-16LE.
std::string Utf16le(const std::string& ascii) {
    std::string out;
    for (const char c : ascii) out += {c, '\0'};
    return out;
}

const std::string kSimplified = "1\n0:0:1,5 --> 00:00:02,000\n头发干杯\n软件 ok\n";
const std::string kReplacement = "\xEF\xBF\xBD";
// EF BB BF 0A 30 3A EF saved: its second line is the time line, whose end text is what
// follows its first two bytes.
const std::string kSevenBytesSaved = "1\r\n --> " + kReplacement + "\r\n\r\n\r\n";

TEST(CliTool, SubcommandsAndBadInput) {
    const std::string chinese = "\xE4\xBD\xA0\xE5\xA5\xBD";
    const std::string oneSaved = "1\r\n00:00:03,000 --> 00:00:04,000\r\nalone\r\n\r\n";
    const std::vector<Case> cases = {
        {"shift earlier clamps at 0, stdin with LF becomes CR LF",
         {"shift", "-1.5"},
         kTwo,
         0,
         "1\r\n00:00:00,000 --> 00:00:01,000\r\nHello\r\n\r\n"
         "2\r\n00:00:03,600 --> 00:00:05,500\r\n" +
             chinese + "\r\nline2\r\n\r\n",
         "",
         {}},
        {"the store's fallback when the memory name is taken by a file",
         {"shift", "1", "one.srt"},
         "",
         0,
         "1\r\n00:00:04,000 --> 00:00:05,000\r\nalone\r\n\r\n",
         "",
         {{":memory:", ""}},
         false,
         ":memory:"},
        {"scale by time codes",
         {"scale", "00:00:02,000", "0:0:10", "two.srt"},
         "",
         0,
         "1\r\n00:00:02,000 --> 00:00:03,500\r\nHello\r\n\r\n"
         "2\r\n00:00:10,000 --> 00:00:11,900\r\n" +
             chinese + "\r\nline2\r\n\r\n",
         "",
         {}},
        {"wrap into -o -",
         {"wrap", "<i>", "</i>", "-o", "-", "two.srt"},
         "",
         0,
         "1\r\n00:00:01,000 --> 00:00:02,500\r\n<i>Hello</i>\r\n\r\n"
         "2\r\n00:00:05,100 --> 00:00:07,000\r\n<i>" +
             chinese + "\r\nline2</i>\r\n\r\n",
         "",
         {}},
        {"split writes the part after the cut",
         {"split", "3", "two.srt", "-o", "part.srt"},
         "",
         0,
         "",
         "",
         {{"part.srt", "1\r\n00:00:02,100 --> 00:00:04,000\r\n" + chinese + "\r\nline2\r\n\r\n"},
          {"two.srt", kTwo}}},
        {"merge another file at an offset",
         {"merge", "one.srt", "00:01:00,000", "two.srt"},
         "",
         0,
         "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n"
         "2\r\n00:00:05,100 --> 00:00:07,000\r\n" +
             chinese +
             "\r\nline2\r\n\r\n"
             "3\r\n00:01:03,000 --> 00:01:04,000\r\nalone\r\n\r\n",
         "",
         {}},
        {"convert to GBK",
         {"convert", "--to", "GBK", "one.srt", "two.srt", "-i"},
         "",
         0,
         "",
         "",
         {{"two.srt",
           "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n"
           "2\r\n00:00:05,100 --> 00:00:07,000\r\n\xC4\xE3\xBA\xC3\r\nline2\r\n\r\n"},
          {"one.srt", "1\r\n00:00:03,000 --> 00:00:04,000\r\nalone\r\n\r\n"}}},
        {"convert to UTF-16 into a file",
         {"convert", "--to=UTF-16LE", "-oout.srt", "one.srt"},
         "",
         0,
         "",
         "",
         {{"out.srt", Utf16le(oneSaved)}}},
        {"a folder that is not there",
         {"convert", "one.srt", "-o", "nowhere/out.srt"},
         "",
         1,
         "",
         "Cannot create file \"",
         {}},
        {"in place goes on after a missing file",
         {"shift", "1", "-i", "gone.srt", "one.srt"},
         "",
         1,
         "",
         "Cannot open file \"",
         {{"one.srt", "1\r\n00:00:04,000 --> 00:00:05,000\r\nalone\r\n\r\n"}}},
        {"a character the target lacks leaves the file",
         {"convert", "--to", "ASCII", "-i", "two.srt"},
         "",
         1,
         "",
         "Cannot write line 7 in ASCII",
         {{"two.srt", kTwo}}},
        {"scale over one subtitle",
         {"scale", "1", "2", "one.srt"},
         "",
         1,
         "",
         "one.srt: Floating point division by zero.\n",
         {{"one.srt", kOne}}},
        {"nothing to save", {"convert", "-"}, "\r\n\r\n", 1, "", "-: 没找到可保存的文本~", {}},
        {"a stray byte in UTF-8 is replaced, so UTF-8 can be written",
         {"convert", "--to", "UTF-8"},
         "1\n00:00:01,000 --> 00:00:02,000\n" + chinese + "\xFF" + chinese + "\n",
         0,
         "1\r\n00:00:01,000 --> 00:00:02,000\r\n" + chinese + kReplacement + chinese + "\r\n\r\n",
         "（1 处无法转换，已替换）",
         {}},
        {"a mark, a line and a cut character: the first pass",
         {"convert"},
         "\xEF\xBB\xBF\n0:\xEF",
         0,
         kSevenBytesSaved,
         "已按 UTF-8 编码读取：-（1 处无法转换，已替换）",
         {}},
        {"a mark, a line and a cut character: the second pass",
         {"convert"},
         kSevenBytesSaved,
         0,
         kSevenBytesSaved,
         "",
         {}},
        {"a wrap text that is not UTF-8",
         {"wrap", "<i>", "\xFF", "one.srt"},
         "",
         1,
         "",
         "is not UTF-8 text",
         {}},
        {"a shift beyond the largest time code is refused for that file",
         {"shift", "2147478", "-i", "two.srt", "one.srt"},
         "",
         1,
         "",
         "two.srt: The end of subtitle 2 would lie beyond 596:31:23,647",
         {{"two.srt", kTwo}, {"one.srt", "1\r\n596:31:21,000 --> 596:31:22,000\r\nalone\r\n\r\n"}}},
        {"Simplified into Taiwan's Traditional, the times as they were",
         {"chinese", "s2twp", "-i", "zh.srt"},
         "",
         0,
         "",
         "",
         {{"zh.srt", "1\r\n0:0:1,5 --> 00:00:02,000\r\n頭髮乾杯\r\n軟體 ok\r\n\r\n"}}},
        {"Traditional into Simplified on a GBK system",
         {"chinese", "t2s"},
         "1\n00:00:01,000 --> 00:00:02,000\n\xEE\x5E\xF3\x8C\n",
         0,
         "1\r\n00:00:01,000 --> 00:00:02,000\r\n\xCD\xB7\xB7\xA2\r\n\r\n",
         "",
         {},
         false,
         nullptr,
         "zh_CN.GBK"},
        {"an unknown conversion",
         {"chinese", "s2x", "one.srt"},
         "",
         2,
         "",
         "unknown conversion 's2x' (known: s2t, t2s, s2tw, tw2s, s2twp, tw2sp, s2hk, hk2s, t2tw, "
         "t2hk)",
         {}},
        {"unknown subcommand", {"stretch", "2"}, "", 2, "", "unknown subcommand 'stretch'", {}},
        {"shift by a decimal comma",
         {"shift", "1,5", "one.srt"},
         "",
         2,
         "",
         "'1,5' is not a valid floating point value",
         {}},
        {"a time that is no time",
         {"split", "00:xx:01", "one.srt"},
         "",
         2,
         "",
         "'00:xx:01' is not a time code",
         {}},
        {"several files need in place",
         {"shift", "1", "one.srt", "two.srt"},
         "",
         2,
         "",
         "several input files need --in-place",
         {}},
        {"in place with -o",
         {"wrap", "a", "b", "-i", "-o", "x.srt", "one.srt"},
         "",
         2,
         "",
         "--in-place and -o cannot be used together",
         {}},
        {"unknown encoding",
         {"convert", "--to", "NO-SUCH", "one.srt"},
         "",
         2,
         "",
         "unknown encoding 'NO-SUCH'",
         {}},
        {"version", {"--version"}, "", 0, "tirelle-cli 0.", "", {}, true},
        {"help", {"--help"}, "", 0, "Usage: tirelle-cli COMMAND", "", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.write("two.srt", kTwo);
        folder.write("one.srt", kOne);
        folder.write("zh.srt", kSimplified);
        if (c.alsoThere) folder.write(c.alsoThere, "");
        const Outcome outcome = RunTool(folder, c.arguments, c.stdinBytes, c.locale);
        EXPECT_EQ(c.status, outcome.status);
        EXPECT_EQ(c.out, c.outStartsWith ? outcome.out.substr(0, c.out.size()) : outcome.out);
        tirelle::testing::ExpectMessage(c.err, outcome.err);
        tirelle::testing::ExpectFiles(folder, c.written);
    }
}

// Values no time code can hold are refused before any file is read or written.
TEST(CliTool, OutOfRangeValuesAreRefused) {
    const std::string beyond = " lies beyond the largest time a time code holds, 596:31:23,647";
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } rows[] = {
        {{"shift", "1e308", "-i", "one.srt"}, "'1e308'" + beyond},
        {{"shift", "1e15", "-i", "one.srt"}, "'1e15'" + beyond},
        {{"shift", "9223372036854775807", "-i", "one.srt"}, "'9223372036854775807'" + beyond},
        {{"shift", "-2147483.648", "-i", "one.srt"}, "'-2147483.648'" + beyond},
        {{"shift", "-inf", "-i", "one.srt"}, "'-inf' is not a valid floating point value"},
        {{"shift", "inf", "-i", "one.srt"}, "'inf' is not a valid floating point value"},
        {{"shift", "NaN", "-i", "one.srt"}, "'NaN' is not a valid floating point value"},
        {{"scale", "0", "1e15", "-i", "one.srt"}, "'1e15'" + beyond},
        {{"scale", "-999999999:00:00", "0", "-i", "one.srt"}, "'-999999999:00:00'" + beyond},
        {{"merge", "one.srt", "1e15", "-i", "one.srt"}, "'1e15'" + beyond},
        {{"split", "600:00:00", "one.srt", "-o", "one.srt"}, "'600:00:00'" + beyond},
    };
    for (const auto& row : rows) {
        TempFolder folder;
        folder.write("one.srt", kOne);
        const Outcome outcome = RunTool(folder, row.arguments, "");
        EXPECT_EQ(2, outcome.status) << row.arguments[1];
        EXPECT_NE(std::string::npos, outcome.err.find(row.message)) << outcome.err;
        EXPECT_EQ(kOne, TempFolder::read(folder.file("one.srt"))) << row.arguments[1];
    }
}

// The window's path: open into a store file, shift, save.
std::string ShiftThroughTheLibrary(const TempFolder& folder, const std::string& file,
                                   double seconds) {
    tirelle::store::Connection connection;
    connection.openFile(folder.file("DB.mdb"));
    tirelle::store::Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText(tirelle::store::kSelectAllSql);
    sub.open();
    const tirelle::CodePage utf8(tirelle::CodePage::Kind::Utf8);
    tirelle::tools::ImportSrt(sub, tirelle::tools::LoadSubtitleLines(folder.file(file), utf8));
    tirelle::tools::ShiftAll(sub, seconds);
    tirelle::srt::LineList lines;
    tirelle::tools::ExportSrt(sub, lines, folder.file("saved.srt"));
    return TempFolder::read(folder.file("saved.srt"));
}

TEST(CliTool, ShiftEqualsTheToolsLibrary) {
    // Times that lose a millisecond on the way, texts with a lone CR, equal starts, tags.
    const std::string file =
        "1\n00:00:05,1 --> 00:00:06,123 X1:10\n  lead\r\ntrail  \n\n"
        "7\n0:1:1,001-->0:1:2\nx\ry\n\n\n"
        "2\n00:00:05,100 --> 00:00:05,100\n\n"
        "9\n99:59:59,999 --> 100:00:00,000\nlast\n";
    for (const char* seconds : {"-1.5", "0.0005", "3723.001", "-6", "0"}) {
        SCOPED_TRACE(seconds);
        TempFolder folder;
        folder.write("in.srt", file);
        const Outcome outcome = RunTool(folder, {"shift", seconds, "in.srt"}, "");
        EXPECT_EQ(0, outcome.status) << outcome.err;
        EXPECT_EQ(ShiftThroughTheLibrary(folder, "in.srt", std::stod(seconds)), outcome.out);
    }
}

// The window's path for snap: open into a store, snap every row to the film's speech, save.
std::string SnapThroughTheLibrary(const TempFolder& folder, const std::string& film, const std::string& input,
                                  const std::string& output) {
    tirelle::store::Connection connection;
    connection.openFile(folder.file(output + ".mdb"));
    tirelle::store::History history;
    history.open(connection);
    tirelle::store::Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText(tirelle::store::kSelectAllSql);
    sub.setHistory(&history);
    sub.open();
    const tirelle::CodePage utf8(tirelle::CodePage::Kind::Utf8);
    tirelle::tools::ImportSrt(sub, tirelle::tools::LoadSubtitleLines(folder.file(input), utf8));
    const tirelle::speech::AudioAnalysis analysis = tirelle::speech::AnalyseAudio(film, {});
    tirelle::speech::SnapAllToSpeech(sub, history, analysis.spans);
    tirelle::srt::LineList lines;
    tirelle::tools::ExportSrt(sub, lines, folder.file(output));
    return TempFolder::read(folder.file(output));
}

TEST(CliTool, SnapToTheSpeechOfAVideo) {
    const auto media = tirelle::testing::testDataFolder();
    const std::string film = (media / "speech" / "speech-20db.mp4").string();
    if (media.empty() || !std::filesystem::exists(film)) GTEST_SKIP() << "run scripts/make-test-media first";
    const std::string srt = (media / "speech" / "speech-20db.srt").string();
    TempFolder folder;
    // Every edge of the true timing 0.3 s late, as hand timing may be.
    const Outcome late = RunTool(folder, {"shift", "0.3", srt, "-o", "late.srt"}, "");
    ASSERT_EQ(0, late.status) << late.err;
    const std::string snapped = SnapThroughTheLibrary(folder, film, "late.srt", "library.srt");
    EXPECT_NE(snapped, TempFolder::read(folder.file("late.srt")));
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        std::string err;  // a part of standard error
        bool written;     // out.srt holds the library's snap; otherwise it is not there
    } cases[] = {
        {"decoded the first time", {"snap", "-v", film, "late.srt", "-o", "out.srt"}, 0, "speech spans\n", true},
        {"from the cache the second time", {"snap", "-v", film, "late.srt", "-o", "out.srt"}, 0, "(from the cache)", true},
        {"a video without audio", {"snap", (media / "noaudio.mp4").string(), "late.srt", "-o", "out.srt"}, 1, "The video has no audio.", false},
        {"a file that is no video", {"snap", (media / "unplayable.mp4").string(), "late.srt", "-o", "out.srt"}, 1, "The audio cannot be read: ", false},
        {"a window of no seconds", {"snap", "--window", "0", film, "late.srt", "-o", "out.srt"}, 2, "is not a window of seconds", false},
        {"no subtitle file", {"snap", film}, 2, "snap needs VIDEO and the subtitle files", false},
        {"several files need in place", {"snap", film, "late.srt", "late.srt"}, 2, "several input files need --in-place", false},
        {"standard input is no file", {"snap", film, "-"}, 2, "snap reads files, not standard input", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(folder.file("out.srt"));
        const Outcome outcome = RunTool(folder, c.arguments, "");
        EXPECT_EQ(c.status, outcome.status);
        EXPECT_NE(std::string::npos, outcome.err.find(c.err)) << outcome.err;
        if (c.written)
            EXPECT_EQ(snapped, TempFolder::read(folder.file("out.srt")));
        else
            EXPECT_FALSE(std::filesystem::exists(folder.file("out.srt")));
    }
}

}  // namespace
