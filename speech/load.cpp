#include "speech/load.h"

#include <algorithm>
#include <vector>

#include "speech/cache.h"
#include "waveform/peakcache.h"

namespace tirelle::speech {

LoadedSpeech LoadSpeech(const std::string& path, const std::filesystem::path& cacheFolder,
                        AnalyseFunction analyse, const std::string& missing,
                        const waveform::PeakSink& sink, const waveform::DecodeOptions& options) {
    LoadedSpeech loaded;
    const SpeechCache cache(cacheFolder);
    const auto key = waveform::KeyForFile(path);
    if (key && !cacheFolder.empty()) {
        if (auto spans = cache.load(*key)) {
            loaded.status = spans->empty() ? SpeechStatus::NoSpeech : SpeechStatus::Found;
            loaded.spans = std::move(*spans);
            loaded.fromCache = true;
            return loaded;
        }
    }
    if (!analyse) {
        loaded.message = missing;
        return loaded;
    }
    // The peaks of this decoding go to the peak cache too, so that the waveform needs none.
    std::vector<waveform::Peak> peaks;
    waveform::PeakSink both = sink;
    both.started = [&](const waveform::AudioInfo& info) {
        peaks.assign(info.bins, waveform::Peak{});
        if (sink.started) sink.started(info);
    };
    both.peaks = [&](std::size_t first, std::span<const waveform::Peak> got) {
        if (peaks.size() < first + got.size()) peaks.resize(first + got.size());
        std::copy(got.begin(), got.end(), peaks.begin() + static_cast<std::ptrdiff_t>(first));
        if (sink.peaks) sink.peaks(first, got);
    };
    AudioAnalysis analysis = analyse(path, both, options);
    loaded.status = analysis.status;
    loaded.message = std::move(analysis.message);
    loaded.spans = std::move(analysis.spans);
    if (key && (loaded.status == SpeechStatus::Found || loaded.status == SpeechStatus::NoSpeech)) {
        cache.store(*key, loaded.spans);
        waveform::PeakCache(cacheFolder).store(*key, peaks);
    }
    return loaded;
}

}  // namespace tirelle::speech
