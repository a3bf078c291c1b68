#include "speech/cache.h"

#include <bit>
#include <cmath>

namespace tirelle::speech {

namespace {

using waveform::cachefile::PutNumber;
using waveform::cachefile::TakeNumber;

// The version is the magic's last character: a file of another version is a miss.
constexpr std::string_view kMagic = "TIRSPCH1";
constexpr std::string_view kKind = ".speech";
// No film has more spans than one every 10 ms for a day.
constexpr std::uint64_t kMaxSpans = std::uint64_t{24} * 3600 * 100;
constexpr std::size_t kSpanBytes = 8 + 8 + 4;

}  // namespace

std::string SerializeSpans(const SpeechSpans& spans) {
    std::string payload;
    payload.reserve(8 + spans.size() * kSpanBytes);
    PutNumber(payload, static_cast<std::uint64_t>(spans.size()));
    for (const SpeechSpan& span : spans) {
        PutNumber(payload, std::bit_cast<std::uint64_t>(span.start));
        PutNumber(payload, std::bit_cast<std::uint64_t>(span.end));
        PutNumber(payload, std::bit_cast<std::uint32_t>(span.confidence));
    }
    return payload;
}

std::optional<SpeechSpans> ParseSpans(std::string_view payload) {
    std::uint64_t count = 0;
    if (!TakeNumber(payload, count) || count > kMaxSpans || payload.size() != count * kSpanBytes)
        return std::nullopt;
    SpeechSpans spans(static_cast<std::size_t>(count));
    double before = 0;
    for (SpeechSpan& span : spans) {
        std::uint64_t start = 0, end = 0;
        std::uint32_t confidence = 0;
        TakeNumber(payload, start);
        TakeNumber(payload, end);
        TakeNumber(payload, confidence);
        span.start = std::bit_cast<double>(start);
        span.end = std::bit_cast<double>(end);
        span.confidence = std::bit_cast<float>(confidence);
        // What the detector makes: sorted, apart, within a day, sure between 0 and 1.
        if (!(span.start >= before && span.end > span.start && span.end <= 24 * 3600.0 &&
              span.confidence >= 0 && span.confidence <= 1))
            return std::nullopt;
        before = span.end;
    }
    return spans;
}

std::optional<SpeechSpans> SpeechCache::load(const waveform::CacheKey& key) const {
    const std::optional<std::string> payload = waveform::cachefile::Read(folder_, key, kKind, kMagic);
    if (!payload) return std::nullopt;
    return ParseSpans(*payload);
}

bool SpeechCache::store(const waveform::CacheKey& key, const SpeechSpans& spans) const {
    return waveform::cachefile::Write(folder_, key, kKind, kMagic, SerializeSpans(spans));
}

std::filesystem::path SpeechCache::fileFor(const waveform::CacheKey& key) const {
    return waveform::cachefile::For(folder_, key, kKind);
}

}  // namespace tirelle::speech
