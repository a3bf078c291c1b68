#include "app/timing/capture.h"

#include "app/timing/timingview.h"
#include "base/text.h"
#include "base/timecode.h"
#include "playback/player.h"
#include "store/dataset.h"
#include "store/history.h"

namespace tirelle::timing {

namespace {

// A time difference formed with a 64-bit significand and rounded to a double once; a result
// that is not >= 0 becomes 0.
double startBefore(double end, double lead) {
    const double start = static_cast<double>(static_cast<long double>(end) - lead);
    return start >= 0 ? start : 0.0;
}

double notNegative(double seconds) {
    return seconds >= 0 ? seconds : 0.0;
}

}  // namespace

Capture::Capture(playback::Player& player, store::Dataset& sub, store::History* history,
                 TimingView& view)
    : player_(player), sub_(sub), history_(history), view_(view) {}

Capture::Mode Capture::mode() const {
    if (view_.isDown(Toggle::Range)) return Mode::RangePreview;
    if (view_.isDown(Toggle::Capture)) return Mode::Capturing;
    return Mode::Idle;
}

double Capture::leadTime() const {
    return static_cast<double>(static_cast<long double>(100 - view_.leadPosition()) / 10);
}

double Capture::captured(Edge edge, double seconds) const {
    return adjustTime ? notNegative(adjustTime(edge, seconds)) : seconds;
}

void Capture::captureClicked() {
    if (view_.isDown(Toggle::Capture))
        player_.play();
    else
        player_.pause();
}

void Capture::rangeClicked() {
    if (view_.isDown(Toggle::Range)) {
        player_.setCurrentPosition(TimeToSeconds(view_.text(Box::Start)));
        view_.setEnabled(Toggle::Capture, false);
        player_.play();
    } else {
        player_.setCurrentPosition(TimeToSeconds(view_.text(Box::End)));
        player_.pause();
        view_.setEnabled(Toggle::Capture, true);
    }
}

void Capture::leadChanged() {
    const double lead = leadTime();
    view_.showLeadTime(SecondsToNumberText(lead));
    const double end = TimeToSeconds(view_.text(Box::End));
    view_.setText(Box::Start, SecondsToTimeCode(startBefore(end, lead)));
}

void Capture::tickSteps() {
    if (view_.isDown(Toggle::Range)) rangeEndCheck();
    if (view_.isDown(Toggle::Capture)) captureStep();
}

void Capture::rangeEndCheck() {
    const double end = TimeToSeconds(view_.text(Box::End));
    if (player_.currentPosition() >= end) {
        player_.pause();
        view_.setDown(Toggle::Range, false);  // no handler, so no seek
        view_.setEnabled(Toggle::Capture, true);
    }
}

void Capture::captureStep() {
    std::string end;
    std::string start;
    if (!adjustTime) {
        end = view_.text(Box::Position);
        start = SecondsToTimeCode(startBefore(player_.currentPosition(), leadTime()));
    } else {
        // Both times from one reading, so the two adjustments see the same moment.
        const double position = player_.currentPosition();
        end = SecondsToTimeCode(captured(Edge::End, position));
        start = SecondsToTimeCode(captured(Edge::Start, startBefore(position, leadTime())));
    }
    if (view_.text(Box::End) != end) view_.setText(Box::End, end);
    if (view_.text(Box::Start) != start) view_.setText(Box::Start, start);
}

void Capture::stop() {
    if (!view_.isDown(Toggle::Capture)) return;  // a running range preview is left alone
    view_.setTicking(false);
    view_.setDown(Toggle::Capture, false);
    player_.pause();
}

void Capture::videoOpened() {
    // The group rule sends "-->" up, also without its handler.
    view_.setDown(Toggle::Capture, true);
}

void Capture::insert() {
    const std::string start = Trim(view_.text(Box::Start));
    const std::string end = Trim(view_.text(Box::End));
    const std::string text = Trim(view_.newText());
    if (start.empty() || end.empty() || text.empty()) {
        view_.notice("开始结束时间或文本不完整");
        return;
    }
    sub_.insert();
    sub_.fieldByName("STime").setAsString(start);
    sub_.fieldByName("ETime").setAsString(end);
    sub_.fieldByName("SubText").setAsString(text);
    if (history_) {
        store::UndoStep step(*history_, "插入字幕");
        sub_.post();
        step.commit();
    } else {
        sub_.post();
    }
    sub_.requery();
    sub_.locate("STime", start);
    view_.clearNewText();
}

void Capture::seekToCurrentRow() {
    if (sub_.isEmpty()) return;
    // Just after the start, since a subtitle counts as active only strictly after it.
    const long double start = sub_.fieldByName("SubSort").asFloat();
    player_.setCurrentPosition(static_cast<double>(start + 0.001L));
}

}  // namespace tirelle::timing
