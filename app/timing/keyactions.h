#pragma once
// What the playback keys and the row actions do, apart from the window that binds them: play
// and pause, seeks by seconds and by frames, the current row played as the range replay plays
// it, its start or end set from the playback position or nudged, and the row split at the
// position or merged with the next one. The window routes its shortcuts and menu items here
// and shows what `tell` says in its status bar.
//
// Everything runs on the GUI thread. Without a video open, the playback keys do nothing but
// say "没有打开视频"; the row keys do nothing without a current row. Each change of the store
// is one undo step.

#include <functional>
#include <string>

#include "tools/rowedits.h"

namespace tirelle::playback {
class Player;
enum PlayState : int;
}  // namespace tirelle::playback
namespace tirelle::store {
class Dataset;
class History;
}  // namespace tirelle::store

namespace tirelle::timing {

class Capture;
class TimingView;

class KeyActions {
public:
    // The nudge of a time, in seconds.
    static constexpr double kNudge = 0.1;

    // Nothing is owned; all outlive the actions. `history` may be null (a split or a merge is
    // then not one step of its own).
    KeyActions(playback::Player& player, store::Dataset& sub, store::History* history,
               TimingView& view, Capture& capture);

    // Short feedback for the status bar (UTF-8); empty: nothing is said.
    std::function<void(const std::string&)> tell;

    // The player's reports, to know whether it plays.
    void playStateChanged(playback::PlayState state);
    bool playing() const { return playing_; }

    // Pause while playing, play otherwise.
    void playPause();
    // The position moved by `seconds` (negative: back), not below 0; also while paused.
    void seekBy(double seconds);
    // Paused first, then `frames` frames on (negative: back) from the frame shown, at the
    // video's frame rate: to the start of that frame.
    void stepFrames(int frames);
    // The current row from its start to its end, as the range replay plays the two boxes: the
    // boxes take the row's times and "-->" goes down.
    void playCurrentRow();

    // The current row's start or end set to the playback position (a post, one undo step).
    void setEdgeFromPosition(tools::RowEdge edge);
    // The current row's start or end moved by `seconds`, or by `frames` frames of the video.
    void nudge(tools::RowEdge edge, double seconds);
    void nudgeFrames(tools::RowEdge edge, int frames);

    // The row actions of the list's context menu.
    void insertHere();  // a new row before the current one, as the list's Insert makes it
    void splitAtPosition();
    void mergeWithNext();

private:
    bool videoOpen();      // says so when not
    double framePeriod();  // seconds of one frame; 0, said, when the rate is not known
    bool hasRow() const;
    void say(const std::string& text);

    playback::Player& player_;
    store::Dataset& sub_;
    store::History* history_;
    TimingView& view_;
    Capture& capture_;
    bool playing_ = false;
};

}  // namespace tirelle::timing
