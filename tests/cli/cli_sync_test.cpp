// tirelle-cli sync run as a process, against a reference file: the offset found and written as
// the shift writes it, what -v tells, a file in sync unchanged, and the files refused.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/timecode.h"
#include "tests/cli/runtool.h"
#include "tests/support/syntheticspeech.h"

namespace {

using tirelle::testing::RunTool;
using tirelle::testing::TempFolder;

// A file that must not be there afterwards.
const std::string kAbsent = "(no such file)";

struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string stdinBytes;
    int status;
    std::string out;                             // standard output, exactly
    std::string err;                             // a part of standard error ("" for none)
    std::map<std::string, std::string> written;  // files afterwards, exactly
};

void Check(const Case& c, const TempFolder& folder) {
    const auto outcome = RunTool(folder, c.arguments, c.stdinBytes);
    EXPECT_EQ(c.status, outcome.status);
    EXPECT_EQ(c.out, outcome.out);
    tirelle::testing::ExpectMessage(c.err, outcome.err);
    for (const auto& [name, bytes] : c.written) {
        if (bytes == kAbsent)
            EXPECT_FALSE(std::filesystem::exists(folder.file(name))) << name;
        else
            EXPECT_EQ(bytes, TempFolder::read(folder.file(name))) << name;
    }
}

// Subtitle files made from a synthetic film's lines, `offset` seconds late.
std::string SrtOf(const std::vector<tirelle::sync::Interval>& lines, double offset,
                  const std::string& text) {
    std::string file;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto ms = [&](double t) {
            return tirelle::MillisecondsToTime(tirelle::SecondsToMilliseconds(t) +
                                               static_cast<int>(offset * 1000));
        };
        file += std::to_string(i + 1) + "\r\n" + ms(lines[i].start) + " --> " + ms(lines[i].end) +
                "\r\n" + text + " " + std::to_string(i) + "\r\n\r\n";
    }
    return file;
}

TEST(CliTool, SyncToAReferenceAndItsBadInput) {
    const auto film = tirelle::testing::MakeFilm(700, 40);
    const auto other = tirelle::testing::MakeFilm(701, 40);
    const std::string reference = SrtOf(film.truth, 0, "reference");
    const std::string late = SrtOf(film.truth, 7.25, "late");
    TempFolder shifted;
    shifted.write("late.srt", late);
    const std::string synced = RunTool(shifted, {"shift", "-7.25", "late.srt"}, "").out;
    const std::vector<Case> cases = {
        {"the offset found, written as the shift writes it",
         {"sync", "film.mkv", "late.srt", "--reference", "ref.srt"},
         "",
         0,
         synced,
         "",
         {}},
        {"what it found on standard error",
         {"sync", "film.mkv", "late.srt", "--reference=ref.srt", "--no-split", "-v", "-o", "o.srt"},
         "",
         0,
         "",
         "late.srt: 偏移 -7.250 秒，可信度 1.00\n",
         {{"o.srt", synced}}},
        {"a file in sync comes back byte for byte",
         {"sync", "film.mkv", "ref.srt", "--reference", "ref.srt", "-i"},
         "",
         0,
         "",
         "",
         {{"ref.srt", reference}}},
        {"another film is refused and nothing written",
         {"sync", "film.mkv", "other.srt", "--reference", "ref.srt", "-o", "o.srt"},
         "",
         1,
         "",
         "other.srt: 没有找到可靠的对齐.",
         {{"o.srt", kAbsent}}},
        {"a reference without blocks",
         {"sync", "film.mkv", "late.srt", "--reference", "none.srt", "-i"},
         "",
         1,
         "",
         "late.srt: 参考字幕中没有字幕.",
         {{"late.srt", late}}},
        {"an empty file",
         {"sync", "film.mkv", "-", "--reference", "ref.srt"},
         "\r\n",
         1,
         "",
         "-: 没有可同步的字幕.",
         {}},
        {"a video that is not there",
         {"sync", "film.mkv", "late.srt"},
         "",
         1,
         "",
         "film.mkv: The audio cannot be read",
         {{"late.srt", late}}},
        {"sync needs a video", {"sync"}, "", 2, "", "sync needs VIDEO", {}},
        {"sync's options belong to sync",
         {"shift", "1", "--snap", "late.srt"},
         "",
         2,
         "",
         "go only with sync",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.write("ref.srt", reference);
        folder.write("late.srt", late);
        folder.write("other.srt", SrtOf(other.truth, 3, "other"));
        folder.write("none.srt", "");
        Check(c, folder);
    }
}

}  // namespace
