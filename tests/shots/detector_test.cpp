// The detector on the generated clips: every cut on its frame's exact time (at 25 and 30000/1001
// fps, with and without key frames at the cuts, in MPEG-TS, in one pass and in stretches), and
// a reason without cuts for each kind of file it cannot judge.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shots/detector.h"
#include "tests/support/tempfolder.h"

namespace tirelle::shots {
namespace {

std::string Media(const std::string& name) {
    return (testing::testDataFolder() / name).string();
}

#define NEED_MEDIA(name) \
    if (!std::filesystem::exists(Media(name))) GTEST_SKIP() << "run scripts/make-test-media first"

// The cuts a clip's truth file gives: frame numbers at its frame rate.
ShotCuts TrueCuts(const std::string& clip) {
    std::ifstream in(Media(clip.substr(0, clip.rfind('.')) + ".truth"));
    ShotCuts cuts;
    double frameDuration = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string word, value;
        words >> word >> value;
        if (word == "fps") {
            const auto slash = value.find('/');
            frameDuration = slash == std::string::npos ? 1 / std::stod(value)
                                                       : std::stod(value.substr(slash + 1)) /
                                                             std::stod(value.substr(0, slash));
            cuts.frameRate = 1 / frameDuration;
        } else if (word == "cut") {
            cuts.times.push_back(std::stoi(value) * frameDuration);
        }
    }
    return cuts;
}

TEST(DetectCuts, FindsEveryCutOnTheTimeOfItsFirstFrame) {
    const struct {
        const char* clip;
        const char* truth;
        int threads;
    } cases[] = {
        {"shots.mp4", "shots.mp4", 2},
        {"shots-ntsc.mp4", "shots-ntsc.mp4", 2},  // cuts inside groups of pictures
        {"shots.ts", "shots.mp4", 2},             // its clock starts at 11.4 s
        {"shots-long.mp4", "shots-long.mp4", 1},  // one pass
        {"shots-long.mp4", "shots-long.mp4", 2},  // two stretches, the second from a dissolve
        {"shots-long.mp4", "shots-long.mp4", 3},  // three, the last from a pan
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.clip) + ", threads " + std::to_string(c.threads));
        NEED_MEDIA(c.clip);
        DetectOptions options;
        options.threads = c.threads;
        const DetectResult result = DetectCuts(Media(c.clip), options);
        ASSERT_EQ(result.status, DetectStatus::Complete) << result.message;
        const ShotCuts expected = TrueCuts(c.truth);
        ASSERT_EQ(result.cuts.times.size(), expected.times.size());
        for (std::size_t i = 0; i < expected.times.size(); ++i)
            EXPECT_NEAR(result.cuts.times[i], expected.times[i], 1e-6) << "cut " << i;
        EXPECT_NEAR(result.cuts.frameRate, expected.frameRate, 1e-6);
    }
}

TEST(DetectCuts, SaysWhyItCannotJudgeAFileAndGivesNoCuts) {
    testing::TempFolder folder;
    const struct {
        std::string path;
        DetectStatus status;
    } cases[] = {
        {Media("tones.mp3"), DetectStatus::NoVideo},
        {Media("still.png"), DetectStatus::StillPicture},
        {Media("vfr.mp4"), DetectStatus::VariableFrameRate},
        {Media("damaged.mp4"), DetectStatus::Damaged},
        {Media("unplayable.mp4"), DetectStatus::Failed},
        {folder.file("missing.mp4").string(), DetectStatus::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.status != DetectStatus::Failed) NEED_MEDIA(std::filesystem::path(c.path).filename());
        const DetectResult result = DetectCuts(c.path);
        EXPECT_EQ(result.status, c.status) << result.message;
        EXPECT_FALSE(result.message.empty());
        EXPECT_TRUE(result.cuts.times.empty());
    }
}

TEST(DetectCuts, LooksAtFourKPicturesAsAtAnyOther) {
    NEED_MEDIA("uhd.mp4");
    const DetectResult result = DetectCuts(Media("uhd.mp4"));
    ASSERT_EQ(result.status, DetectStatus::Complete) << result.message;
    EXPECT_EQ(result.info.width, 3840);
    EXPECT_EQ(result.cuts.times, std::vector<double>{1.0});
}

TEST(DetectCuts, StopsWhenCancelledAndReportsProgressOnTheWay) {
    NEED_MEDIA("shots-long.mp4");
    std::atomic<bool> cancel{false};
    std::vector<double> shares;
    DetectOptions options;
    options.threads = 2;
    options.cancel = &cancel;
    options.progress = [&](double share) {
        shares.push_back(share);
        if (share > 0.3) cancel = true;
    };
    const DetectResult result = DetectCuts(Media("shots-long.mp4"), options);
    EXPECT_EQ(result.status, DetectStatus::Cancelled);
    EXPECT_TRUE(result.cuts.times.empty());
    ASSERT_FALSE(shares.empty());
    EXPECT_LT(shares.back(), 0.9);  // it did not go on to the end
}

}  // namespace
}  // namespace tirelle::shots
