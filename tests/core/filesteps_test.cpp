// The file steps on a real store with its undo history: each step that changes rows is one
// labelled step, the open empties the table through the command object it is given, a file and
// bytes already read are read alike, and the note on a converted read.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"
#include "tests/support/typedrows.h"
#include "tools/filesteps.h"

namespace tirelle::tools {
namespace {

using Row = testing::TypedRow;

const std::string kFile = "1\n00:00:01,000 --> 00:00:02,000\nnew\n";

class FileStepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        connection.open(folder.path());
        history.open(connection);
        command.setConnection(&connection);
        sub.setConnection(&connection);
        sub.setCommandText(store::kSelectAllSql);
        sub.setHistory(&history);
        sub.open();
        testing::AppendRows(sub, {{"00:00:05,000", "00:00:06,000", "old"},
                                  {"00:00:07,000", "00:00:08,000", "older"}});
        sub.requery();
    }

    std::vector<Row> rows() const {
        std::vector<Row> shown;
        for (int i = 0; i < sub.rowCount(); ++i)
            shown.push_back({sub.rowAt(i).STime, sub.rowAt(i).ETime, sub.rowAt(i).SubText});
        return shown;
    }

    testing::TempFolder folder;
    store::Connection connection;
    store::History history;
    store::Command command{"ADOCmd"};
    store::Dataset sub;
    CodePage utf8{CodePage::Kind::Utf8};
    FileSteps steps{sub, command, &history, utf8};
    srt::LineList lines;
};

TEST_F(FileStepsTest, EachChangeIsOneStepThatUndoesIt) {
    const auto file = folder.write("in.srt", kFile);
    const struct {
        const char* label;
        std::function<bool()> step;
    } cases[] = {
        {kOpenStep,
         [&] {
             steps.open({file, std::nullopt}, lines);
             return true;
         }},
        {kMergeStep,
         [&] {
             return steps.merge({file, std::nullopt}, 10, lines);
         }},
        {kShiftStep, [&] { return steps.shift(1); }},
        {kScaleStep, [&] { return steps.scale(0, 1); }},
        {kWrapStep, [&] { return steps.wrap("<", ">"); }},
        {"", [&] { return steps.shift(0); }},  // nothing to do: nothing recorded
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<Row> before = rows();
        const std::string labelBefore = history.undoLabel();
        const bool changed = c.step();
        EXPECT_EQ(changed, *c.label != '\0');
        EXPECT_EQ(history.undoLabel(), changed ? c.label : labelBefore);
        if (!changed) continue;
        EXPECT_NE(rows(), before);
        history.undo();
        sub.requery();
        EXPECT_EQ(rows(), before);
    }
    // The open emptied the table through the command object it was given.
    EXPECT_EQ(command.commandText(), store::kDeleteAllSql);
}

TEST_F(FileStepsTest, BytesReadBeforeAreReadAsTheFileIs) {
    const std::string utf16(
        "\xFF\xFE"
        "1\0\n\0a\0",
        8);  // "1", LF, "a" in UTF-16LE
    const auto file = folder.write("in.srt", utf16);
    for (const bool fromBytes : {false, true}) {
        SCOPED_TRACE(fromBytes ? "bytes" : "file");
        srt::ReadEncoding told;
        const srt::LineList read =
            steps.read(fromBytes ? SubtitleSource{{}, utf16} : SubtitleSource{file, std::nullopt},
                       [&](const srt::ReadEncoding& encoding) { told = encoding; });
        EXPECT_EQ(read, (srt::LineList{"1", "a"}));
        EXPECT_EQ(told.name, "UTF-16LE");
        EXPECT_TRUE(told.converted);
    }
}

TEST(FileStepsNote, SaysWhatTheReadConverted) {
    const struct {
        srt::ReadEncoding encoding;
        std::string lead, tail;
    } cases[] = {
        {{"UTF-8", false, 0}, "", ""},
        {{"GB18030", true, 0}, "已按 GB18030 编码读取：", ""},
        {{"BIG5", true, 3}, "已按 Big5 编码读取：", "（3 处无法转换，已替换）"},
    };
    for (const auto& c : cases) {
        const ReadNote note = DescribeRead(c.encoding);
        EXPECT_EQ(note.lead, c.lead) << c.encoding.name;
        EXPECT_EQ(note.tail, c.tail) << c.encoding.name;
    }
}

TEST_F(FileStepsTest, TheStoresOwnFilesAreNeverReadAsSubtitles) {
    const auto store = connection.path();
    const auto link = folder.file("store-link.srt");
    std::filesystem::create_symlink(store, link);
    const auto before = rows();
    for (const char* suffix : {"", "-wal", "-shm"}) {
        SCOPED_TRACE(suffix);
        auto file = store;
        file += suffix;
        ASSERT_TRUE(std::filesystem::exists(file));
        EXPECT_THROW(steps.open({file, std::nullopt}, lines), FileError);
        EXPECT_THROW(steps.merge({file, std::nullopt}, 0, lines), FileError);
    }
    EXPECT_THROW(steps.open({link, std::nullopt}, lines), FileError);
    EXPECT_EQ(rows(), before);
}

TEST_F(FileStepsTest, EveryStepSaysSoWhenTheStoreIsNotOpen) {
    const auto file = folder.write("in.srt", kFile);
    sub.close();
    const std::function<void()> cases[] = {
        [&] { steps.open({file, std::nullopt}, lines); },
        [&] { steps.merge({file, std::nullopt}, 0, lines); },
        [&] { steps.shift(1); },
        [&] { steps.scale(0, 1); },
        [&] { steps.wrap("<", ">"); },
        [&] { steps.save(folder.file("out.srt"), lines); },
        [&] { steps.split(0, folder.file("part.srt")); },
    };
    for (const auto& step : cases) EXPECT_THROW(step(), StoreUnavailable);
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.srt")));
}

}  // namespace
}  // namespace tirelle::tools
