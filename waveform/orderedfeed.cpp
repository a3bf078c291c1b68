#include "waveform/orderedfeed.h"

#include <algorithm>

namespace tirelle::waveform {

void OrderedFeed::add(std::int64_t first, std::vector<std::int16_t> samples,
                      std::int64_t stretchEnd) {
    std::vector<Piece> ready;
    {
        std::lock_guard lock(mutex_);
        const auto [at, added] = waiting_.try_emplace(first);
        Piece& piece = at->second;
        // A new piece takes the samples as they are; one at the place of a piece still waiting
        // (the empty last piece of the stretch before) goes behind it.
        if (added)
            piece.samples = std::move(samples);
        else
            piece.samples.insert(piece.samples.end(), samples.begin(), samples.end());
        piece.stretchEnd = stretchEnd;
        // Only one thread delivers at a time; the others leave their pieces to it.
        if (delivering_) return;
        delivering_ = true;
        takeReady(ready);
    }
    for (;;) {
        for (const Piece& piece : ready) consume_(piece.samples);
        ready.clear();
        std::lock_guard lock(mutex_);
        takeReady(ready);
        if (ready.empty()) {
            delivering_ = false;
            return;
        }
    }
}

void OrderedFeed::takeReady(std::vector<Piece>& ready) {
    while (!waiting_.empty() && waiting_.begin()->first <= next_) {
        const std::int64_t first = waiting_.begin()->first;
        Piece piece = std::move(waiting_.begin()->second);
        waiting_.erase(waiting_.begin());
        // What the stretch before gave already (one that ran past its end) is not given twice.
        const auto overlap = static_cast<std::size_t>(std::min<std::int64_t>(next_ - first, piece.samples.size()));
        piece.samples.erase(piece.samples.begin(), piece.samples.begin() + overlap);
        next_ += static_cast<std::int64_t>(piece.samples.size());
        if (piece.stretchEnd > next_) {
            // The stretch came out short: silence up to where the next one begins.
            piece.samples.resize(piece.samples.size() + (piece.stretchEnd - next_), 0);
            next_ = piece.stretchEnd;
        }
        if (!piece.samples.empty()) ready.push_back(std::move(piece));
    }
}

}  // namespace tirelle::waveform
