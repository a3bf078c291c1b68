#pragma once
// The live preview: the playback position as a time code in the position box, the texts of the
// subtitles active at the position in the caption, and the list's cursor on the active subtitle
// that started last. A subtitle is active at P when its start is below P and its end above P,
// both strictly.
//
// The store is asked only when the position reaches the next start or the earliest end shown
// (the two bounds of the last refresh), after a seek, and after a change the window reports; a
// tick otherwise costs a few position reads and text comparisons.
//
// Everything runs on the GUI thread. The player may report events from inside a call made here
// (a pause, a seek); the rules are written for that order.

#include <memory>
#include <string>
#include <vector>

namespace tirelle::playback {
class Player;
enum PlayState : int;
}  // namespace tirelle::playback
namespace tirelle::store {
class Dataset;
class ScratchQuery;
}  // namespace tirelle::store

namespace tirelle::timing {

class Capture;
class TimingView;

// The state the preview works on, held by the main window as its fields NextStartTime,
// ActiveEndTime and PreviewLines.
struct PreviewFields {
    double& nextStart;  // seconds; the start after the current row's, 0: none
    double& activeEnd;  // seconds; the earliest end among the subtitles shown
    std::unique_ptr<std::vector<std::string>>& lines;  // the trimmed texts shown, one per subtitle
};

class Preview {
public:
    // The end bound while nothing is shown, so that only the next start brings a refresh.
    static constexpr double kNothingShown = 100000.0;

    // Nothing is owned; all outlive the preview. `find` is the scratch query the preview's
    // statements run in (DSFind); `sub` is the working dataset the list shows.
    Preview(PreviewFields fields, playback::Player& player, store::Dataset& sub,
            store::ScratchQuery& find, TimingView& view);

    // The state at the window's creation: an empty caption, both bounds 0, a new empty list of
    // lines. release() frees the list (the window's close).
    void reset();
    void release();

    // The caption as last shown: every line of the list followed by CR LF, "" for none.
    const std::string& caption() const { return caption_; }

    // The timer follows the play state: off when stopped (1) or paused (2), on when playing (3);
    // any other value changes nothing.
    void playStateChanged(playback::PlayState state);

    // The timer's tick: the timer is off while it runs (and stays off when a step fails); the
    // position box; the range end check and the capture step of `capture` when given; then a
    // refresh when the position has reached the next start or the earliest end shown.
    void tick(Capture* capture);

    // Shows the subtitles active at the position, moves the list's cursor to the one that
    // started last, and sets both bounds. Nothing on an empty store. Its cursor moves complete a
    // pending edit in the list.
    void refresh();

    // After a seek: the position box shows the new position; the cursor goes to the row with the latest start at or before the position
    // (it stays when none starts exactly there), then a refresh.
    void resync();

    // After a change of the store (an edit, a tool, an undo): the caption and both bounds as a
    // refresh gives them, with the list's cursor left where it is. Nothing while a row of the
    // list is being edited (its post is a change of its own). An emptied store empties the
    // caption. Not called by the preview itself.
    void storeChanged();

private:
    void showPosition();
    void showCaption(const std::string& caption);
    // The refresh's work; `followCursor` moves the list's cursor to the latest active row.
    void update(bool followCursor);
    void lookAhead();

    PreviewFields fields_;
    playback::Player& player_;
    store::Dataset& sub_;
    store::ScratchQuery& find_;
    TimingView& view_;
    std::string caption_;
};

}  // namespace tirelle::timing
