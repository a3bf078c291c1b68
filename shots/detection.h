#pragma once
// What finding the cuts of a video file gives and takes: the types of the detector
// (detector.h), which reads files with FFmpeg, without anything of FFmpeg, so that the program
// can hold and cache a result while it reaches the detector only through the media module.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "shots/cuts.h"

namespace tirelle::shots {

struct VideoInfo {
    double duration = 0;   // seconds; 0 when the file does not say
    double frameRate = 0;  // frames per second the stream says it has; 0 when it does not
    int width = 0;         // of the decoded picture
    int height = 0;
    std::string codec;  // the decoder's short name ("h264")
};

enum class DetectStatus : std::uint8_t {
    Complete,  // the whole video was looked at: the cuts are all there are
    Cancelled,
    NoVideo,            // no video stream (an audio file), or only a cover picture
    StillPicture,       // one picture only (an image file)
    VariableFrameRate,  // the frame durations change, so "n frames" means nothing here
    Damaged,            // frames that could not be decoded: cuts found around them are unsure
    Failed,             // the file cannot be read as media at all
};

struct DetectResult {
    DetectStatus status = DetectStatus::Failed;
    // Why, for every status but Complete and Cancelled (English, from FFmpeg where it says).
    std::string message;
    VideoInfo info;
    // The cuts, for Complete only; otherwise empty. frameRate is the stream's most common
    // frame duration inverted, or the frame rate it says it has.
    ShotCuts cuts;
    // Frames decoded and compared (most of those nothing refers to are left out).
    std::size_t framesLookedAt = 0;
};

struct DetectOptions {
    int threads = 0;  // decoding threads; 0: the machine's cores, at most 4
    const std::atomic<bool>* cancel = nullptr;  // set: every thread stops as soon as it can
    // Called from the decoding threads (never two at once) as the work goes on: the share of
    // the file's length looked at, 0 to 1. Not called when the file does not tell its length.
    std::function<void(double share)> progress;
};

// Finds the cuts of the video stream of the file at `path` (bytes as the file system takes
// them): detector.h, exported by the media module and by the detection module under this name.
inline constexpr const char* kDetectCutsSymbol = "tirelle_detect_cuts";
using DetectCutsFunction = DetectResult (*)(const std::string& path, const DetectOptions& options);

// The status in a word or two, for messages ("complete", "no video", ...).
const char* StatusName(DetectStatus status);

}  // namespace tirelle::shots
