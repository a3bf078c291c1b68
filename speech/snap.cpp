#include "speech/snap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tirelle::speech {

namespace {

constexpr double kPauseCap = 0.6;   // seconds: a pause longer than this says no more
constexpr double kLeftOver = 2.0;   // cost per second of speech between two subtitles
constexpr double kInfinite = std::numeric_limits<double>::infinity();

// The first index from which `before` is false (true for a leading run of the spans, false
// after it), searched outward from `hint`, which then holds the answer: the edges come in time
// order, so each answer is mostly near the one before.
template <class Before>
std::size_t PartitionFrom(const SpeechSpans& spans, std::size_t& hint, Before before) {
    const std::size_t n = spans.size();
    std::size_t lo = std::min(hint, n);
    std::size_t hi = lo;
    std::size_t step = 1;
    if (lo < n && before(spans[lo])) {  // later: the answer is past lo
        lo = hi = lo + 1;
        for (; hi < n && before(spans[hi]); step *= 2) lo = hi + 1, hi += step;
        hi = std::min(hi, n);
    } else {  // here or earlier
        for (; lo > 0 && !before(spans[lo - 1]); step *= 2) hi = lo - 1, lo = lo > step ? lo - step : 0;
    }
    const auto first = spans.begin();
    hint = static_cast<std::size_t>(std::partition_point(first + static_cast<std::ptrdiff_t>(lo),
                                                         first + static_cast<std::ptrdiff_t>(hi), before) -
                                    first);
    return hint;
}

// The spans as the costs need them.
class SpeechIndex {
public:
    explicit SpeechIndex(const SpeechSpans& spans) : spans_(spans), before_(spans.size() + 1, 0) {
        for (std::size_t k = 0; k < spans.size(); ++k) before_[k + 1] = before_[k] + (spans[k].end - spans[k].start);
    }

    // Indexes of the spans whose start (onset) or end (offset) lies in [from, to].
    std::pair<std::size_t, std::size_t> startsIn(double from, double to) {
        const std::size_t a = PartitionFrom(spans_, starts_, [from](const SpeechSpan& s) { return s.start < from; });
        std::size_t b = a;
        PartitionFrom(spans_, b, [to](const SpeechSpan& s) { return !(to < s.start); });
        return {a, b};
    }
    std::pair<std::size_t, std::size_t> endsIn(double from, double to) {
        const std::size_t a = PartitionFrom(spans_, ends_, [from](const SpeechSpan& s) { return s.end < from; });
        std::size_t b = a;
        PartitionFrom(spans_, b, [to](const SpeechSpan& s) { return !(to < s.end); });
        return {a, b};
    }
    double pauseBefore(std::size_t k) const {
        return k == 0 ? kPauseCap : std::min(kPauseCap, spans_[k].start - spans_[k - 1].end);
    }
    double pauseAfter(std::size_t k) const {
        return k + 1 == spans_.size() ? kPauseCap : std::min(kPauseCap, spans_[k + 1].start - spans_[k].end);
    }
    // Seconds of speech before `t`.
    double speechBefore(double t) {
        const std::size_t k = PartitionFrom(spans_, after_, [t](const SpeechSpan& s) { return !(t < s.start); });
        if (k == 0) return 0;
        return before_[k - 1] + std::clamp(t - spans_[k - 1].start, 0.0, spans_[k - 1].end - spans_[k - 1].start);
    }

private:
    const SpeechSpans& spans_;
    std::vector<double> before_;  // speech in the spans before each span
    // Where the last searches ended.
    std::size_t starts_ = 0, ends_ = 0, after_ = 0;
};

struct Candidate {
    double time;
    double cost;
    bool stays;
    double speechBefore;  // seconds of speech before `time`
};

// The choices for one edge, appended to `out`: the speech edges within the window, and
// staying, which costs more than any move so that it is taken only when no move fits the
// limits.
void AddCandidates(std::vector<Candidate>& out, SpeechIndex& index, const SpeechSpans& spans,
                   double at, bool onset, bool moves, const SnapOptions& options) {
    const std::size_t before = out.size();
    if (moves) {
        const auto [a, b] = onset ? index.startsIn(at - options.window, at + options.window)
                                  : index.endsIn(at - options.window, at + options.window);
        for (std::size_t k = a; k < b; ++k) {
            const double t = onset ? spans[k].start : spans[k].end;
            const double pause = onset ? index.pauseBefore(k) : index.pauseAfter(k);
            out.push_back({t, std::abs(t - at) - pause, false, index.speechBefore(t)});
        }
    }
    out.push_back({at, out.size() == before ? 0 : options.window + 2 * kPauseCap, true,
                   index.speechBefore(at)});
}

}  // namespace

