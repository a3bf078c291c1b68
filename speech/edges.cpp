// The spans of speech from the detector's measures: the background of each band, the frames
// that rise above it where a voice is heard, and each edge placed to the millisecond.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <exception>
#include <limits>
#include <thread>

#include "speech/detector.h"

namespace tirelle::speech {

namespace {

// Frames either side that the background is taken from: three seconds.
constexpr std::size_t kBackgroundReach = 300;
// The least rise and fall (Modulation, dB) of a span of speech: one this long or longer, and
// a shorter one.
constexpr double kSentenceSeconds = 0.4;
constexpr double kShortestMeasured = 0.15;
constexpr float kSentenceModulation = 6;
constexpr float kSyllableModulation = 2;

// The value below which `share` of the values lie (values is reordered).
float Quantile(std::vector<float>& values, double share) {
    if (values.empty()) return 0;
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

// The power of a millisecond level (half dB above -110 dB, as the detector keeps it).
const std::array<double, 256>& PowerTable() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> powers{};
        for (std::size_t i = 0; i < powers.size(); ++i) powers[i] = std::pow(10.0, (i / 2.0 - 110) / 10);
        return powers;
    }();
    return table;
}

// How far a sound's level rises and falls over the milliseconds [first, last): the level
// averaged over 40 ms, every 10 ms, from its quiet tenth to its loud tenth, dB. Speech rises
// and falls with its syllables by 10 dB and more; a held chord, a hum or a steady noise stays
// within a few dB (the beats between the notes of a chord make its 10 ms levels flicker, which
// the 40 ms average smooths away).
float Modulation(const std::vector<std::uint8_t>& fine, std::size_t first, std::size_t last) {
    constexpr std::size_t kAverage = 40;
    const std::array<double, 256>& power = PowerTable();
    std::vector<float> levels;
    for (std::size_t at = first; at + kAverage <= last; at += 10) {
        double sum = 0;
        for (std::size_t ms = at; ms < at + kAverage; ++ms) sum += power[fine[ms]];
        levels.push_back(static_cast<float>(10 * std::log10(sum / kAverage)));
    }
    if (levels.size() < 2) return 0;
    const float quiet = Quantile(levels, 0.1);
    return Quantile(levels, 0.9) - quiet;
}

// The background level of a band at every frame: the quietest tenth of the frames around it
// (kReach either side), taken every quarter of a second. Speech pauses between its syllables and
// sentences; noise and a music bed sit under it all the time, and a bed that changes its level
// (a new chord) is followed within a second. The window of frames is kept sorted as it slides:
// each step the frames that leave it and those that come in are merged in, instead of sorting
// it afresh.
std::vector<float> Background(const std::vector<float>& level) {
    const std::size_t reach = kBackgroundReach;
    std::vector<float> floor(level.size());
    std::vector<float> window, next, out, in;
    const auto sorted = [&](std::vector<float>& values, std::size_t a, std::size_t b) {
        values.assign(level.begin() + static_cast<std::ptrdiff_t>(a),
                      level.begin() + static_cast<std::ptrdiff_t>(b));
        std::sort(values.begin(), values.end());
    };
    constexpr std::size_t kStep = 25;
    std::size_t windowA = 0, windowB = 0;  // the window holds the frames [windowA, windowB)
    for (std::size_t at = 0; at < level.size(); at += kStep) {
        const std::size_t a = at >= reach ? at - reach : 0;
        const std::size_t b = std::min(level.size(), at + kStep + reach);
        sorted(out, windowA, a);
        sorted(in, windowB, b);
        // A last value on each list stops the loops without counting: NaN, which no level
        // equals, and +inf, which none is above.
        out.push_back(std::numeric_limits<float>::quiet_NaN());
        in.push_back(std::numeric_limits<float>::infinity());
        next.resize(window.size() + in.size() - out.size());
        float* to = next.data();
        const float* leaving = out.data();
        const float* coming = in.data();
        for (const float value : window) {
            if (value == *leaving) {
                ++leaving;
                continue;
            }
            while (*coming < value) *to++ = *coming++;
            *to++ = value;
        }
        while (coming + 1 < in.data() + in.size()) *to++ = *coming++;
        window.swap(next);
        windowA = a, windowB = b;
        // The value below which a tenth of the window lies, as Quantile takes it.
        const float quiet =
            window[static_cast<std::size_t>(0.1 * static_cast<double>(window.size() - 1))];
        std::fill(floor.begin() + static_cast<std::ptrdiff_t>(at),
                  floor.begin() + static_cast<std::ptrdiff_t>(std::min(level.size(), at + kStep)), quiet);
    }
    return floor;
}

// One band: its level over the background per frame, per millisecond, and how far the film's
// voiced frames rise above the background.
struct Band {
    std::vector<float> over;        // per frame, dB over the background
    std::vector<double> finePower;  // per ms, the power over the background summed so far
    float speech = 0;               // the voiced frames' typical rise (their 90th percentile), dB
    float threshold = 0;            // a frame this far over the background: loud enough for speech
    float low = 0;                  // a frame this far over it is no longer the background
};

Band MakeBand(const std::vector<float>& level, const std::vector<std::uint8_t>& fine,
              const std::vector<std::uint8_t>& voiced) {
    Band band;
    const std::vector<float> floor = Background(level);
    band.over.resize(level.size());
    std::vector<float> voicedOver;
    for (std::size_t f = 0; f < level.size(); ++f) {
        band.over[f] = level[f] - floor[f];
        if (voiced[f]) voicedOver.push_back(band.over[f]);
    }
    band.speech = Quantile(voicedOver, 0.9);
    // A third of the way up from the background to the speech, and never within the
    // background's own ups and downs.
    band.threshold = std::max(6.0f, band.speech / 3);
    // Where a sound has left the background: above the level the background's own frames
    // keep under three times in four (the ups and downs of a music bed are wider than a
    // steady noise's).
    std::vector<float> quiet;
    for (std::size_t f = 0; f < level.size(); ++f)
        if (band.over[f] < band.threshold) quiet.push_back(band.over[f]);
    band.low = std::max(2.0f, Quantile(quiet, 0.75));

    // The millisecond levels over the background, averaged as power over 8 ms (a voice's
    // pitch periods come and go within a millisecond).
    const std::size_t n = std::min(fine.size(), level.size() * 10);
    const std::array<double, 256>& table = PowerTable();
    std::vector<double>& power = band.finePower;
    power.assign(n + 1, 0);
    double scale = 1;
    for (std::size_t ms = 0; ms < n; ++ms) {
        if (ms % 10 == 0) scale = std::pow(10.0, -floor[ms / 10] / 10.0);
        power[ms + 1] = power[ms] + table[fine[ms]] * scale;
    }
    return band;
}

// The level of millisecond `ms` over the background, smoothed over 8 ms, dB; only the
// milliseconds around the edges are asked for.
float FineOver(const Band& band, std::size_t ms) {
    const std::vector<double>& power = band.finePower;
    const std::size_t n = power.size() - 1;
    const std::size_t a = ms >= 4 ? ms - 4 : 0;
    const std::size_t b = std::min(n, ms + 4);
    return static_cast<float>(10 * std::log10((power[b] - power[a]) / static_cast<double>(b - a)));
}

struct Run {
    std::size_t first, last;  // frames, inclusive
};

}  // namespace

