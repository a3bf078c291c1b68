#pragma once
// The speech analysis for programs without the media module (tirelle-cli): FFmpeg and the
// decoder live in a module of their own (libtirelle_speechmodule.so), loaded by the command
// that needs it, so that the tool's other commands start without the media libraries.

#include <string>

#include "speech/analysis.h"

namespace tirelle::speech {

// Loads the module on first use (beside the program, else where it is installed, else where
// the build made it), kept for the rest of the run, and returns its AnalyseAudio; null, with
// `reason` saying why, when it cannot be loaded.
AnalyseFunction FindAnalysis(std::string& reason);

}  // namespace tirelle::speech