SnapResult SnapToSpeech(const std::vector<Timing>& timings, const SpeechSpans& spans,
                        const SnapOptions& options) {
    if (timings.empty()) return {};
    return SnapToSpeech(timings, spans, options, 0, timings.size() - 1);
}

SnapResult SnapToSpeech(const std::vector<Timing>& timings, const SpeechSpans& spans,
                        const SnapOptions& options, std::size_t first, std::size_t last) {
    SnapResult result;
    result.timings = timings;
    result.nearSpeech.assign(timings.size(), false);
    if (timings.empty() || first > last || first >= timings.size()) return result;
    last = std::min(last, timings.size() - 1);
    SpeechIndex index(spans);

    // The chain of edges: start and end of each subtitle from one before `first` to one after
    // `last` (those two only bound the others). Node n's candidates are
    // candidates[nodeStart[n] .. nodeStart[n + 1]).
    const std::size_t from = first > 0 ? first - 1 : first;
    const std::size_t to = std::min(timings.size() - 1, last + 1);
    std::vector<Candidate> candidates;
    std::vector<std::size_t> nodeStart = {0};
    candidates.reserve(4 * (to - from + 1));
    nodeStart.reserve(2 * (to - from + 1) + 1);
    for (std::size_t i = from; i <= to; ++i) {
        const bool moves = i >= first && i <= last;
        for (const bool onset : {true, false}) {
            AddCandidates(candidates, index, spans, onset ? timings[i].start : timings[i].end, onset, moves, options);
            if (moves && candidates.size() - nodeStart.back() > 1) result.nearSpeech[i] = true;
            nodeStart.push_back(candidates.size());
        }
    }
    const std::size_t nodes = nodeStart.size() - 1;

    // Shortest path over the chain: best[c] is the cheapest way to reach candidate c, back[c]
    // the candidate of the node before that it came from.
    std::vector<double> best(candidates.size(), kInfinite);
    std::vector<std::size_t> back(candidates.size(), 0);
    for (std::size_t c = nodeStart[0]; c < nodeStart[1]; ++c) best[c] = candidates[c].cost;
    for (std::size_t n = 1; n < nodes; ++n) {
        const bool withinSubtitle = n % 2 == 1;  // start -> end of one subtitle
        for (std::size_t c = nodeStart[n]; c < nodeStart[n + 1]; ++c) {
            const Candidate& here = candidates[c];
            for (std::size_t p = nodeStart[n - 1]; p < nodeStart[n]; ++p) {
                const Candidate& prior = candidates[p];
                if (!std::isfinite(best[p])) continue;
                double link = 0;
                const bool unchanged = here.stays && prior.stays;  // as it was is always allowed
                if (withinSubtitle) {
                    if (!unchanged && here.time - prior.time < options.minDuration) continue;
                } else {
                    if (!unchanged && here.time < prior.time) continue;
                    // The speech left between the two subtitles.
                    if (here.time > prior.time) link = kLeftOver * (here.speechBefore - prior.speechBefore);
                }
                const double total = best[p] + link + here.cost;
                if (total < best[c]) {
                    best[c] = total;
                    back[c] = p;
                }
            }
        }
    }
    std::size_t c = static_cast<std::size_t>(
        std::min_element(best.begin() + static_cast<std::ptrdiff_t>(nodeStart[nodes - 1]), best.end()) - best.begin());
    for (std::size_t n = nodes; n-- > 0;) {
        const std::size_t i = from + n / 2;
        (n % 2 == 0 ? result.timings[i].start : result.timings[i].end) = candidates[c].time;
        c = back[c];
    }
    for (std::size_t i = first; i <= last; ++i) ++(result.nearSpeech[i] ? result.snapped : result.nothingNear);
    return result;
}

std::optional<double> NearestEdge(const SpeechSpans& spans, double seconds, Edge edge, double within) {
    std::optional<double> nearest;
    const auto consider = [&](double t) {
        if (std::abs(t - seconds) <= within && (!nearest || std::abs(t - seconds) < std::abs(*nearest - seconds)))
            nearest = t;
    };
    // Spans are sorted by start and do not overlap, so their ends are sorted too.
    const auto near = std::lower_bound(spans.begin(), spans.end(), seconds - within,
                                       [](const SpeechSpan& s, double t) { return s.end < t; });
    for (auto it = near; it != spans.end() && it->start <= seconds + within; ++it) {
        if (edge != Edge::Offset) consider(it->start);
        if (edge != Edge::Onset) consider(it->end);
    }
    return nearest;
}

}  // namespace tirelle::speech
