#include "app/timing/keyactions.h"

#include <cmath>

#include "app/timing/capture.h"
#include "app/timing/timingview.h"
#include "base/timecode.h"
#include "playback/player.h"
#include "store/dataset.h"

namespace tirelle::timing {

namespace {

std::string timeCode(double seconds) {
    return SecondsToTimeCode(seconds >= 0 ? seconds : 0.0);
}

// The frame shown at `seconds`: a position a hair before a frame's start (a time rounded to
// whole milliseconds) counts as that frame.
double frameIndex(double seconds, double period) {
    return std::floor(seconds / period + 1e-3);
}

}  // namespace

KeyActions::KeyActions(playback::Player& player, store::Dataset& sub, store::History* history,
                       TimingView& view, Capture& capture)
    : player_(player), sub_(sub), history_(history), view_(view), capture_(capture) {}

void KeyActions::playStateChanged(playback::PlayState state) {
    if (state == playback::Playing)
        playing_ = true;
    else if (state == playback::Paused || state == playback::Stopped)
        playing_ = false;
}

void KeyActions::say(const std::string& text) {
    if (tell) tell(text);
}

bool KeyActions::videoOpen() {
    if (!player_.url().isEmpty()) return true;
    say("没有打开视频");
    return false;
}

double KeyActions::framePeriod() {
    const double fps = player_.frameRate();
    if (fps > 0 && std::isfinite(fps)) return 1.0 / fps;
    say("不知道这个视频的帧率");
    return 0;
}

bool KeyActions::hasRow() const {
    return sub_.active() && !sub_.isEmpty();
}

void KeyActions::playPause() {
    if (!videoOpen()) return;
    if (playing_)
        player_.pause();
    else
        player_.play();
}

void KeyActions::seekBy(double seconds) {
    if (!videoOpen()) return;
    const double target = player_.currentPosition() + seconds;
    player_.setCurrentPosition(target > 0 ? target : 0.0);
}

void KeyActions::stepFrames(int frames) {
    if (!videoOpen()) return;
    const double period = framePeriod();
    if (period <= 0) return;
    if (playing_) player_.pause();
    const double frame = frameIndex(player_.currentPosition(), period) + frames;
    player_.setCurrentPosition(frame > 0 ? frame * period : 0.0);
}

void KeyActions::playCurrentRow() {
    if (!videoOpen() || !hasRow()) return;
    sub_.moveBy(0);  // a pending edit first, so the times played are the ones stored
    view_.setText(Box::Start, timeCode(sub_.fieldByName("SubSort").asFloat()));
    view_.setText(Box::End, timeCode(sub_.fieldByName("SubSortEnd").asFloat()));
    // As a click on "-->" would: down (">" goes up by the group rule), then its handler.
    view_.setDown(Toggle::Range, true);
    capture_.rangeClicked();
}

void KeyActions::setEdgeFromPosition(tools::RowEdge edge) {
    if (!videoOpen() || !hasRow()) return;
    tools::SetEdge(sub_, edge, player_.currentPosition());
}

void KeyActions::nudge(tools::RowEdge edge, double seconds) {
    tools::NudgeEdge(sub_, edge, seconds);
}

void KeyActions::nudgeFrames(tools::RowEdge edge, int frames) {
    if (!hasRow() || !videoOpen()) return;
    const double period = framePeriod();
    if (period <= 0) return;
    tools::NudgeEdge(sub_, edge, frames * period);
}

void KeyActions::insertHere() {
    if (!sub_.active() || !sub_.canModify()) return;
    sub_.insert();
}

void KeyActions::splitAtPosition() {
    if (!videoOpen() || !hasRow()) return;
    switch (tools::SplitCurrentRow(sub_, history_, player_.currentPosition())) {
        case tools::RowEditOutcome::OutsideRow:
            say("播放位置不在当前字幕之内，没有拆分");
            break;
        case tools::RowEditOutcome::Done:
            say("已在播放位置拆分字幕");
            break;
        default:
            break;
    }
}

void KeyActions::mergeWithNext() {
    if (!hasRow()) return;
    switch (tools::MergeWithNextRow(sub_, history_)) {
        case tools::RowEditOutcome::NoNextRow:
            say("当前字幕是最后一条，没有可合并的下一条");
            break;
        case tools::RowEditOutcome::Done:
            say("已与下一条字幕合并");
            break;
        default:
            break;
    }
}

}  // namespace tirelle::timing
