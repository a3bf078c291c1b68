#include "speech/detector.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <numbers>

// WebRTC's voice detector itself, as its audio processing library exports it (the library
// installs no header of its own for it). The audio processing front end only copies each frame
// into its buffers and out again before it calls these, so the detector is called directly.
extern "C" {
struct WebRtcVadInst;
WebRtcVadInst* WebRtcVad_Create(void);
void WebRtcVad_Free(WebRtcVadInst* handle);
int WebRtcVad_Init(WebRtcVadInst* handle);
int WebRtcVad_set_mode(WebRtcVadInst* handle, int mode);
// 1: a voice, 0: none, -1: an error.
int WebRtcVad_Process(WebRtcVadInst* handle, int fs, const std::int16_t* audio_frame,
                      std::size_t frame_length);
}

namespace tirelle::speech {

namespace {

// The front end's "low likelihood" of a voice: the second most aggressive of the detector's
// four modes (0 to 3).
constexpr int kVadMode = 2;

constexpr int kFrame = SpeechDetector::kRate / 100;  // 10 ms
constexpr int kFine = SpeechDetector::kRate / 1000;  // 1 ms
constexpr float kFloorDb = -110;                     // silence, digital or not

// The coefficients of a second-order section (the audio cookbook's high- and low-pass).
struct Section {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

    static Section highPass(double hz) { return make(hz, true); }
    static Section lowPass(double hz) { return make(hz, false); }

private:
    static Section make(double hz, bool high) {
        const double w = 2 * std::numbers::pi * hz / SpeechDetector::kRate;
        const double alpha = std::sin(w) / std::numbers::sqrt2;  // Q = 1/sqrt(2): sin(w) / (2Q)
        const double c = std::cos(w);
        const double a0 = 1 + alpha;
        Section f;
        f.b1 = (high ? -(1 + c) : (1 - c)) / a0;
        f.b0 = f.b2 = (high ? (1 + c) : (1 - c)) / 2 / a0;
        f.a1 = -2 * c / a0;
        f.a2 = (1 - alpha) / a0;
        return f;
    }
};

// Voice band: 300 Hz to 3.4 kHz, two sections each side; hiss: above 3.4 kHz, two sections.
// Run in doubles, so that a film of hours does not drift.
const std::array<Section, 4>& VoiceSections() {
    static const std::array<Section, 4> sections = {Section::highPass(300), Section::highPass(300),
                                                    Section::lowPass(3400), Section::lowPass(3400)};
    return sections;
}
const std::array<Section, 2>& HissSections() {
    static const std::array<Section, 2> sections = {Section::highPass(3400),
                                                    Section::highPass(3400)};
    return sections;
}

// Both bands' sections at once, two to a vector: the voice band's first two, its last two and
// the hiss's two. A section's input is the output of the one before it two steps earlier, so
// every section works on its own sample and none waits for another within a step, nor for the
// one before it at the step before: the k-th section of a band takes sample n - 2k at the step
// that brings in sample n. Each section computes just what it would on its own, in the same
// order, so the outputs are those of the sections one after the other, to the bit, only later:
// the voice band's by six samples, the hiss's by two.
class Sections {
public:
    static constexpr int kVoiceLag = 6;
    static constexpr int kHissLag = 2;

    Sections() {
        const std::array<Section, 4>& voice = VoiceSections();
        const std::array<Section, 2>& hiss = HissSections();
        low_ = Pair(voice[0], voice[1]);
        high_ = Pair(voice[2], voice[3]);
        hiss_ = Pair(hiss[0], hiss[1]);
    }

    // One sample in; out, the voice band's output for the sample kVoiceLag before and the
    // hiss's for the one kHissLag before.
    void step(double x, double& voice, double& hiss) {
        const Two in = {x, x};
        // Each section takes what the one before it gave two steps ago.
        const Two lowIn = __builtin_shufflevector(in, low_.y2, 0, 2);
        const Two highIn = __builtin_shufflevector(low_.y2, high_.y2, 1, 2);
        const Two hissIn = __builtin_shufflevector(in, hiss_.y2, 0, 2);
        low_.step(lowIn);
        const Two highOut = high_.step(highIn);
        const Two hissOut = hiss_.step(hissIn);
        voice = highOut[1];
        hiss = hissOut[1];
    }

    using Two = double __attribute__((vector_size(2 * sizeof(double))));
    struct Pair {
        Pair() = default;
        Pair(const Section& a, const Section& b)
            : b0{a.b0, b.b0}, b1{a.b1, b.b1}, b2{a.b2, b.b2}, a1{a.a1, b.a1}, a2{a.a2, b.a2} {}
        Two step(Two x) {
            const Two y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1, x1 = x, y2 = y1, y1 = y;
            return y;
        }
        Two b0{}, b1{}, b2{}, a1{}, a2{};
        Two x1{}, x2{}, y1{}, y2{};
    };
    Pair low_, high_, hiss_;  // the voice band's first two sections, its last two, the hiss's
};

// The same with the voice band's four sections in one vector of four, for the processors
// whose registers hold four (AVX2): the same operations in the same order, the same bits.
struct WideSections {
    using Four = double __attribute__((vector_size(4 * sizeof(double))));
    using Two = Sections::Two;

