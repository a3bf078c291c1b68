// What the program asks of the libmpv player: opening a file, play, pause and stop, the
// position and the seeks, made one at a time.

#include <QByteArray>
#include <QFile>
#include <cmath>
#include <string>
#include <vector>

#include "playback/mpvcore.h"
#include "playback/mpvplayer.h"
#include "playback/mpvplayer_detail.h"
#include "playback/mpvview.h"

namespace tirelle::playback {

using namespace mpvdetail;

void MpvPlayer::setUrl(const QString& path) {
    url_ = path;
    seekAfterLoad_.reset();
    showError(QString());
    if (path.isEmpty()) {
        loadQueued_ = false;
        core_->command({"stop"});
        return;
    }
    if (!options_.headless && !(picture_ && picture_->hasRenderContext())) {
        // The core cannot open a file for the picture before the render context exists.
        loadQueued_ = true;
        return;
    }
    loadNow();
}

void MpvPlayer::loadNow() {
    loadQueued_ = false;
    const QByteArray file = QFile::encodeName(url_);
    // Automatic start: a file always begins playing unless a pause is asked for meanwhile.
    core_->setFlag("pause", false);
    facts_.paused = false;
    facts_.stopped = false;
    core_->command({"loadfile", file.constData(), "replace"});
    loadRequested_ = true;
    // The old file is gone for the program from here on: position 0, no seeks into it.
    facts_.loading = true;
    facts_.started = false;
    dropSeeks();
    clock_.reset();
    duration_ = 0;
    refreshBar();
}

void MpvPlayer::play() {
    if (!facts_.started && !facts_.loading) return;  // nothing to play
    if (facts_.started && facts_.eof && !seekedSinceEnd_) {
        // Played to the end: play starts again from the beginning. A seek asked for since (a
        // range replay: seek, then play) is where playback goes on instead, also while the
        // core still reports the end because that seek has not been made yet.
        setCurrentPosition(0);
    }
    facts_.eof = false;  // the seek moves away from the end
    core_->setFlag("pause", false);
    facts_.paused = false;
    facts_.stopped = false;
    updateState();
}

void MpvPlayer::pause() {
    if (!facts_.started && !facts_.loading) return;
    core_->setFlag("pause", true);
    facts_.paused = true;
    facts_.stopped = false;
    updateState();
}

void MpvPlayer::pauseAtEnd() {
    try {
        core_->setFlag("pause", true);
    } catch (const PlayerError&) {
        return;  // the state stays "paused" through the end flag all the same
    }
    facts_.paused = true;
}

void MpvPlayer::stop() {
    if (!facts_.started) return;
    core_->setFlag("pause", true);
    facts_.paused = true;
    facts_.stopped = true;
    setCurrentPosition(0);
    updateState();
}

double MpvPlayer::currentPosition() const {
    return clock_.read(now());
}

void MpvPlayer::setCurrentPosition(double seconds) {
    // A negative absolute seek would count from the end of the file.
    const double target = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
    if (facts_.loading && !facts_.started) {
        seekAfterLoad_ = target;
        return;
    }
    if (!facts_.started) return;  // nothing loaded
    issueSeek(target);
}

double MpvPlayer::frameRate() const {
    if (containerFps_ > 0) return containerFps_;
    return measuredFps_ > 0 ? measuredFps_ : 0.0;
}

void MpvPlayer::issueSeek(double target) {
    seekedSinceEnd_ = true;
    const PendingSeek seek{currentPosition(), target};
    // One seek at a time: the core merges seeks that follow each other closely into one
    // restart, and then the restarts could not be told apart. Later ones wait their turn.
    if (inFlight_)
        waiting_.push_back(seek);
    else
        startSeek(seek);
    clock_.hold(target);
    refreshBar();
}

void MpvPlayer::startSeek(const PendingSeek& seek) {
    const std::string text = numberText(seek.to);
    core_->command({"seek", text.c_str(), "absolute+exact"});
    inFlight_ = seek;
}

void MpvPlayer::finishSeek() {
    if (!inFlight_) return;
    std::vector<PendingSeek> done{*inFlight_};
    inFlight_.reset();
    if (!waiting_.empty()) {
        // Only the latest waiting seek is made; those before it are passed over and done.
        const PendingSeek next = waiting_.back();
        waiting_.pop_back();
        done.insert(done.end(), waiting_.begin(), waiting_.end());
        waiting_.clear();
        try {
            startSeek(next);
        } catch (const PlayerError&) {
            done.push_back(next);  // reported all the same: the position reads its target
        }
    }
    // The last seek is done; the frame it landed on tells when playback has moved on.
    if (!inFlight_) clock_.seekDone(core_->doubleProperty("time-pos"));
    for (const PendingSeek& seek : done) deliver([&] { emit PositionChange(seek.from, seek.to); });
}

void MpvPlayer::dropSeeks() {
    inFlight_.reset();
    waiting_.clear();
}

}  // namespace tirelle::playback
