// tirelle-cli shots as a process: the cut times of a clip, one per line, the second time from
// the cache; a reason and exit status 1 for a file it cannot judge; 2 for a bad command line.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/runtool.h"

namespace tirelle::testing {
namespace {

TEST(CliShots, PrintsTheCutTimesOrSaysWhyNot) {
    const auto media = [](const char* name) { return (testDataFolder() / name).string(); };
    if (!std::filesystem::exists(media("shots.mp4")))
        GTEST_SKIP() << "run scripts/make-test-media first";
    TempFolder folder;
    const std::string cuts = "1.600\n3.200\n4.800\n8.000\n9.600\n12.600\n15.000\n18.000\n19.600\n";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;  // a part of standard error; "" for none
    } cases[] = {
        {{"shots", media("shots.mp4")}, 0, cuts, ""},
        {{"shots", media("shots.mp4")}, 0, cuts, ""},  // from the cache
        {{"shots", media("shots-ntsc.mp4")},
         0,
         "1.335\n2.669\n4.004\n6.673\n8.008\n10.511\n12.513\n15.015\n16.350\n",
         ""},
        {{"shots", media("still.png")}, 1, "", "a single picture has no shot changes."},
        {{"shots", media("tones.mp3")}, 1, "", "no video stream."},
        {{"shots"}, 2, "", "shots needs VIDEO"},
        {{"shots", media("shots.mp4"), media("still.png")}, 2, "", "shots takes VIDEO and no subtitle file"},
        {{"shots", "-o", "x", media("shots.mp4")}, 2, "", "do not go with it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const Outcome outcome = RunTool(folder, c.arguments, "");
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_EQ(outcome.out, c.out);
        ExpectMessage(c.err, outcome.err);
    }
    int kept = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(folder.path() / ".cache" / "tirelle" / "peaks"))
        kept += entry.path().extension() == ".cuts";
    EXPECT_EQ(kept, 4);  // shots.mp4, shots-ntsc.mp4, still.png, tones.mp3
}

}  // namespace
}  // namespace tirelle::testing