SpeechSpans FindSpans(const SpeechMeasures& m) {
    const std::size_t frames = std::min({m.voiced.size(), m.voiceBand.size(), m.hissBand.size()});
    if (frames == 0) return {};
    // The two bands at once, on two threads.
    Band hiss;
    std::exception_ptr hissFailed;
    std::thread hissThread([&] {
        try {
            hiss = MakeBand(m.hissBand, m.hissFine, m.voiced);
        } catch (...) {
            hissFailed = std::current_exception();
        }
    });
    Band voice;
    try {
        voice = MakeBand(m.voiceBand, m.voiceFine, m.voiced);
    } catch (...) {
        hissThread.join();
        throw;
    }
    hissThread.join();
    if (hissFailed) std::rethrow_exception(hissFailed);
    // A film where the voiced frames do not rise above the background has nothing to find.
    if (voice.speech < 6 && hiss.speech < 6) return {};

    const auto loud = [&](std::size_t f) {
        return voice.over[f] > voice.threshold || hiss.over[f] > hiss.threshold;
    };
    // Frames loud enough where the voice detector hears a voice within 100 ms (it answers a
    // little late and holds on a little long).
    std::vector<std::uint8_t> voicedNear(frames, 0);
    for (std::size_t f = 0; f < frames; ++f)
        if (m.voiced[f])
            for (std::size_t g = f >= 10 ? f - 10 : 0; g < std::min(frames, f + 11); ++g) voicedNear[g] = 1;
    std::vector<Run> runs;
    for (std::size_t f = 0; f < frames; ++f) {
        if (!loud(f) || !voicedNear[f]) continue;
        // Dips between syllables of up to 80 ms belong to the run.
        if (!runs.empty() && f - runs.back().last <= 8)
            runs.back().last = f;
        else
            runs.push_back({f, f});
    }
    // Each run goes on over quieter syllables at either end: 30 ms or more over the background
    // by kLow, after a dip of at most 80 ms.
    const auto audible = [&](std::size_t f) { return voice.over[f] > voice.low || hiss.over[f] > hiss.low; };
    const auto supported = [&](std::size_t f, int step) {
        for (int k = 0; k < 3; ++k) {
            const auto g = static_cast<std::ptrdiff_t>(f) + step * k;
            if (g < 0 || g >= static_cast<std::ptrdiff_t>(frames) || !audible(static_cast<std::size_t>(g))) return false;
        }
        return true;
    };
    for (std::size_t r = 0; r < runs.size(); ++r) {
        Run& run = runs[r];
        const std::size_t lowest = r > 0 ? runs[r - 1].last + 1 : 0;
        for (bool grew = true; grew;) {
            grew = false;
            for (std::size_t d = 1; d <= 9 && run.first >= lowest + d + 2; ++d)
                if (supported(run.first - d, -1)) {
                    run.first -= d;
                    while (run.first > lowest && audible(run.first - 1)) --run.first;
                    grew = true;
                    break;
                }
        }
        const std::size_t highest = r + 1 < runs.size() ? runs[r + 1].first - 1 : frames - 1;
        for (bool grew = true; grew;) {
            grew = false;
            for (std::size_t d = 1; d <= 9 && run.last + d + 2 <= highest; ++d)
                if (supported(run.last + d, 1)) {
                    run.last += d;
                    while (run.last < highest && audible(run.last + 1)) ++run.last;
                    grew = true;
                    break;
                }
        }
    }
    // Runs that grew into each other are one.
    std::vector<Run> merged;
    for (const Run& run : runs) {
        if (!merged.empty() && run.first <= merged.back().last + 9)
            merged.back().last = std::max(merged.back().last, run.last);
        else
            merged.push_back(run);
    }
    runs = std::move(merged);

    SpeechSpans spans;
    const std::size_t fine = std::min(voice.finePower.size(), hiss.finePower.size()) - 1;
    const auto heardFine = [&](std::size_t ms) {
        return FineOver(voice, ms) > voice.low || FineOver(hiss, ms) > hiss.low;
    };
    for (const Run& run : runs) {
        const std::size_t length = run.last - run.first + 1;
        if (length < 8) continue;  // a click, a knock
        std::size_t heard = 0;
        for (std::size_t f = run.first; f <= run.last; ++f) heard += m.voiced[f];
        if (heard * 2 < length) continue;
        // The edges: where the energy, coming from the loud part, sinks back into the
        // background (3 dB over it), to the millisecond.
        const std::size_t lowerBound = spans.empty() ? 0 : static_cast<std::size_t>(spans.back().end * 1000) + 1;
        std::size_t start = std::min(run.first * 10, fine - 1);
        while (start > lowerBound && start > run.first * 10 - std::min<std::size_t>(run.first * 10, 150) &&
               heardFine(start - 1))
            --start;
        std::size_t end = std::min(run.last * 10 + 9, fine - 1);
        const std::size_t upperBound = std::min(fine - 1, run.last * 10 + 150);
        while (end < upperBound && heardFine(end + 1)) ++end;
        // Speech rises and falls with its syllables; a held chord or a hum does not, but for
        // the way in and out (30 ms at either end, left out). One syllable may hold its level
        // for a fifth of a second, a sentence never does for 0.4 s.
        const double seconds = static_cast<double>(end + 1 - start) / 1000;
        if (seconds >= kShortestMeasured &&
            Modulation(m.voiceFine, start + 30, end + 1 - std::min<std::size_t>(end + 1, 30)) <
                (seconds >= kSentenceSeconds ? kSentenceModulation : kSyllableModulation))
            continue;
        if (!spans.empty() && start <= lowerBound + 50) {
            spans.back().end = (end + 1) / 1000.0;  // too close to tell apart: one span
            continue;
        }
        const float confidence = std::clamp(static_cast<float>(heard) / static_cast<float>(length), 0.0f, 1.0f);
        spans.push_back({start / 1000.0, (end + 1) / 1000.0, confidence});
    }
    return spans;
}

}  // namespace tirelle::speech
