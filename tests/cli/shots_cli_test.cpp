// tirelle-cli shots as a process: the cut times of a clip, one per line, the second time from
// the cache; a reason and exit status 1 for a file it cannot judge; 2 for a bad command line.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tempfolder.h"

namespace {

using tirelle::testing::TempFolder;

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs the tool with its cache in `folder`.
Outcome RunShots(const TempFolder& folder, const std::string& arguments) {
    const std::string command = "XDG_CACHE_HOME='" + folder.path().string() + "' '" +
                                TIRELLE_CLI_PATH + "' shots " + arguments + " >'" +
                                folder.file("out").string() + "' 2>'" +
                                folder.file("err").string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempFolder::read(folder.file("out")),
            TempFolder::read(folder.file("err"))};
}

std::string Media(const char* name) {
    return "'" + (tirelle::testing::testDataFolder() / name).string() + "'";
}

TEST(CliShots, PrintsTheCutTimesOrSaysWhyNot) {
    if (!std::filesystem::exists(tirelle::testing::testDataFolder() / "shots.mp4"))
        GTEST_SKIP() << "run scripts/make-test-media first";
    TempFolder folder;
    const std::string cuts = "1.600\n3.200\n4.800\n8.000\n9.600\n12.600\n15.000\n18.000\n19.600\n";
    const struct {
        std::string arguments;
        int status;
        std::string out;
        std::string err;  // a part of standard error
    } cases[] = {
        {Media("shots.mp4"), 0, cuts, ""},
        {Media("shots.mp4"), 0, cuts, ""},  // from the cache
        {Media("shots-ntsc.mp4"), 0,
         "1.335\n2.669\n4.004\n6.673\n8.008\n10.511\n12.513\n15.015\n16.350\n", ""},
        {Media("still.png"), 1, "", "a single picture has no shot changes."},
        {Media("tones.mp3"), 1, "", "no video stream."},
        {"", 2, "", "shots needs one VIDEO file"},
        {Media("shots.mp4") + " " + Media("still.png"), 2, "", "shots needs one VIDEO file"},
        {"-o x " + Media("shots.mp4"), 2, "", "do not apply"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome outcome = RunShots(folder, c.arguments);
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_EQ(outcome.out, c.out);
        EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
    }
    int kept = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(folder.path() / "tirelle" / "peaks"))
        kept += entry.path().extension() == ".cuts";
    EXPECT_EQ(kept, 4);  // shots.mp4, shots-ntsc.mp4, still.png, tones.mp3
}

}  // namespace
