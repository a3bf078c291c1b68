#pragma once
// Timing capture and insertion: the start and end boxes following playback, the lead-time
// slider, the range preview, inserting a subtitle from the two boxes and the text box, and
// seeking from the list.
//
// Modes, read from the two toggles: idle (both up), capture (">" down: the end box follows the
// position and the start box trails it by the lead time), range preview ("-->" down, ">" up and
// disabled: the range between the two boxes plays and stops at its end).
//
// Everything runs on the GUI thread. A failed player call ends the step that made it; what the
// step did before stays done.

#include <functional>

namespace tirelle::playback {
class Player;
}
namespace tirelle::store {
class Dataset;
class History;
}  // namespace tirelle::store

namespace tirelle::timing {

class TimingView;

class Capture {
public:
    enum class Mode { Idle, Capturing, RangePreview };
    enum class Edge { Start, End };
    // Turns a time taken from playback (seconds) into the time written into its box: a snap to
    // the nearest speech or shot cut, say. Its result is clamped at 0.
    using TimeAdjustment = std::function<double(Edge edge, double seconds)>;

    // Nothing is owned; all outlive the capture. `history` may be null: an insert is then not an
    // undo step of its own.
    Capture(playback::Player& player, store::Dataset& sub, store::History* history,
            TimingView& view);

    // Off (empty) unless set: the capture step writes the times as taken.
    TimeAdjustment adjustTime;

    Mode mode() const;
    // (100 - slider position) / 10 seconds: 3 at 70, 10 at 0, 0 at 100.
    double leadTime() const;
    // `seconds` taken from playback for `edge`, through adjustTime when it is set.
    double captured(Edge edge, double seconds) const;

    // The capture toggle after a click flipped it: play when now down, pause when now up.
    void captureClicked();
    // The range toggle after a click flipped it: when now down, seek to the start box, disable
    // ">" and play; when now up, seek to the end box, pause and enable ">".
    void rangeClicked();
    // Every change of the slider: the lead time into its label, and the start box set to the
    // end box less the lead time (0 at the least), written even when it is the same.
    void leadChanged();

    // The tick's two steps: the range end check while "-->" is down, then the capture step
    // while ">" is down.
    void tickSteps();
    // At or past the end box's time: pause, "-->" up without its handler, ">" enabled.
    void rangeEndCheck();
    // The end box takes the position box's text, the start box a fresh position less the lead
    // time (0 at the least); each is written only when it changes.
    void captureStep();

    // Ends capture mode before a command on the whole store: when ">" is down, the timer off,
    // ">" up (no handler) and a pause. A range preview is left alone.
    void stop();
    // After a video was opened: ">" down without its handler (the player starts by itself).
    void videoOpened();

    // Inserts a subtitle with the two boxes' times and the text box's text, all trimmed, as
    // typed: none of them may be empty ("开始结束时间或文本不完整" otherwise, and nothing is
    // inserted). The row is posted as one undo step, the dataset re-queried, the cursor put on
    // the first row with that start text and the text box emptied.
    void insert();
    // A click on a list cell: the player goes just after the current row's start (a subtitle is
    // active only strictly after it). Nothing on an empty list.
    void seekToCurrentRow();

private:
    playback::Player& player_;
    store::Dataset& sub_;
    store::History* history_;
    TimingView& view_;
};

}  // namespace tirelle::timing
