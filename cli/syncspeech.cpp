#include "cli/syncspeech.h"

#include "base/errors.h"

namespace tirelle::cli {

namespace {

// The speech detector is a library of its own that this build does not link yet: both
// services say so, and the reference mode needs neither.
[[noreturn]] void NoDetector() {
    throw Error(
        "reading the speech of a video needs the speech detector, which this build of "
        "tirelle-cli does not have; sync to a reference file with --reference OTHER.srt");
}

}  // namespace

SpeechServices BuiltInSpeech() {
    SpeechServices services;
    services.speechOf = [](const std::filesystem::path&) -> FilmSpeech { NoDetector(); };
    services.snapAll = [](store::Dataset&, const speech::SpeechSpans&) -> bool { NoDetector(); };
    return services;
}

}  // namespace tirelle::cli
