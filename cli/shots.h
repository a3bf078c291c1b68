#pragma once
// tirelle-cli shots VIDEO: the times of the picture's cuts, one per line in seconds with three
// decimals. The detector is loaded from the detection module only for this command, so that the
// other commands start without FFmpeg's libraries; the cut list is kept in the cache beside
// the audio peaks, as the program keeps it.

#include <string>

namespace tirelle::cli {

// Prints the cuts of `video` to standard output and returns the exit status: 0 when the whole
// video was looked at (no output: no cuts), 1 with the reason on standard error when it could
// not be (no video, a still picture, a variable frame rate, damage, no detector).
int RunShots(const std::string& video);

}  // namespace tirelle::cli
