#pragma once
// Decodes the audio of a media file into peaks (see peaks.h) with FFmpeg's libraries, without
// Qt. The best audio stream is mixed down to one channel; its time 0 is the start of the file,
// as a player counts it.
//
// Long files are cut into stretches that several threads decode at once, each opening the file
// for itself and seeking to its stretch (with a short run-in that is decoded and dropped, so
// that the decoder has settled before the first kept sample). Stretches are handed out in time
// order, so peaks arrive roughly from the start on. A file that cannot seek, or whose length is
// unknown, is decoded in one pass; so is the rest of one whose demuxer turns out unable to seek
// by time, from the first stretch where a seek fails.
//
// Calls into the sink never overlap (they are made under one lock) but come from the decoding
// threads. The call returns when every thread has finished.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "waveform/peaks.h"

namespace tirelle::waveform {

struct AudioInfo {
    double duration = 0;    // seconds; 0 when the file does not say
    std::size_t bins = 0;   // bins expected (0 when the length is unknown), at most kMaxBins
    int sampleRate = 0;     // of the decoded stream
    int channels = 0;       // before the mix-down
    std::string codec;      // the decoder's short name ("aac")
};

// The rate of the samples the speech detector gets (PeakSink::speech).
inline constexpr int kSpeechRate = 16000;

struct PeakSink {
    // Once, before any peaks, when the audio stream has been found and its decoder opened.
    std::function<void(const AudioInfo&)> started;
    // Peaks for bins first .. first + peaks.size() - 1. Every bin is reported at most once.
    std::function<void(std::size_t first, std::span<const Peak> peaks)> peaks;
    // When set: the same mono mix at kSpeechRate, 16-bit, from time 0 on, every sample once and
    // in time order however the file is shared among threads (a stretch that came out short
    // is filled with silence). Made from the decoding that makes the peaks; the calls never
    // overlap but come from the decoding threads, and may lag the peaks by a few stretches.
    std::function<void(std::span<const std::int16_t> samples)> speech;
};

struct DecodeOptions {
    int threads = 0;               // decoding threads; 0: the machine's cores, at most 4
    std::size_t chunkBins = 500;   // peaks are handed over at least every this many bins
    const std::atomic<bool>* cancel = nullptr;  // set: every thread stops as soon as it can
};

enum class DecodeStatus {
    Complete,    // every bin of the length the file tells was reported, but for a second at most
    Incomplete,  // decoded to the end, but more bins than that stayed unknown: not worth keeping
    Cancelled,
    NoAudio,
    Failed,
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Failed;
    std::string message;  // why, for NoAudio and Failed (English, from FFmpeg where it says)
    AudioInfo info;
    std::size_t binsReported = 0;
};

// Decodes the file at `path` (bytes as the file system takes them).
DecodeResult DecodePeaks(const std::string& path, const PeakSink& sink,
                         const DecodeOptions& options = {});
// DecodePeaks as the media module exports it (playback/mediamodule.h), looked up by this name:
// the program reaches the decoder only through the module.
inline constexpr const char* kDecodePeaksSymbol = "tirelle_decode_peaks";
using DecodePeaksFunction = DecodeResult (*)(const std::string& path, const PeakSink& sink,
                                             const DecodeOptions& options);
// The same from bytes in memory (kept alive by the caller until the call returns); for tests
// and fuzzing.
DecodeResult DecodePeaksFromMemory(std::span<const std::uint8_t> bytes, const PeakSink& sink,
                                   const DecodeOptions& options = {});

}  // namespace tirelle::waveform
