#pragma once
// Finds where someone speaks in a film's audio: the mono mix at 16 kHz (as the peak decoder
// hands it over, waveform/decoder.h) goes in piece by piece, the spans come out at the end.
//
// Two measures per 10 ms frame: the voice detector of WebRTC's audio processing (which frames
// sound like a voice) and the energy in two bands, the voice's (300 Hz to 3.4 kHz) and the
// hiss of consonants above it. Each band's background (noise, a music bed) is followed through
// the film as the quietest level of the seconds around, and the film's speech is judged by how
// far its voiced frames rise above that background, so no level is fixed in advance. Frames
// well above the background where the voice detector hears a voice make the spans; steady
// sounds that the voice detector takes for a voice (held chords, a music bed, a hum) do not
// rise and fall as syllables do (their level over 40 ms stays within a few dB) and are dropped. Each edge is then placed to the millisecond on the energy of
// the two bands, where it leaves the background.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/errors.h"
#include "speech/spans.h"

namespace tirelle::speech {

// The voice detector cannot be set up.
class SpeechError : public Error {
public:
    using Error::Error;
};

// What the detector measured, for each 10 ms frame and each millisecond; levels in dB of full
// scale. Kept for the whole film (about 8 MB an hour) until the spans are made.
struct SpeechMeasures {
    std::vector<std::uint8_t> voiced;     // per frame: 1 where the voice detector hears a voice
    std::vector<float> voiceBand;         // per frame: 300 Hz to 3.4 kHz
    std::vector<float> hissBand;          // per frame: above 3.4 kHz
    std::vector<std::uint8_t> voiceFine;  // per millisecond, in half dB above -110 dB
    std::vector<std::uint8_t> hissFine;
};

// The spans of speech in what was measured (a pure function: the detector's last step).
SpeechSpans FindSpans(const SpeechMeasures& measures);

class SpeechDetector {
public:
    static constexpr int kRate = 16000;

    // The processor's instructions the band filters use: the widest it has, or only those every
    // x86-64 has (the same measures, slower; for tests).
    enum class Instructions { Widest, Baseline };

    // Throws SpeechError when WebRTC's audio processing cannot be made.
    explicit SpeechDetector(Instructions instructions = Instructions::Widest);
    ~SpeechDetector();
    SpeechDetector(const SpeechDetector&) = delete;
    SpeechDetector& operator=(const SpeechDetector&) = delete;

    // The next samples of the stream (16 kHz, mono), in time order from time 0.
    void feed(std::span<const std::int16_t> samples);
    // Seconds fed so far.
    double seconds() const;
    // The measures of everything fed (a last partial frame is dropped).
    const SpeechMeasures& measures() const { return measures_; }
    // The spans of everything fed.
    SpeechSpans finish() const { return FindSpans(measures_); }

private:
    struct Filters;
    void frame(const std::int16_t* samples);

    std::unique_ptr<Filters> filters_;
    std::vector<std::int16_t> partial_;  // less than one frame waiting
    SpeechMeasures measures_;
};

}  // namespace tirelle::speech
