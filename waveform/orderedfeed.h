#pragma once
// Puts the pieces of a sample stream that several threads make, each for its own stretch of
// time, back into time order for a consumer that needs the stream whole and in order (the
// speech detector). No media library.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <vector>

namespace tirelle::waveform {

class OrderedFeed {
public:
    // `consume` gets the stream from sample 0 on, every sample once, in order; samples that no
    // piece gave (a stretch that came out short) as zeros. Its calls never overlap but come
    // from the threads that add pieces.
    explicit OrderedFeed(std::function<void(std::span<const std::int16_t>)> consume)
        : consume_(std::move(consume)) {}

    // A piece starting at sample `first`. `stretchEnd` >= 0 says the piece is the last of its
    // stretch and the stretch ends there (the next stretch begins at that sample);
    // kOpenEnd: more of the stretch follows, or it is the last stretch of the stream.
    static constexpr std::int64_t kOpenEnd = -1;
    void add(std::int64_t first, std::vector<std::int16_t> samples, std::int64_t stretchEnd);

private:
    struct Piece {
        std::vector<std::int16_t> samples;
        std::int64_t stretchEnd;
    };
    // Takes the pieces that are next in order; the caller delivers them outside the lock.
    void takeReady(std::vector<Piece>& ready);

    std::function<void(std::span<const std::int16_t>)> consume_;
    std::mutex mutex_;
    std::map<std::int64_t, Piece> waiting_;
    std::int64_t next_ = 0;  // the first sample not yet taken
    bool delivering_ = false;
};

}  // namespace tirelle::waveform