    __attribute__((always_inline)) void from(const Sections& s) {
        const Sections::Pair &low = s.low_, &high = s.high_;
        b0 = __builtin_shufflevector(low.b0, high.b0, 0, 1, 2, 3);
        b1 = __builtin_shufflevector(low.b1, high.b1, 0, 1, 2, 3);
        b2 = __builtin_shufflevector(low.b2, high.b2, 0, 1, 2, 3);
        a1 = __builtin_shufflevector(low.a1, high.a1, 0, 1, 2, 3);
        a2 = __builtin_shufflevector(low.a2, high.a2, 0, 1, 2, 3);
        x1 = __builtin_shufflevector(low.x1, high.x1, 0, 1, 2, 3);
        x2 = __builtin_shufflevector(low.x2, high.x2, 0, 1, 2, 3);
        y1 = __builtin_shufflevector(low.y1, high.y1, 0, 1, 2, 3);
        y2 = __builtin_shufflevector(low.y2, high.y2, 0, 1, 2, 3);
        hiss = s.hiss_;
    }
    __attribute__((always_inline)) void to(Sections& s) const {
        Sections::Pair &low = s.low_, &high = s.high_;
        low.x1 = __builtin_shufflevector(x1, x1, 0, 1);
        high.x1 = __builtin_shufflevector(x1, x1, 2, 3);
        low.x2 = __builtin_shufflevector(x2, x2, 0, 1);
        high.x2 = __builtin_shufflevector(x2, x2, 2, 3);
        low.y1 = __builtin_shufflevector(y1, y1, 0, 1);
        high.y1 = __builtin_shufflevector(y1, y1, 2, 3);
        low.y2 = __builtin_shufflevector(y2, y2, 0, 1);
        high.y2 = __builtin_shufflevector(y2, y2, 2, 3);
        s.hiss_ = hiss;
    }
    __attribute__((always_inline)) void step(double x, double& voice, double& hissOut) {
        const Four in = {x, x, x, x};
        const Four vin = __builtin_shufflevector(in, y2, 0, 4, 5, 6);
        const Four y = b0 * vin + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = vin, y2 = y1, y1 = y;
        const Two two = {x, x};
        hissOut = hiss.step(__builtin_shufflevector(two, hiss.y2, 0, 2))[1];
        voice = y[3];
    }

    Four b0, b1, b2, a1, a2, x1, x2, y1, y2;
    Sections::Pair hiss;
};

// The squared outputs of both bands for one frame's samples. The last few come out of the
// sections only with the next samples: a copy of the sections is given silence for them, which
// reaches no output of the frame.
template <class Steps>
__attribute__((always_inline)) inline void Squares(Steps& sections, const std::int16_t* samples,
                                                   double* voiceSquares, double* hissSquares,
                                                   Steps& kept) {
    for (int i = 0; i < kFrame; ++i) {
        double v, h;
        sections.step(samples[i] / 32768.0, v, h);
        if (i >= Sections::kVoiceLag) voiceSquares[i - Sections::kVoiceLag] = v * v;
        if (i >= Sections::kHissLag) hissSquares[i - Sections::kHissLag] = h * h;
    }
    kept = sections;
    for (int i = 0; i < Sections::kVoiceLag; ++i) {
        double v, h;
        sections.step(0, v, h);
        voiceSquares[kFrame - Sections::kVoiceLag + i] = v * v;
        if (i < Sections::kHissLag) hissSquares[kFrame - Sections::kHissLag + i] = h * h;
    }
}

using SquaresFunction = void (*)(Sections&, const std::int16_t*, double*, double*);

void SquaresOfFrame(Sections& kept, const std::int16_t* samples, double* voiceSquares,
                    double* hissSquares) {
    Sections sections = kept;
    Squares(sections, samples, voiceSquares, hissSquares, kept);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void SquaresOfFrameWide(Sections& kept, const std::int16_t* samples,
                                                        double* voiceSquares, double* hissSquares) {
    WideSections sections, after;
    sections.from(kept);
    Squares(sections, samples, voiceSquares, hissSquares, after);
    after.to(kept);
}
#endif

SquaresFunction SquaresFor(SpeechDetector::Instructions instructions) {
#if defined(__x86_64__)
    if (instructions == SpeechDetector::Instructions::Widest && __builtin_cpu_supports("avx2"))
        return &SquaresOfFrameWide;
#endif
    (void)instructions;
    return &SquaresOfFrame;
}

float Decibels(double meanSquare) {
    return meanSquare > 1e-11 ? static_cast<float>(10 * std::log10(meanSquare)) : kFloorDb;
}

std::uint8_t FineByLog(double meanSquare) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(2 * (Decibels(meanSquare) - kFloorDb)), 0L, 255L));
}

