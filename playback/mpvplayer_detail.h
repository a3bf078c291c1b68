#pragma once
// What the files of the libmpv player (mpvplayer.h) share: the tags of the properties it
// observes, numbers written as the core reads them, and the delivery of the player's events.
// Internal to the player.

#include <exception>
#include <string>

#include "playback/mpvplayer.h"

namespace tirelle::playback {

namespace mpvdetail {

// Tags of the observed properties.
enum Observed : unsigned long long { kPause = 1, kEof, kIdle, kTimePos, kDuration, kContainerFps, kMeasuredFps };

// The shortest text that reads back as the same number.
std::string numberText(double value);

}  // namespace mpvdetail

template <typename Emit>
void MpvPlayer::deliver(Emit&& emitEvent) {
    if (drainDepth_ == 0) {
        emitEvent();
        return;
    }
    try {
        emitEvent();
    } catch (...) {
        if (!handlerFailure_) handlerFailure_ = std::current_exception();
    }
}

}  // namespace tirelle::playback
