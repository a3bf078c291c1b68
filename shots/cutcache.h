#pragma once
// Cut lists kept on disk between runs, beside the audio peaks: the same folder, the same key
// (the media file's path, size and modification time) and the same file name with its own
// suffix (".cuts"), so a file that was changed or replaced is looked at again.
//
// A cut file holds a version, the whole key, the result and a checksum; one of another
// version (an older finder), another key, damaged or cut short reads as a miss, never as
// someone else's cuts. Files are written as the program writes its SRT files (a temporary file
// renamed into place once complete). The folder keeps the most recently written kMaxFiles cut
// files.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "shots/detection.h"
#include "waveform/peakcache.h"

namespace tirelle::shots {

// A detection's result as the cache keeps it.
struct StoredCuts {
    DetectStatus status = DetectStatus::Complete;
    std::string message;  // at most kMaxMessageBytes
    ShotCuts cuts;
    friend bool operator==(const StoredCuts&, const StoredCuts&) = default;
};

// Whether a result is worth keeping: it says the same whenever the file is looked at again
// (not a cancelled run, nor a failure that may have been the disk's).
bool WorthKeeping(DetectStatus status);

class CutCache {
public:
    static constexpr int kMaxFiles = 200;
    static constexpr std::size_t kMaxMessageBytes = 4096;
    static constexpr std::size_t kMaxCuts = std::size_t{1} << 22;

    // `folder`: usually waveform::DefaultCacheFolder(), where the peaks are.
    explicit CutCache(std::filesystem::path folder) : folder_(std::move(folder)) {}
    const std::filesystem::path& folder() const { return folder_; }

    // The result stored for this key, or nothing (no file, another key or version, damaged).
    std::optional<StoredCuts> load(const waveform::CacheKey& key) const;
    // Stores the result; false when it is not worth keeping or the folder or the file cannot
    // be written (the cache is an aid, so the caller goes on without it).
    bool store(const waveform::CacheKey& key, const StoredCuts& cuts) const;
    // Where the cuts of this key are kept: the peaks' file name with the suffix ".cuts".
    std::filesystem::path fileFor(const waveform::CacheKey& key) const;

private:
    void prune() const;
    std::filesystem::path folder_;
};

// The bytes of a cut file, and back: nothing for bytes that are not a whole, undamaged file of
// this version for this key. (The cache's reading and writing, apart from the disk.)
std::string EncodeCutFile(const waveform::CacheKey& key, const StoredCuts& cuts);
std::optional<StoredCuts> DecodeCutFile(std::string_view bytes, const waveform::CacheKey& key);

}  // namespace tirelle::shots
