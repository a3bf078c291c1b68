#pragma once
// Speech spans kept on disk beside the peaks (waveform/peakcache.h): the same folder and key,
// a file of their own kind (".speech"), so that a film opened again needs no decoding. The
// format is versioned; a file of another version, another key, or damaged, is a miss.

#include <optional>
#include <string>
#include <string_view>

#include "speech/spans.h"
#include "waveform/peakcache.h"

namespace tirelle::speech {

class SpeechCache {
public:
    explicit SpeechCache(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // The spans stored for this key, or nothing.
    std::optional<SpeechSpans> load(const waveform::CacheKey& key) const;
    // False when it cannot be written (the caller goes on without the cache).
    bool store(const waveform::CacheKey& key, const SpeechSpans& spans) const;
    std::filesystem::path fileFor(const waveform::CacheKey& key) const;

private:
    std::filesystem::path folder_;
};

// The spans in a cache file's payload (after the key), or nothing when it is not whole and
// sound: for the cache and its fuzzer.
std::optional<SpeechSpans> ParseSpans(std::string_view payload);
std::string SerializeSpans(const SpeechSpans& spans);

}  // namespace tirelle::speech
