#pragma once
// tirelle-cli shots VIDEO: the times of the picture's cuts, one per line in seconds with three
// decimals. The detector is loaded from the detection module only for this command, so that the
// other commands start without FFmpeg's libraries; the cut list is kept in the cache beside
// the audio peaks, as the program keeps it.

#include <optional>
#include <string>

#include "shots/cuts.h"

namespace tirelle::cli {

// The cuts of `video`, from the cache, else found by the detector and kept there; nothing, with
// the reason, when the detector cannot be loaded or the video cannot be judged (no video, a
// still picture, a variable frame rate, damage). Aligning a store to them is one call:
// shots::AlignStoreToCuts(sub, *cuts) (shots/alignstep.h).
std::optional<shots::ShotCuts> VideoCuts(const std::string& video, std::string& reason);

// Prints the cuts of `video` to standard output and returns the exit status: 0 when the whole
// video was looked at (no output: no cuts), 1 with the reason on standard error when it could
// not be (no video, a still picture, a variable frame rate, damage, no detector).
int RunShots(const std::string& video);

}  // namespace tirelle::cli
