// The entry point of the detection module (libtirelle_shotmodule.so): the detector, for
// programs that do not load the media module (see detection.h).

extern "C" {
#include <libavutil/log.h>
}

#include <type_traits>

#include "shots/detector.h"

extern "C" __attribute__((visibility("default"))) tirelle::shots::DetectResult tirelle_detect_cuts(
    const std::string& path, const tirelle::shots::DetectOptions& options) {
    // The program says why a file cannot be looked at; the decoder's own complaints about
    // every damaged frame would bury that.
    av_log_set_level(AV_LOG_FATAL);
    return tirelle::shots::DetectCuts(path, options);
}

static_assert(std::is_same_v<decltype(&tirelle_detect_cuts), tirelle::shots::DetectCutsFunction>);
