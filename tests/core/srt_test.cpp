// SRT files at the byte level: splitting bytes into lines, walking lines as blocks, building
// the lines of blocks and writing them safely.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "srt/srtfile.h"
#include "store/errors.h"
#include "tests/support/tempfolder.h"

namespace tirelle::srt {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kGbk(CodePage::Kind::Gbk);

// "中文" in GBK.
const std::string kGbkText = "\xD6\xD0\xCE\xC4";

using namespace std::string_literals;

struct Block {
    std::string start, end, text;
    bool operator==(const Block&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Block& block) {
    return out << "{" << ::testing::PrintToString(block.start) << ", "
               << ::testing::PrintToString(block.end) << ", "
               << ::testing::PrintToString(block.text) << "}";
}

std::vector<Block> Blocks(const LineList& lines) {
    std::vector<Block> blocks;
    ReadSrtBlocks(lines,
                  [&](const std::string& start, const std::string& end, const std::string& text) {
                      blocks.push_back({start, end, text});
                  });
    return blocks;
}

std::string ErrorMessage(const std::function<void()>& call) {
    try {
        call();
    } catch (const FileError& error) {
        return error.what();
    }
    return "(no FileError)";
}

// ---- bytes to lines ----------------------------------------------------------------------

struct LinesRow {
    const char* name;
    std::string bytes;
    const CodePage* codePage;
    LineList lines;
};

TEST(SplitTextLines, LineBreakRules) {
    const std::string longLine(5000, 'x');
    const LinesRow rows[] = {
        {"CR LF", "a\r\nb\r\n", &kUtf8, {"a", "b"}},
        {"LF", "a\nb\n", &kUtf8, {"a", "b"}},
        {"CR", "a\rb\r", &kUtf8, {"a", "b"}},
        {"mixture", "a\r\nb\nc\rd", &kUtf8, {"a", "b", "c", "d"}},
        {"LF CR is two breaks", "a\n\rb", &kUtf8, {"a", "", "b"}},
        {"CR CR LF", "a\r\r\nb", &kUtf8, {"a", "", "b"}},
        {"no final break", "a\r\nb", &kUtf8, {"a", "b"}},
        {"two final breaks", "a\r\n\r\n", &kUtf8, {"a", ""}},
        {"only a break", "\r\n", &kUtf8, {""}},
        {"empty", "", &kUtf8, {}},
        {"spaces kept", "  a \t\r\n", &kUtf8, {"  a \t"}},
        {"text ends at NUL", "a\r\nb\0c\r\nd"s, &kUtf8, {"a", "b"}},
        {"NUL first", "\0a\r\n"s, &kUtf8, {}},
        {"NUL after a GBK lead byte", "a\xB0\0b"s, &kGbk, {"a\xB0"}},
        {"5000-byte line kept whole", longLine + "\r\nb", &kUtf8, {longLine, "b"}},
        {"GBK text", kGbkText + "\r\n" + kGbkText, &kGbk, {kGbkText, kGbkText}},
        {"GBK lead byte takes LF", "\xB0\nX\r\n", &kGbk, {"\xB0\nX"}},
        {"GBK lead byte takes CR of CR LF", "\xB0\r\nX", &kGbk, {"\xB0\r", "X"}},
        {"GBK lead byte at the end", "ab\xB0", &kGbk, {"ab\xB0"}},
        {"GBK: two lead-range bytes are one character", "\xB0\xB0\nX", &kGbk, {"\xB0\xB0", "X"}},
        {"GBK: the third lead-range byte takes LF", "\xB0\xB0\xB0\nX", &kGbk, {"\xB0\xB0\xB0\nX"}},
        {"GBK: trail byte outside the lead range", "\xB0\x40\xB0\nX\n", &kGbk, {"\xB0\x40\xB0\nX"}},
        {"GBK: lead byte takes LF twice", "\xB0\n\xB0\nX", &kGbk, {"\xB0\n\xB0\nX"}},
        {"GBK: lead byte after a break", "a\n\xB0\r\n", &kGbk, {"a", "\xB0\r"}},
        {"same bytes in UTF-8: LF", "\xB0\nX\r\n", &kUtf8, {"\xB0", "X"}},
        {"same bytes in UTF-8: CR LF", "\xB0\r\nX", &kUtf8, {"\xB0", "X"}},
        {"UTF-8 text", "\xE4\xB8\xAD\r\n\xE6\x96\x87", &kUtf8, {"\xE4\xB8\xAD", "\xE6\x96\x87"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SplitTextLines(row.bytes, *row.codePage), row.lines) << row.name;
    }
}

// The line-break rules written as a plain walk over the bytes.
LineList SplitByWalking(const std::string& bytes, const CodePage& codePage) {
    const std::string text = bytes.substr(0, bytes.find('\0'));
    LineList lines;
    std::string line;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(line);
            line.clear();
            i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        } else {
            const std::size_t length =
                codePage.kind() == CodePage::Kind::Gbk ? codePage.charLength(text, i) : 1;
            line.append(text, i, length);
            i += length;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

TEST(SplitTextLines, AgreesWithPlainWalkOnMixedBytes) {
    // Every string of up to 6 bytes from a small alphabet of breaks, ASCII, bytes of the GBK
    // lead range and a GBK trail byte outside it.
    const char alphabet[] = {'\r', '\n', 'a', '\xB0', '\xD6', '\x40', '\0'};
    const int size = sizeof alphabet;
    for (const CodePage* codePage : {&kGbk, &kUtf8}) {
        for (int length = 0, count = 1; length <= 6; ++length, count *= size) {
            for (int code = 0; code < count; ++code) {
                std::string bytes;
                for (int k = 0, c = code; k < length; ++k, c /= size) bytes += alphabet[c % size];
                ASSERT_EQ(SplitTextLines(bytes, *codePage), SplitByWalking(bytes, *codePage))
                    << (codePage == &kGbk ? "GBK " : "UTF-8 ") << ::testing::PrintToString(bytes);
            }
        }
    }
}

TEST(LoadTextLines, ReadsFileBytes) {
    TempFolder folder;
    const std::string bytes = "1\r\n00:00:01,000 --> 00:00:02,000\n" + kGbkText + "\xB0\n\r";
    const auto path = folder.write("a.srt", bytes);
    EXPECT_EQ(LoadTextLines(path, kGbk), SplitTextLines(bytes, kGbk));
    EXPECT_EQ(LoadTextLines(path, kGbk),
              (LineList{"1", "00:00:01,000 --> 00:00:02,000", kGbkText + "\xB0\n"}));
    EXPECT_EQ(LoadTextLines(folder.write("empty.srt", ""), kUtf8), LineList{});
}

TEST(LoadTextLines, ReadsLargeFileWhole) {
    TempFolder folder;
    // Larger than one read, so the bytes arrive in several pieces.
    std::string bytes;
    LineList expected;
    for (int k = 0; k < 30000; ++k) {
        expected.push_back("line " + std::to_string(k));
        bytes += expected.back() + "\r\n";
    }
    EXPECT_EQ(LoadTextLines(folder.write("big.srt", bytes), kUtf8), expected);
}

TEST(LoadTextLines, FailureMessages) {
    TempFolder folder;
    const auto missing = folder.file("missing.srt");
    EXPECT_EQ(ErrorMessage([&] { LoadTextLines(missing, kUtf8); }),
              "Cannot open file \"" + missing.string() + "\". No such file or directory");
    EXPECT_EQ(ErrorMessage([&] { LoadTextLines(folder.path(), kUtf8); }),
              "Cannot open file \"" + folder.path().string() + "\". Is a directory");
    // A relative name is shown with its full path.
    const fs::path relative = "tirelle-no-such-folder/x.srt";
    EXPECT_EQ(ErrorMessage([&] { LoadTextLines(relative, kUtf8); }),
              "Cannot open file \"" + (fs::current_path() / relative).string() +
                  "\". No such file or directory");
}

// Reading a file too large for the memory left: an address-space limit makes the allocation
// fail, the file itself is sparse and costs no disk space.
TEST(LoadTextLines, MemoryExhausted) {
    TempFolder folder;
    const auto path = folder.write("huge.srt", "1\r\n");
    fs::resize_file(path, std::uintmax_t{4} << 30);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &saved), 0);
    long pages = 0;
    {
        std::ifstream statm("/proc/self/statm");
        statm >> pages;
    }
    ASSERT_GT(pages, 0);
    rlimit limited = saved;
    limited.rlim_cur = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (rlim_t{512} << 20);
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &limited), 0);
    std::string message = "(no Error)";
    try {
        LoadTextLines(path, kUtf8);
    } catch (const Error& error) {
        message = error.what();
    }
    ::setrlimit(RLIMIT_AS, &saved);
    EXPECT_EQ(message, "Text exceeds memo capacity");
}

