// tirelle-cli check and fix run as a process: the problems printed as lines and as JSON, the
// exit status, the fixed file, and the command lines refused.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/cli/runtool.h"

namespace {

using tirelle::testing::RunTool;
using tirelle::testing::TempFolder;

// Out of start order in the file: the positions are counted in start order.
const std::string kProblems =
    "3\n00:01:40,000 --> 00:01:55,000\nabc\n\n"
    "1\n00:00:01,000 --> 00:00:01,300\n\xE4\xBD\xA0\xE5\xA5\xBD\n\n"
    "2\n00:00:01,200 --> 00:00:03,000\nHello\nline2\nline3\n";
const std::string kClean = "1\n00:00:03,000 --> 00:00:04,000\nfine\n";
// 0.081 s between the two: under two frames at 23.976 per second, not at 25.
const std::string kGap =
    "1\n00:00:01,000 --> 00:00:02,000\na\n\n2\n00:00:02,081 --> 00:00:03,000\nb\n";

struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string out = "";                             // standard output, exactly
    std::string err = "";                             // a part of standard error ("" for none)
    std::map<std::string, std::string> written = {};  // files afterwards, exactly
};

TEST(CliChecks, CheckAndFix) {
    const std::string fixed =
        "1\r\n00:00:01,000 --> 00:00:01,200\r\n\xE4\xBD\xA0\xE5\xA5\xBD\r\n\r\n"
        "2\r\n00:00:01,200 --> 00:00:03,000\r\nHello\r\nline2\r\nline3\r\n\r\n"
        "3\r\n00:01:40,000 --> 00:01:50,000\r\nabc\r\n\r\n";
    const Case cases[] = {
        {"problems as lines",
         {"check", "problems.srt"},
         1,
         "1 00:00:01,000 short 0.3\n1 00:00:01,000 overlap 0.1\n2 00:00:01,200 lines 3\n"
         "3 00:01:40,000 long 15\n"},
        {"problems as JSON, the file named",
         {"check", "--json", "--profile=netflix-zh", "problems.srt"},
         1,
         "{\"file\": \"problems.srt\", \"problems\": ["
         "{\"index\": 1, \"start\": \"00:00:01,000\", \"kind\": \"short\", \"value\": 0.3}, "
         "{\"index\": 1, \"start\": \"00:00:01,000\", \"kind\": \"overlap\", \"value\": 0.1}, "
         "{\"index\": 2, \"start\": \"00:00:01,200\", \"kind\": \"lines\", \"value\": 3}, "
         "{\"index\": 3, \"start\": \"00:01:40,000\", \"kind\": \"long\", \"value\": 15}]}\n"},
        {"no problem: nothing printed, status 0", {"check", "clean.srt"}, 0},
        {"an empty JSON list for a file without problems",
         {"check", "--json", "clean.srt"},
         0,
         "{\"file\": \"clean.srt\", \"problems\": []}\n"},
        {"several files: each line names its file",
         {"check", "clean.srt", "gap.srt", "--profile", "netflix-en"},
         1,
         "gap.srt:1 00:00:01,000 gap 0.08\n"},
        {"the least gap at the frame rate asked for",
         {"check", "--profile", "netflix-en", "--fps", "25", "gap.srt"},
         0,
         ""},
        {"a file that cannot be read counts as a failure",
         {"check", "clean.srt", "gone.srt"},
         1,
         "",
         "Cannot open file \""},
        {"fix into a file",
         {"fix", "problems.srt", "-o", "fixed.srt"},
         0,
         "",
         "",
         {{"fixed.srt", fixed}}},
        {"fix in place", {"fix", "-i", "problems.srt"}, 0, "", "", {{"problems.srt", fixed}}},
        {"unknown profile",
         {"check", "--profile", "broadcast", "clean.srt"},
         2,
         "",
         "unknown profile 'broadcast' (netflix-zh, netflix-en, fansub)"},
        {"a frame rate of 0", {"fix", "--fps", "0", "clean.srt"}, 2, "", "--fps needs frames"},
        {"check writes no file", {"check", "-i", "clean.srt"}, 2, "", "check writes no file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.write("problems.srt", kProblems);
        folder.write("clean.srt", kClean);
        folder.write("gap.srt", kGap);
        const auto outcome = RunTool(folder, c.arguments, "");
        EXPECT_EQ(c.status, outcome.status);
        EXPECT_EQ(c.out, outcome.out);
        tirelle::testing::ExpectMessage(c.err, outcome.err);
        tirelle::testing::ExpectFiles(folder, c.written);
    }
}

}  // namespace
