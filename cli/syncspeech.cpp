#include "cli/syncspeech.h"

#include "base/errors.h"
#include "speech/load.h"
#include "speech/module.h"
#include "speech/snapstep.h"
#include "store/history.h"
#include "waveform/peakcache.h"

namespace tirelle::cli {

FilmSpeech ReadFilmSpeech(const std::filesystem::path& video) {
    const std::string path = video.string();
    const std::filesystem::path folder = waveform::DefaultCacheFolder();
    speech::LoadedSpeech loaded = speech::LoadSpeech(path, folder, nullptr, "", {});
    if (loaded.status != speech::SpeechStatus::Found &&
        loaded.status != speech::SpeechStatus::NoSpeech) {
        std::string missing;
        const speech::AnalyseFunction analyse = speech::FindAnalysis(missing);
        loaded = speech::LoadSpeech(path, folder, analyse,
                                    "The speech analysis cannot be loaded: " + missing);
    }
    switch (loaded.status) {
        case speech::SpeechStatus::Found:
        case speech::SpeechStatus::NoSpeech:
            return {std::move(loaded.spans), 0, loaded.fromCache};
        case speech::SpeechStatus::NoAudio:
            throw Error(path + ": The video has no audio");
        case speech::SpeechStatus::Partial:
            throw Error(path + ": The audio could not be read to its end");
        case speech::SpeechStatus::Failed:
        case speech::SpeechStatus::Cancelled:
            break;
    }
    throw Error(path + ": The audio cannot be read: " + loaded.message);
}

SpeechServices BuiltInSpeech() {
    SpeechServices services;
    services.speechOf = ReadFilmSpeech;
    services.snapAll = [](store::Dataset& sub, const speech::SpeechSpans& spans) {
        store::History none;  // the sync's own step holds the snap
        const speech::SnapCounts counts = speech::SnapAllToSpeech(sub, none, spans);
        return counts.changed > 0;
    };
    return services;
}

}  // namespace tirelle::cli
