// The cut cache: what it keeps comes back as it was; a file damaged, cut short, of another
// version or for another key is a miss; results not worth keeping are not kept.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shots/cutcache.h"
#include "tests/support/tempfolder.h"

namespace tirelle::shots {
namespace {

using testing::TempFolder;

const waveform::CacheKey kKey{"/films/a.mp4", 123456, 987654321};
const StoredCuts kCuts{DetectStatus::Complete, "", {{1.6, 3.2, 4.04}, 25}};

// The checksum the cache ends each file with, for building files it must refuse.
std::string Resealed(std::string bytes) {
    bytes.resize(bytes.size() - 8);
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : bytes)
        hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3ULL;
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>(hash >> (8 * i)));
    return bytes;
}

TEST(CutCache, KeepsResultsByKeyBesideThePeaks) {
    TempFolder folder;
    const CutCache cache(folder.path());
    const StoredCuts varying{DetectStatus::VariableFrameRate, "the frame rate varies", {{}, 16.6}};
    const waveform::CacheKey other{"/films/b.mp4", 1, 2};
    ASSERT_TRUE(cache.store(kKey, kCuts));
    ASSERT_TRUE(cache.store(other, varying));
    EXPECT_EQ(cache.load(kKey), kCuts);
    EXPECT_EQ(cache.load(other), varying);
    EXPECT_EQ(cache.load({kKey.path, kKey.size, kKey.mtimeNs + 1}), std::nullopt);
    std::filesystem::path peaks = waveform::PeakCache(folder.path()).fileFor(kKey);
    EXPECT_EQ(cache.fileFor(kKey), peaks.replace_extension(".cuts"));

    for (const DetectStatus passing : {DetectStatus::Cancelled, DetectStatus::Failed}) {
        EXPECT_FALSE(cache.store(other, {passing, "", {}}));
        EXPECT_EQ(cache.load(other), varying);
    }
    folder.write("file", "");
    EXPECT_FALSE(CutCache(folder.file("file") / "cache").store(kKey, kCuts));  // cannot be made
}

TEST(CutCache, AFileThatIsNotWholeOrNotOursIsAMiss) {
    const std::string good = EncodeCutFile(kKey, kCuts);
    ASSERT_EQ(DecodeCutFile(good, kKey), kCuts);
    std::string flipped = good;
    flipped[flipped.size() - 12] ^= 1;  // inside the last time
    std::string older = good;
    older[8] = 0;  // the format's version
    std::string descending = EncodeCutFile(kKey, {DetectStatus::Complete, "", {{3.2, 1.6}, 25}});
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"cut short", good.substr(0, good.size() - 1)},
        {"one more byte", good + '\0'},
        {"a bit flipped", flipped},
        {"an older version", Resealed(older)},
        {"another key", EncodeCutFile({kKey.path, kKey.size + 1, kKey.mtimeNs}, kCuts)},
        {"times out of order", descending},
        {"no frame rate", EncodeCutFile(kKey, {DetectStatus::Complete, "", {{1}, 0}})},
        {"cuts of a failed run", EncodeCutFile(kKey, {DetectStatus::Damaged, "", {{1}, 25}})},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeCutFile(c.bytes, kKey), std::nullopt) << c.name;
}

TEST(CutCache, KeepsOnlyTheNewestFiles) {
    TempFolder folder;
    const CutCache cache(folder.path());
    for (int i = 0; i <= CutCache::kMaxFiles; ++i)
        ASSERT_TRUE(cache.store({"/films/" + std::to_string(i), 1, i}, kCuts));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        files += entry.path().extension() == ".cuts";
    EXPECT_EQ(files, CutCache::kMaxFiles);
    EXPECT_EQ(cache.load({"/films/" + std::to_string(CutCache::kMaxFiles), 1, CutCache::kMaxFiles}),
              kCuts);
}

}  // namespace
}  // namespace tirelle::shots
