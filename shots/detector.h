#pragma once
// Finds the cuts of a video file with FFmpeg's libraries, without Qt. The best video stream is
// decoded without its loop filter and without the frames nothing refers to (they are only
// decoded again where a cut may lie among them), each frame scaled to a small grey picture
// (picture.h) and handed to the cut finder (finder.h). Times count from the start of the file,
// as a player counts them.
//
// Long files are cut into stretches that several threads decode at once, each opening the file
// for itself, seeking a little before its stretch and going on a little after it, so that the
// finder judges the cuts at either end with the frames around them. A file that cannot seek,
// or whose length is unknown, is decoded in one pass with the decoder's own threads.
//
// Memory stays bounded whatever the film's length: every thread holds its decoder's frames and
// about two seconds of small pictures. The call returns when every thread has finished; run it
// on a worker thread.

#include <string>

#include "shots/detection.h"

namespace tirelle::shots {

DetectResult DetectCuts(const std::string& path, const DetectOptions& options = {});

}  // namespace tirelle::shots
