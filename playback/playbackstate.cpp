#include "playback/playbackstate.h"

#include <algorithm>
#include <cmath>

namespace tirelle::playback {

std::optional<PlayState> mapPlayState(const PlaybackFacts& facts) {
    if (facts.loading) return std::nullopt;
    if (!facts.started || facts.idle || facts.stopped) return Stopped;
    // The core's "idle while seeking" flag is deliberately not used: a seek is no pause.
    if (facts.paused || facts.eof) return Paused;
    return Playing;
}

void PositionClock::reset() {
    position_ = 0;
    at_ = 0;
    duration_ = 0;
    running_ = false;
    held_ = false;
    done_ = false;
    lastRead_ = -1;
}

void PositionClock::update(double seconds, double now) {
    position_ = seconds;
    at_ = now;
    // Playback has moved on from the frame the seek landed on: the target has served.
    if (held_ && done_ && running_ && (!landingKnown_ || seconds > landing_)) held_ = false;
}

void PositionClock::setRunning(bool running, double now) {
    if (running && !running_) at_ = now;  // no time passed while paused counts
    if (!running) lastRead_ = -1;
    running_ = running;
}

void PositionClock::setRate(double rate, double now) {
    if (!(rate > 0) || rate == rate_) return;
    // The time run so far counts at the old speed.
    if (running_ && !held_) {
        position_ = read(now);
        at_ = now;
    }
    rate_ = rate;
}

void PositionClock::hold(double target) {
    held_ = true;
    done_ = false;
    target_ = target;
    lastRead_ = -1;
}

void PositionClock::seekDone(double landing) {
    if (!held_) return;
    done_ = true;
    landingKnown_ = !std::isnan(landing);
    landing_ = landingKnown_ ? landing : 0;
}

double PositionClock::read(double now) const {
    if (held_) return target_;
    if (!running_ || !extrapolate_) return position_;
    double value = position_ + std::clamp((now - at_) * rate_, 0.0, kMaxLead * rate_);
    if (duration_ > 0) value = std::min(value, duration_);
    // A report may come in a little below the last reading; keep the reading where it was
    // instead of stepping back (but never by more than the lead allows).
    if (lastRead_ > value && lastRead_ - value < kMaxLead * rate_) value = lastRead_;
    lastRead_ = value;
    return value;
}

}  // namespace tirelle::playback