// ---- lines to blocks ---------------------------------------------------------------------

const std::string kT1 = "00:00:01,000 --> 00:00:02,000";
const std::string kT2 = "00:00:03,000 --> 00:00:04,000";
const Block kB1{"00:00:01,000", "00:00:02,000", "Hello"};
const Block kB2{"00:00:03,000", "00:00:04,000", "World"};

struct BlocksRow {
    const char* name;
    std::string bytes;
    std::vector<Block> blocks;
    const CodePage* codePage = &kUtf8;
};

TEST(ReadSrtBlocks, WalkRules) {
    const std::string two = "1\r\n" + kT1 + "\r\nHello\r\n\r\n2\r\n" + kT2 + "\r\nWorld\r\n";
    const std::string longText(5000, 'y');
    const BlocksRow rows[] = {
        {"CR LF", two, {kB1, kB2}},
        {"LF", "1\n" + kT1 + "\nHello\n\n2\n" + kT2 + "\nWorld\n", {kB1, kB2}},
        {"CR", "1\r" + kT1 + "\rHello\r\r2\r" + kT2 + "\rWorld\r", {kB1, kB2}},
        {"mixture", "1\r\n" + kT1 + "\nHello\r\r\n2\n" + kT2 + "\r\nWorld", {kB1, kB2}},
        {"LF CR ends the text early; the next lines are misread",
         "1\n" + kT1 + "\nHello\n\rWorld\n" + kT2 + "\nagain\n",
         {kB1, {"00:00:03,000", "00:00:04,000", "again"}}},
        {"blank lines before, between and after the number line",
         "\r\n \t\r\n1\r\n\t \r\n\r\n" + kT1 + "\r\nHello\r\n\r\n \r\n\t\r\n\r\n2\r\n" + kT2 +
             "\r\nWorld\r\n\r\n\r\n",
         {kB1, kB2}},
        {"number line with letters", "abc\r\n" + kT1 + "\r\nHello\r\n", {kB1}},
        {"UTF-8 byte order mark before the number",
         "\xEF\xBB\xBF"
         "1\r\n" +
             kT1 + "\r\nHello\r\n",
         {kB1}},
        {"wrong number", "7\r\n" + kT1 + "\r\nHello\r\n", {kB1}},
        {"time line without -->",
         "1\r\n00:00:01,000 - 00:00:02,000\r\nHello\r\n",
         {{"", ":00:01,000 - 00:00:02,000", "Hello"}}},
        {"time line shorter than three bytes", "1\r\nab\r\nHello\r\n", {{"", "", "Hello"}}},
        {"--> at the very start",
         "1\r\n-->00:00:02,000\r\nHello\r\n",
         {{"", "00:00:02,000", "Hello"}}},
        {"--> twice splits at the first",
         "1\r\n00:00:01,000 --> 00:00:02,000 --> 00:00:09,000\r\nHello\r\n",
         {{"00:00:01,000", "00:00:02,000 --> 00:00:09,000", "Hello"}}},
        {"time texts trimmed", "1\r\n \t00:00:01,000  -->  00:00:02,000 \t\r\nHello\r\n", {kB1}},
        {"position tags stay in the end text",
         "1\r\n" + kT1 + " X1:100 X2:600 Y1:10 Y2:20\r\nHello\r\n",
         {{"00:00:01,000", "00:00:02,000 X1:100 X2:600 Y1:10 Y2:20", "Hello"}}},
        {"time line followed by a blank line",
         "1\r\n" + kT1 + "\r\n\r\n2\r\n" + kT2 + "\r\nWorld",
         {{"00:00:01,000", "00:00:02,000", ""}, kB2}},
        {"blank line inside the text",
         "1\r\n" + kT1 + "\r\nHello\r\n\r\nmore\r\n" + kT2 + "\r\nWorld\r\n",
         {kB1, kB2}},
        {"blocks without number lines are misread",
         kT1 + "\r\nHello\r\n\r\n" + kT2 + "\r\nWorld\r\n",
         {{"", "llo", ""}, {"", "rld", ""}}},
        {"only the outer white space of the text goes",
         "1\r\n" + kT1 + "\r\n  first  \r\n  middle  \r\n  last  \r\n",
         {{"00:00:01,000", "00:00:02,000", "first  \r\n  middle  \r\n  last"}}},
        {"last block without a final break",
         "1\r\n" + kT1 + "\r\nHello\r\nthere",
         {{"00:00:01,000", "00:00:02,000", "Hello\r\nthere"}}},
        {"time line as the very last line", "1\r\n" + kT1, {{"00:00:01,000", "00:00:02,000", ""}}},
        {"time line as the last line, final break",
         "1\r\n" + kT1 + "\r\n",
         {{"00:00:01,000", "00:00:02,000", ""}}},
        {"NUL ends the text",
         "1\r\n" + kT1 + "\r\nHel\0lo\r\n\r\n2\r\n"s + kT2,
         {{"00:00:01,000", "00:00:02,000", "Hel"}}},
        {"a 5000-byte text line kept whole",
         "1\r\n" + kT1 + "\r\n" + longText + "\r\n",
         {{"00:00:01,000", "00:00:02,000", longText}}},
        {"dangling number line gives no block", two + "\r\nstray\r\n\r\n", {kB1, kB2}},
        {"single non-blank line", "stray", {}},
        {"UTF-16 text ends after its first character", "1\0\r\0\n\0"s, {}},
        {"empty file", "", {}},
        {"only blank lines", "\r\n \r\n\t\r\n", {}},
        {"GBK lead byte followed by LF",
         "1\r\n" + kT1 + "\r\n\xB0\nX\r\n",
         {{"00:00:01,000", "00:00:02,000", "\xB0\nX"}},
         &kGbk},
        {"the same bytes on a UTF-8 system: not UTF-8, so read as a Western byte, LF ends the line",
         "1\r\n" + kT1 + "\r\n\xB0\nX\r\n",
         {{"00:00:01,000", "00:00:02,000", "\u00B0\r\nX"}}},
        {"GBK text",
         "1\r\n" + kT1 + "\r\n" + kGbkText + " \r\n" + kGbkText + "\r\n",
         {{"00:00:01,000", "00:00:02,000", kGbkText + " \r\n" + kGbkText}},
         &kGbk},
    };
    TempFolder folder;
    for (const auto& row : rows) {
        const auto path = folder.write("row.srt", row.bytes);
        EXPECT_EQ(Blocks(LoadTextLines(path, *row.codePage)), row.blocks) << row.name;
    }
}

