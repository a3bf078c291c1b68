#include "speech/analysis.h"

#include <exception>
#include <optional>

#include "speech/detector.h"

namespace tirelle::speech {

AudioAnalysis AnalyseAudio(const std::string& path, const waveform::PeakSink& sink,
                           const waveform::DecodeOptions& options) {
    AudioAnalysis analysis;
    try {
        SpeechDetector detector;
        waveform::PeakSink both = sink;
        both.speech = [&](std::span<const std::int16_t> samples) { detector.feed(samples); };
        analysis.decode = waveform::DecodePeaks(path, both, options);
        switch (analysis.decode.status) {
            case waveform::DecodeStatus::Complete:
            case waveform::DecodeStatus::Incomplete:
                analysis.spans = detector.finish();
                analysis.status = analysis.decode.status == waveform::DecodeStatus::Incomplete
                                      ? SpeechStatus::Partial
                                      : analysis.spans.empty() ? SpeechStatus::NoSpeech : SpeechStatus::Found;
                break;
            case waveform::DecodeStatus::Cancelled:
                analysis.status = SpeechStatus::Cancelled;
                break;
            case waveform::DecodeStatus::NoAudio:
                analysis.status = SpeechStatus::NoAudio;
                analysis.message = analysis.decode.message;
                break;
            case waveform::DecodeStatus::Failed:
                analysis.status = SpeechStatus::Failed;
                analysis.message = analysis.decode.message;
                break;
        }
    } catch (const std::exception& error) {
        analysis.status = SpeechStatus::Failed;
        analysis.message = error.what();
    }
    return analysis;
}

}  // namespace tirelle::speech
