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
#include <string_view>
#include <type_traits>
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

// Any kind of cache file kept beside the peaks, under the same key scheme: `kind` is the file
// name's extension (".peaks", ".speech", ...), `magic` the first 8 bytes, which say the kind and
// the version of its format. After them comes the whole key (a file whose key differs, which a
// hash collision would give, is a miss), then the payload. Written under a temporary name and
// renamed into place; the folder keeps the most recently written kMaxFiles files of each kind.
namespace cachefile {
inline constexpr int kMaxFiles = 200;
std::filesystem::path For(const std::filesystem::path& folder, const CacheKey& key,
                          std::string_view kind);
// The payload, or nothing (no file, another magic or key, shorter than its header).
std::optional<std::string> Read(const std::filesystem::path& folder, const CacheKey& key,
                                std::string_view kind, std::string_view magic);
// False when the folder or the file cannot be written.
bool Write(const std::filesystem::path& folder, const CacheKey& key, std::string_view kind,
           std::string_view magic, std::string_view payload);
// Removes the oldest files of the kind (the name's extension) beyond the newest kMaxFiles.
void Prune(const std::filesystem::path& folder, std::string_view kind);

// Numbers in payloads are kept little-endian whatever the machine.
template <class T>
void PutNumber(std::string& out, T value) {
    auto bits = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xff));
}
// Reads one from the front of `bytes`; false when too few are left.
template <class T>
bool TakeNumber(std::string_view& bytes, T& value) {
    if (bytes.size() < sizeof(T)) return false;
    std::make_unsigned_t<T> bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<std::make_unsigned_t<T>>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    value = static_cast<T>(bits);
    bytes.remove_prefix(sizeof(T));
    return true;
}
}  // namespace cachefile

class PeakCache {
public:
    static constexpr int kMaxFiles = cachefile::kMaxFiles;

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
    std::filesystem::path folder_;
};

}  // namespace tirelle::waveform
