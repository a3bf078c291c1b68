#pragma once
// Peaks kept on disk between runs, one file per media file, keyed by the media file's path,
// size and modification time: a file that was changed or replaced is decoded again.
//
// The folder is $XDG_CACHE_HOME/tirelle/peaks, or ~/.cache/tirelle/peaks. A cache file holds a
// header with the whole key, so a hash collision or a damaged file reads as a miss, never as
// someone else's peaks. Files are written under a temporary name and renamed into place, so a
// reader never sees half a file. The folder keeps the most recently written kMaxFiles files.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "waveform/peaks.h"

namespace tirelle::waveform {

struct CacheKey {
    std::string path;         // absolute, as the file system takes it
    std::uint64_t size = 0;   // bytes
    std::int64_t mtimeNs = 0; // modification time, nanoseconds of the file clock
    friend bool operator==(const CacheKey&, const CacheKey&) = default;
};

// The key of the file at `path` now; nothing when it cannot be read.
std::optional<CacheKey> KeyForFile(const std::filesystem::path& path);

// $XDG_CACHE_HOME/tirelle/peaks (an absolute $XDG_CACHE_HOME only), else $HOME/.cache/...;
// empty when neither is set.
std::filesystem::path DefaultCacheFolder();

class PeakCache {
public:
    static constexpr int kMaxFiles = 200;

    explicit PeakCache(std::filesystem::path folder) : folder_(std::move(folder)) {}
    const std::filesystem::path& folder() const { return folder_; }

    // The peaks stored for this key, or nothing (no file, another key, damaged).
    std::optional<std::vector<Peak>> load(const CacheKey& key) const;
    // Stores the peaks; false when the folder or the file cannot be written (the cache is an
    // aid, so the caller goes on without it).
    bool store(const CacheKey& key, std::span<const Peak> peaks) const;
    // Where the peaks of this key are kept.
    std::filesystem::path fileFor(const CacheKey& key) const;

private:
    void prune() const;
    std::filesystem::path folder_;
};

}  // namespace tirelle::waveform
