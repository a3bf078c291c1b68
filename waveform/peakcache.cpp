#include "waveform/peakcache.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

namespace tirelle::waveform {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[8] = {'T', 'I', 'R', 'P', 'E', 'A', 'K', '1'};
constexpr std::uint32_t kMaxPathBytes = 1 << 16;

std::uint64_t fnv1a(std::uint64_t hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// Numbers are kept little-endian whatever the machine.
template <class T>
void putNumber(std::string& out, T value) {
    auto bits = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xff));
}

template <class T>
bool getNumber(std::ifstream& in, T& value) {
    unsigned char bytes[sizeof(T)];
    if (!in.read(reinterpret_cast<char*>(bytes), sizeof bytes)) return false;
    std::make_unsigned_t<T> bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) bits |= static_cast<std::make_unsigned_t<T>>(bytes[i]) << (8 * i);
    value = static_cast<T>(bits);
    return true;
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

fs::path PeakCache::fileFor(const CacheKey& key) const {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    hash = fnv1a(hash, key.path.data(), key.path.size());
    hash = fnv1a(hash, &key.size, sizeof key.size);
    hash = fnv1a(hash, &key.mtimeNs, sizeof key.mtimeNs);
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.peaks", static_cast<unsigned long long>(hash));
    return folder_ / name;
}

std::optional<std::vector<Peak>> PeakCache::load(const CacheKey& key) const {
    if (folder_.empty()) return std::nullopt;
    std::ifstream in(fileFor(key), std::ios::binary);
    if (!in) return std::nullopt;
    char magic[sizeof kMagic];
    std::uint32_t pathBytes = 0;
    if (!in.read(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) return std::nullopt;
    if (!getNumber(in, pathBytes) || pathBytes > kMaxPathBytes) return std::nullopt;
    std::string path(pathBytes, '\0');
    CacheKey stored;
    std::uint64_t count = 0;
    if (!in.read(path.data(), pathBytes) || !getNumber(in, stored.size) || !getNumber(in, stored.mtimeNs) ||
        !getNumber(in, count))
        return std::nullopt;
    stored.path = std::move(path);
    if (!(stored == key) || count > kMaxBins) return std::nullopt;

    std::vector<Peak> peaks(static_cast<std::size_t>(count));
    static_assert(sizeof(Peak) == 4);
    if (!in.read(reinterpret_cast<char*>(peaks.data()), static_cast<std::streamsize>(count * sizeof(Peak))))
        return std::nullopt;
    if constexpr (std::endian::native == std::endian::big) {
        auto swap = [](std::int16_t value) {
            const auto bits = static_cast<std::uint16_t>(value);
            return static_cast<std::int16_t>(static_cast<std::uint16_t>((bits << 8) | (bits >> 8)));
        };
        for (Peak& peak : peaks) {
            peak.min = swap(peak.min);
            peak.max = swap(peak.max);
        }
    }
    if (in.peek() != std::char_traits<char>::eof()) return std::nullopt;  // longer than it says
    return peaks;
}

bool PeakCache::store(const CacheKey& key, std::span<const Peak> peaks) const {
    if (folder_.empty() || peaks.size() > kMaxBins || key.path.size() > kMaxPathBytes) return false;
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) return false;

    std::string header(kMagic, sizeof kMagic);
    putNumber(header, static_cast<std::uint32_t>(key.path.size()));
    header += key.path;
    putNumber(header, key.size);
    putNumber(header, key.mtimeNs);
    putNumber(header, static_cast<std::uint64_t>(peaks.size()));

    const fs::path target = fileFor(key);
    fs::path temporary = target;
    temporary += ".tmp" + std::to_string(reinterpret_cast<std::uintptr_t>(&header));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(header.data(), static_cast<std::streamsize>(header.size()));
        if constexpr (std::endian::native == std::endian::little) {
            out.write(reinterpret_cast<const char*>(peaks.data()),
                      static_cast<std::streamsize>(peaks.size() * sizeof(Peak)));
        } else {
            std::string body;
            for (const Peak& peak : peaks) {
                putNumber(body, peak.min);
                putNumber(body, peak.max);
            }
            out.write(body.data(), static_cast<std::streamsize>(body.size()));
        }
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
    prune();
    return true;
}

void PeakCache::prune() const {
    std::error_code error;
    std::vector<std::pair<fs::file_time_type, fs::path>> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, error)) {
        if (entry.path().extension() != ".peaks") continue;
        std::error_code timeError;
        const auto time = entry.last_write_time(timeError);
        if (!timeError) files.emplace_back(time, entry.path());
    }
    if (files.size() <= static_cast<std::size_t>(kMaxFiles)) return;
    std::sort(files.begin(), files.end());
    for (std::size_t i = 0; i + kMaxFiles < files.size(); ++i) fs::remove(files[i].second, error);
}

}  // namespace tirelle::waveform
