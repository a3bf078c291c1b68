#include "speech/detector.h"

#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tirelle::speech {

namespace {

constexpr int kFrame = SpeechDetector::kRate / 100;  // 10 ms
constexpr int kFine = SpeechDetector::kRate / 1000;  // 1 ms
constexpr float kFloorDb = -110;                     // silence, digital or not

// A second-order section (the audio cookbook's high- and low-pass), run in doubles so that a
// film of hours does not drift.
class Biquad {
public:
    static Biquad highPass(double hz) { return make(hz, true); }
    static Biquad lowPass(double hz) { return make(hz, false); }
    double operator()(double x) {
        const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_, x1_ = x, y2_ = y1_, y1_ = y;
        return y;
    }

private:
    static Biquad make(double hz, bool high) {
        const double w = 2 * std::numbers::pi * hz / SpeechDetector::kRate;
        const double alpha = std::sin(w) / std::numbers::sqrt2;  // Q = 1/sqrt(2): sin(w) / (2Q)
        const double c = std::cos(w);
        const double a0 = 1 + alpha;
        Biquad f;
        f.b1_ = (high ? -(1 + c) : (1 - c)) / a0;
        f.b0_ = f.b2_ = (high ? (1 + c) : (1 - c)) / 2 / a0;
        f.a1_ = -2 * c / a0;
        f.a2_ = (1 - alpha) / a0;
        return f;
    }
    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

float Decibels(double meanSquare) {
    return meanSquare > 1e-11 ? static_cast<float>(10 * std::log10(meanSquare)) : kFloorDb;
}

std::uint8_t Fine(double meanSquare) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(2 * (Decibels(meanSquare) - kFloorDb)), 0L, 255L));
}

}  // namespace

struct SpeechDetector::Filters {
    std::unique_ptr<webrtc::AudioProcessing> processing;
    webrtc::AudioFrame frame;
    // Voice band: 300 Hz to 3.4 kHz, two sections each side; hiss: above 3.4 kHz.
    std::array<Biquad, 4> voice = {Biquad::highPass(300), Biquad::highPass(300),
                                   Biquad::lowPass(3400), Biquad::lowPass(3400)};
    std::array<Biquad, 2> hiss = {Biquad::highPass(3400), Biquad::highPass(3400)};
};

SpeechDetector::SpeechDetector() : filters_(std::make_unique<Filters>()) {
    filters_->processing.reset(webrtc::AudioProcessing::Create());
    webrtc::VoiceDetection* vad = filters_->processing ? filters_->processing->voice_detection() : nullptr;
    if (!vad || vad->Enable(true) != 0 ||
        vad->set_likelihood(webrtc::VoiceDetection::kLowLikelihood) != 0 ||
        vad->set_frame_size_ms(10) != 0)
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
    f.frame.UpdateFrame(0, 0, samples, kFrame, kRate, webrtc::AudioFrame::kNormalSpeech,
                        webrtc::AudioFrame::kVadUnknown, 1);
    bool voiced = false;
    if (f.processing->ProcessStream(&f.frame) == 0) voiced = f.processing->voice_detection()->stream_has_voice();
    measures_.voiced.push_back(voiced ? 1 : 0);

    double voiceFrame = 0, hissFrame = 0;
    for (int ms = 0; ms < kFrame / kFine; ++ms) {
        double voice = 0, hiss = 0;
        for (int i = 0; i < kFine; ++i) {
            const double x = samples[ms * kFine + i] / 32768.0;
            double v = x;
            for (Biquad& section : f.voice) v = section(v);
            double h = x;
            for (Biquad& section : f.hiss) h = section(h);
            voice += v * v;
            hiss += h * h;
        }
        measures_.voiceFine.push_back(Fine(voice / kFine));
        measures_.hissFine.push_back(Fine(hiss / kFine));
        voiceFrame += voice;
        hissFrame += hiss;
    }
    measures_.voiceBand.push_back(Decibels(voiceFrame / kFrame));
    measures_.hissBand.push_back(Decibels(hissFrame / kFrame));
}

}  // namespace tirelle::speech
