#include "waveform/peakcache.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tirelle::waveform {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "TIRPEAK1";
constexpr std::string_view kPeaksKind = ".peaks";
constexpr std::uint32_t kMaxPathBytes = 1 << 16;

std::uint64_t fnv1a(std::uint64_t hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

}  // namespace

std::optional<CacheKey> KeyForFile(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error) return std::nullopt;
    const fs::file_status status = fs::status(absolute, error);
    if (error || !fs::is_regular_file(status)) return std::nullopt;
    const std::uintmax_t size = fs::file_size(absolute, error);
    if (error) return std::nullopt;
    const fs::file_time_type time = fs::last_write_time(absolute, error);
    if (error) return std::nullopt;
    CacheKey key;
    key.path = absolute.lexically_normal().string();
    key.size = size;
    key.mtimeNs = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    return key;
}

fs::path DefaultCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return fs::path(xdg) / "tirelle" / "peaks";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return fs::path(home) / ".cache" / "tirelle" / "peaks";
    return {};
}

namespace cachefile {

void Prune(const fs::path& folder, std::string_view kind) {
    std::error_code error;
    std::vector<std::pair<fs::file_time_type, fs::path>> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() != kind) continue;
        std::error_code timeError;
        const auto time = entry.last_write_time(timeError);
        if (!timeError) files.emplace_back(time, entry.path());
    }
    if (files.size() <= static_cast<std::size_t>(kMaxFiles)) return;
    std::sort(files.begin(), files.end());
    for (std::size_t i = 0; i + kMaxFiles < files.size(); ++i) fs::remove(files[i].second, error);
}

fs::path For(const fs::path& folder, const CacheKey& key, std::string_view kind) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    hash = fnv1a(hash, key.path.data(), key.path.size());
    hash = fnv1a(hash, &key.size, sizeof key.size);
    hash = fnv1a(hash, &key.mtimeNs, sizeof key.mtimeNs);
    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return folder / (name + std::string(kind));
}

std::optional<std::string> Read(const fs::path& folder, const CacheKey& key, std::string_view kind,
                                std::string_view magic) {
    if (folder.empty()) return std::nullopt;
    std::ifstream in(For(folder, key, kind), std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    std::string_view rest = bytes;
    if (!rest.starts_with(magic)) return std::nullopt;
    rest.remove_prefix(magic.size());
    std::uint32_t pathBytes = 0;
    if (!TakeNumber(rest, pathBytes) || pathBytes > kMaxPathBytes || rest.size() < pathBytes) return std::nullopt;
    CacheKey stored;
    stored.path = std::string(rest.substr(0, pathBytes));
    rest.remove_prefix(pathBytes);
    if (!TakeNumber(rest, stored.size) || !TakeNumber(rest, stored.mtimeNs) || !(stored == key))
        return std::nullopt;
    return std::string(rest);
}

bool Write(const fs::path& folder, const CacheKey& key, std::string_view kind, std::string_view magic,
           std::string_view payload) {
    if (folder.empty() || key.path.size() > kMaxPathBytes) return false;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return false;

    std::string header(magic);
    PutNumber(header, static_cast<std::uint32_t>(key.path.size()));
    header += key.path;
    PutNumber(header, key.size);
    PutNumber(header, key.mtimeNs);

    const fs::path target = For(folder, key, kind);
    fs::path temporary = target;
    temporary += ".tmp" + std::to_string(reinterpret_cast<std::uintptr_t>(&header));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(header.data(), static_cast<std::streamsize>(header.size()));
        out.write(payload.data(), static_cast<std::streamsize>(payload.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            return false;
        }
    }
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    Prune(folder, kind);
    return true;
}

}  // namespace cachefile

using cachefile::PutNumber;

fs::path PeakCache::fileFor(const CacheKey& key) const {
    return cachefile::For(folder_, key, kPeaksKind);
}

std::optional<std::vector<Peak>> PeakCache::load(const CacheKey& key) const {
    const std::optional<std::string> payload = cachefile::Read(folder_, key, kPeaksKind, kMagic);
    if (!payload) return std::nullopt;
    std::string_view rest = *payload;
    std::uint64_t count = 0;
    static_assert(sizeof(Peak) == 4);
    if (!cachefile::TakeNumber(rest, count) || count > kMaxBins || rest.size() != count * sizeof(Peak))
        return std::nullopt;  // shorter or longer than it says
    std::vector<Peak> peaks(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        cachefile::TakeNumber(rest, peaks[i].min);
        cachefile::TakeNumber(rest, peaks[i].max);
    }
    return peaks;
}

bool PeakCache::store(const CacheKey& key, std::span<const Peak> peaks) const {
    if (peaks.size() > kMaxBins) return false;
    std::string payload;
    payload.reserve(8 + peaks.size() * sizeof(Peak));
    PutNumber(payload, static_cast<std::uint64_t>(peaks.size()));
    for (const Peak& peak : peaks) {
        PutNumber(payload, peak.min);
        PutNumber(payload, peak.max);
    }
    return cachefile::Write(folder_, key, kPeaksKind, kMagic, payload);
}

}  // namespace tirelle::waveform