// ---- blocks to lines and files -----------------------------------------------------------

TEST(AppendSrtBlock, BlockBytes) {
    const struct {
        const char* name;
        int number;
        std::string start, end, text;
        LineList lines;
        std::string bytes;
    } rows[] = {
        {"one-line text",
         1,
         "00:00:01,000",
         "00:00:02,500",
         "Hello",
         {"1", "00:00:01,000 --> 00:00:02,500", "Hello", ""},
         "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n"},
        {"empty text", 2, "A", "B", "", {"2", "A --> B", "", ""}, "2\r\nA --> B\r\n\r\n\r\n"},
        {"two-line text",
         3,
         "A",
         "B",
         "x\r\ny",
         {"3", "A --> B", "x", "y", ""},
         "3\r\nA --> B\r\nx\r\ny\r\n\r\n"},
        {"hours above 99 as stored",
         12,
         "123:00:00,000",
         "0:0:1,5",
         "t",
         {"12", "123:00:00,000 --> 0:0:1,5", "t", ""},
         "12\r\n123:00:00,000 --> 0:0:1,5\r\nt\r\n\r\n"},
        {"lone LF stays inside its line",
         1,
         "A",
         "B",
         "x\ny",
         {"1", "A --> B", "x\ny", ""},
         "1\r\nA --> B\r\nx\ny\r\n\r\n"},
        {"empty times", 1, "", "", "t", {"1", " --> ", "t", ""}, "1\r\n --> \r\nt\r\n\r\n"},
    };
    for (const auto& row : rows) {
        LineList lines;
        AppendSrtBlock(lines, row.number, row.start, row.end, row.text);
        EXPECT_EQ(lines, row.lines) << row.name;
        EXPECT_EQ(JoinLines(lines), row.bytes) << row.name;
    }
    EXPECT_EQ(JoinLines({}), "");
}

