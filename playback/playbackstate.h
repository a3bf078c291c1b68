#pragma once
// The bookkeeping behind the player's two promises, kept apart from libmpv so that it can be
// checked without playing anything:
//  - which play state (1, 2, 3) the facts the core reports amount to;
//  - what a position reading gives: the last time reported by the core, moved on by the time
//    that has passed since while playing, and the target of a seek until playback moves on from
//    it.
// Times are seconds; "now" is a monotonic clock reading in seconds supplied by the caller.

#include <optional>

#include "playback/player.h"

namespace tirelle::playback {

// What the core has told us about the loaded media.
struct PlaybackFacts {
    bool loading = false;  // a file was handed over and has not started or failed yet
    bool started = false;  // the current file has been loaded and playback has begun
    bool idle = true;      // the core has nothing to play
    bool paused = false;   // the core's pause flag
    bool eof = false;      // the end of the file was reached (the last frame stays shown)
    bool stopped = false;  // stopped through the player's own stop: paused at 0
};

// The state to report, or nothing while a file is still being opened (the previous state
// stands until the new file plays or fails).
std::optional<PlayState> mapPlayState(const PlaybackFacts& facts);

class PositionClock {
public:
    // The furthest a reading runs ahead of the core's last report while playing.
    static constexpr double kMaxLead = 0.2;

    explicit PositionClock(bool extrapolate = true) : extrapolate_(extrapolate) {}

    // Nothing loaded: reads 0, no seek held.
    void reset();
    // The core reported position `seconds` at monotonic time `now`.
    void update(double seconds, double now);
    // The media length; readings never run past it (0: unknown).
    void setDuration(double seconds) { duration_ = seconds; }
    // Playback runs (state 3) or not, from monotonic time `now` on.
    void setRunning(bool running, double now);
    // Playback speed (1 = normal) from monotonic time `now` on: readings move on by that many
    // media seconds per second, and may run ahead of a report by kMaxLead times the speed.
    void setRate(double rate, double now);
    double rate() const { return rate_; }
    // A seek to `target` was issued: readings give `target` from now on.
    void hold(double target);
    // The core finished the seek and shows the frame at `landing` (unknown: NaN). Once
    // playback runs past that frame, readings follow the core again.
    void seekDone(double landing);

    bool held() const { return held_; }
    double read(double now) const;

private:
    bool extrapolate_;
    double position_ = 0;  // last reported time
    double at_ = 0;        // when it was reported, or when playback resumed since
    double duration_ = 0;
    bool running_ = false;
    double rate_ = 1;
    bool held_ = false;
    bool done_ = false;
    double target_ = 0;
    double landing_ = 0;
    bool landingKnown_ = false;
    mutable double lastRead_ = -1;  // keeps readings from stepping back while playing
};

}  // namespace tirelle::playback
