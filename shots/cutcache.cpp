#include "shots/cutcache.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

#include "base/errors.h"
#include "shots/finder.h"
#include "srt/srtfile.h"
#include "waveform/peakcache.h"

namespace tirelle::shots {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[8] = {'T', 'I', 'R', 'S', 'H', 'O', 'T', 'S'};
constexpr std::uint32_t kFormatVersion = 1;
constexpr std::uint32_t kMaxPathBytes = 1 << 16;
constexpr const char* kSuffix = ".cuts";

std::uint64_t Checksum(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// Numbers are kept little-endian whatever the machine; doubles by their bits.
template <class T>
void Put(std::string& out, T value) {
    std::uint64_t bits = 0;
    if constexpr (std::is_same_v<T, double>)
        bits = std::bit_cast<std::uint64_t>(value);
    else
        bits = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xff));
}

void PutText(std::string& out, std::string_view text) {
    Put(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

// Reads from the front of the bytes; every read fails once one has.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    template <class T>
    bool get(T& value) {
        if (bytes_.size() < sizeof(T)) return false;
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[i])) << (8 * i);
        bytes_.remove_prefix(sizeof(T));
        if constexpr (std::is_same_v<T, double>)
            value = std::bit_cast<double>(bits);
        else
            value = static_cast<T>(static_cast<std::make_unsigned_t<T>>(bits));
        return true;
    }
    bool text(std::string& value, std::size_t most) {
        std::uint32_t size = 0;
        if (!get(size) || size > most || bytes_.size() < size) return false;
        value.assign(bytes_.substr(0, size));
        bytes_.remove_prefix(size);
        return true;
    }
    std::size_t left() const { return bytes_.size(); }

private:
    std::string_view bytes_;
};

bool KnownStatus(std::uint8_t status) {
    return status <= static_cast<std::uint8_t>(DetectStatus::Failed);
}

}  // namespace

bool WorthKeeping(DetectStatus status) {
    return status != DetectStatus::Cancelled && status != DetectStatus::Failed;
}

std::string EncodeCutFile(const waveform::CacheKey& key, const StoredCuts& cuts) {
    std::string bytes(kMagic, sizeof kMagic);
    Put(bytes, kFormatVersion);
    Put(bytes, kFinderVersion);
    PutText(bytes, key.path);
    Put(bytes, key.size);
    Put(bytes, key.mtimeNs);
    Put(bytes, static_cast<std::uint8_t>(cuts.status));
    PutText(bytes, cuts.message);
    Put(bytes, cuts.cuts.frameRate);
    Put(bytes, static_cast<std::uint64_t>(cuts.cuts.times.size()));
    for (const double time : cuts.cuts.times) Put(bytes, time);
    Put(bytes, Checksum(bytes));
    return bytes;
}

std::optional<StoredCuts> DecodeCutFile(std::string_view bytes, const waveform::CacheKey& key) {
    if (bytes.size() < sizeof kMagic + sizeof(std::uint64_t) ||
        std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    const std::string_view body = bytes.substr(0, bytes.size() - sizeof(std::uint64_t));
    std::uint64_t checksum = 0;
    Reader tail(bytes.substr(body.size()));
    if (!tail.get(checksum) || checksum != Checksum(body)) return std::nullopt;

    Reader in(body.substr(sizeof kMagic));
    std::uint32_t format = 0;
    std::uint32_t finder = 0;
    waveform::CacheKey stored;
    std::uint8_t status = 0;
    StoredCuts cuts;
    std::uint64_t count = 0;
    if (!in.get(format) || format != kFormatVersion || !in.get(finder) ||
        finder != kFinderVersion || !in.text(stored.path, kMaxPathBytes) || !in.get(stored.size) ||
        !in.get(stored.mtimeNs) || !(stored == key) || !in.get(status) || !KnownStatus(status) ||
        !in.text(cuts.message, CutCache::kMaxMessageBytes) || !in.get(cuts.cuts.frameRate) ||
        !in.get(count))
        return std::nullopt;
    cuts.status = static_cast<DetectStatus>(status);
    const double rate = cuts.cuts.frameRate;
    if (!WorthKeeping(cuts.status) || !(rate > 0 && rate <= 1000) || count > CutCache::kMaxCuts ||
        in.left() != count * sizeof(double) ||
        (cuts.status != DetectStatus::Complete && count != 0))
        return std::nullopt;
    cuts.cuts.times.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        double time = 0;
        in.get(time);
        // Ascending, finite, not before the start: anything else is not a list we wrote.
        if (!std::isfinite(time) || time < 0 ||
            (!cuts.cuts.times.empty() && time <= cuts.cuts.times.back()))
            return std::nullopt;
        cuts.cuts.times.push_back(time);
    }
    return cuts;
}

fs::path CutCache::fileFor(const waveform::CacheKey& key) const {
    fs::path file = waveform::PeakCache(folder_).fileFor(key);
    file.replace_extension(kSuffix);
    return file;
}

std::optional<StoredCuts> CutCache::load(const waveform::CacheKey& key) const {
    if (folder_.empty()) return std::nullopt;
    std::ifstream in(fileFor(key), std::ios::binary);
    if (!in) return std::nullopt;
    // No cut file is longer than the longest list with the longest path and message.
    constexpr std::size_t kLongest =
        256 + kMaxPathBytes + kMaxMessageBytes + kMaxCuts * sizeof(double);
    std::string bytes;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > kLongest) return std::nullopt;
    }
    return DecodeCutFile(bytes, key);
}

bool CutCache::store(const waveform::CacheKey& key, const StoredCuts& cuts) const {
    if (folder_.empty() || !WorthKeeping(cuts.status) || key.path.size() > kMaxPathBytes ||
        cuts.message.size() > kMaxMessageBytes || cuts.cuts.times.size() > kMaxCuts)
        return false;
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) return false;
    try {
        // The program's safe write: a temporary file renamed into place once complete.
        srt::WriteTextBytes(fileFor(key), EncodeCutFile(key, cuts));
    } catch (const FileError&) {
        return false;
    }
    prune();
    return true;
}

void CutCache::prune() const { waveform::cachefile::Prune(folder_, kSuffix); }

}  // namespace tirelle::shots