// A millisecond's level in half dB above -110 dB without a logarithm: exactly FineByLog, from
// the least mean square of each step (found once by bisection, FineByLog never falls as the
// mean square grows) and a table by the double's exponent and first mantissa bits, so narrow
// (a 16th of an octave, under the step's 0.5 dB) that at most one step begins within each.
class FineTable {
public:
    FineTable() {
        least_[0] = 0;
        for (int k = 1; k < 256; ++k) {
            // FineByLog(high) = 255
            std::uint64_t low = 0, high = std::bit_cast<std::uint64_t>(1e10);
            while (low < high) {
                const std::uint64_t mid = low + (high - low) / 2;
                if (FineByLog(std::bit_cast<double>(mid)) >= k)
                    high = mid;
                else
                    low = mid + 1;
            }
            least_[k] = std::bit_cast<double>(low);
        }
        for (std::size_t b = 0; b < base_.size(); ++b)
            base_[b] = FineByLog(std::bit_cast<double>((kFirstBucket + b) << kShift));
    }
    std::uint8_t operator()(double meanSquare) const {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(meanSquare) >> kShift;
        if (bits < kFirstBucket) return 0;  // under 2^-40: silence
        if (bits - kFirstBucket >= base_.size()) return 255;
        const std::uint8_t base = base_[bits - kFirstBucket];
        return base < 255 && meanSquare >= least_[base + 1] ? base + 1 : base;
    }

private:
    static constexpr int kShift = 48;  // sign, exponent and 4 bits of mantissa remain
    static constexpr std::uint64_t kFirstBucket = std::bit_cast<std::uint64_t>(0x1p-40) >> kShift;
    static constexpr std::uint64_t kEndBucket = std::bit_cast<std::uint64_t>(0x1p+8) >> kShift;
    std::array<double, 256> least_{};
    std::array<std::uint8_t, kEndBucket - kFirstBucket> base_{};
};

const FineTable& Fine() {
    static const FineTable table;
    return table;
}

}  // namespace

struct SpeechDetector::Filters {
    struct FreeVad {
        void operator()(WebRtcVadInst* vad) const { WebRtcVad_Free(vad); }
    };
    std::unique_ptr<WebRtcVadInst, FreeVad> vad{WebRtcVad_Create()};
    Sections sections;
    SquaresFunction squares = &SquaresOfFrame;
    const FineTable& fine = Fine();
};

SpeechDetector::SpeechDetector(Instructions instructions) : filters_(std::make_unique<Filters>()) {
    filters_->squares = SquaresFor(instructions);
    WebRtcVadInst* vad = filters_->vad.get();
    if (!vad || WebRtcVad_Init(vad) != 0 || WebRtcVad_set_mode(vad, kVadMode) != 0)
        throw SpeechError("The voice detector cannot be set up");
    partial_.reserve(kFrame);
}

SpeechDetector::~SpeechDetector() = default;

double SpeechDetector::seconds() const {
    return static_cast<double>(measures_.voiced.size()) / 100;
}

void SpeechDetector::feed(std::span<const std::int16_t> samples) {
    std::size_t at = 0;
    if (!partial_.empty()) {
        const std::size_t take = std::min(samples.size(), kFrame - partial_.size());
        partial_.insert(partial_.end(), samples.begin(), samples.begin() + take);
        at = take;
        if (partial_.size() < kFrame) return;
        frame(partial_.data());
        partial_.clear();
    }
    for (; at + kFrame <= samples.size(); at += kFrame) frame(samples.data() + at);
    partial_.assign(samples.begin() + at, samples.end());
}

void SpeechDetector::frame(const std::int16_t* samples) {
    Filters& f = *filters_;
    measures_.voiced.push_back(WebRtcVad_Process(f.vad.get(), kRate, samples, kFrame) == 1 ? 1 : 0);

    const std::size_t at = measures_.voiceFine.size();
    measures_.voiceFine.resize(at + kFrame / kFine);
    measures_.hissFine.resize(at + kFrame / kFine);
    // The squared outputs of both bands for the frame's samples. The last few come out of
    // the sections only with the next samples: a copy of the sections is given silence for
    // them, which reaches no output of the frame.
    std::array<double, kFrame> voiceSquares, hissSquares;
    f.squares(f.sections, samples, voiceSquares.data(), hissSquares.data());
    double voiceFrame = 0, hissFrame = 0;
    for (int ms = 0; ms < kFrame / kFine; ++ms) {
        double voiceMs = 0, hissMs = 0;
        for (int i = ms * kFine; i < (ms + 1) * kFine; ++i) {
            voiceMs += voiceSquares[i];
            hissMs += hissSquares[i];
        }
        measures_.voiceFine[at + ms] = f.fine(voiceMs / kFine);
        measures_.hissFine[at + ms] = f.fine(hissMs / kFine);
        voiceFrame += voiceMs;
        hissFrame += hissMs;
    }
    measures_.voiceBand.push_back(Decibels(voiceFrame / kFrame));
    measures_.hissBand.push_back(Decibels(hissFrame / kFrame));
}

}  // namespace tirelle::speech