TEST(WriteTextLines, WritesJoinedLines) {
    TempFolder folder;
    LineList lines;
    AppendSrtBlock(lines, 1, "00:00:01,000", "00:00:02,000", "Hello");
    AppendSrtBlock(lines, 2, "150:00:00,000", "150:00:01,000", kGbkText + "\r\n" + kGbkText);
    const auto path = folder.file("out.srt");
    WriteTextLines(path, lines);
    EXPECT_EQ(TempFolder::read(path),
              "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n\r\n"
              "2\r\n150:00:00,000 --> 150:00:01,000\r\n" +
                  kGbkText + "\r\n" + kGbkText + "\r\n\r\n");
}

TEST(WriteTextLines, RoundTrip) {
    const std::vector<Block> records = {
        {"00:00:01,000", "00:00:02,000", "Hello"},
        {"00:00:03,000", "00:00:04,000 X1:100 X2:600", kGbkText + "\r\n  " + kGbkText},
        {"0:0:1,5", "123:00:00,000", ""},
        {"", "", "x"},
        {"00:00:05,000", "00:00:06,000", std::string(5000, 'z')},
    };
    LineList lines;
    int number = 1;
    for (const auto& record : records) {
        AppendSrtBlock(lines, number++, record.start, record.end, record.text);
    }
    TempFolder folder;
    const auto path = folder.file("round.srt");
    WriteTextLines(path, lines);
    EXPECT_EQ(Blocks(LoadTextLines(path, kGbk)), records);
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WriteTextLines, ReplacedFileKeepsPermissions) {
    TempFolder folder;
    const auto path = folder.write("keep.srt", "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteTextLines(path, {"new"});
    EXPECT_EQ(TempFolder::read(path), "new\r\n");
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FolderEntries(folder.path()), std::vector<std::string>{"keep.srt"});
}

TEST(WriteTextLines, NewFileGetsDefaultPermissions) {
    TempFolder folder;
    const mode_t saved = ::umask(027);
    WriteTextLines(folder.file("new.srt"), {"x"});
    ::umask(saved);
    EXPECT_EQ(fs::status(folder.file("new.srt")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(WriteTextLines, WritesThroughSymbolicLink) {
    TempFolder folder;
    const auto real = folder.write("real.srt", "old");
    fs::create_symlink(real, folder.file("link.srt"));
    WriteTextLines(folder.file("link.srt"), {"new"});
    EXPECT_TRUE(fs::is_symlink(folder.file("link.srt")));
    EXPECT_EQ(TempFolder::read(real), "new\r\n");
}

TEST(WriteTextLines, MissingFolder) {
    TempFolder folder;
    const auto path = folder.file("no-folder") / "x.srt";
    EXPECT_EQ(ErrorMessage([&] { WriteTextLines(path, {"x"}); }),
              "Cannot create file \"" + path.string() + "\". No such file or directory");
    EXPECT_EQ(FolderEntries(folder.path()), std::vector<std::string>{});
}

TEST(WriteTextLines, TargetIsFolder) {
    TempFolder folder;
    fs::create_directory(folder.file("dir.srt"));
    folder.write("dir.srt/inside", "keep");
    EXPECT_EQ(ErrorMessage([&] { WriteTextLines(folder.file("dir.srt"), {"x"}); }),
              "Cannot create file \"" + folder.file("dir.srt").string() + "\". Is a directory");
    // No temporary file is left behind and the folder is untouched.
    EXPECT_EQ(FolderEntries(folder.path()), std::vector<std::string>{"dir.srt"});
    EXPECT_EQ(TempFolder::read(folder.file("dir.srt") / "inside"), "keep");
}

// A write that fails halfway (the file size limit is reached) must leave the old file as it
// was. The limit stops root as well, unlike permission bits.
TEST(WriteTextLines, FailedWriteLeavesOldFile) {
    TempFolder folder;
    const std::string old = "1\r\nold --> old\r\nold\r\n\r\n";
    const auto path = folder.write("old.srt", old);
    const LineList lines(2000, std::string(100, 'n'));

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::string message = ErrorMessage([&] { WriteTextLines(path, lines); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(message, "Cannot create file \"" + path.string() + "\". File too large");
    EXPECT_EQ(TempFolder::read(path), old);
    EXPECT_EQ(FolderEntries(folder.path()), std::vector<std::string>{"old.srt"});
}

}  // namespace
}  // namespace tirelle::srt
