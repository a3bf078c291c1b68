#include "app/timing/preview.h"

#include "app/timing/capture.h"
#include "app/timing/timingview.h"
#include "base/text.h"
#include "base/timecode.h"
#include "playback/player.h"
#include "store/dataset.h"
#include "store/scratchquery.h"
#include "store/statements.h"

namespace tirelle::timing {

Preview::Preview(PreviewFields fields, playback::Player& player, store::Dataset& sub,
                 store::ScratchQuery& find, TimingView& view)
    : fields_(fields), player_(player), sub_(sub), find_(find), view_(view) {}

void Preview::reset() {
    caption_.clear();
    view_.showCaption(caption_);
    fields_.lines = std::make_unique<std::vector<std::string>>();
    fields_.nextStart = 0;
    fields_.activeEnd = 0;
}

void Preview::release() {
    fields_.lines.reset();
}

void Preview::playStateChanged(playback::PlayState state) {
    if (state == playback::Stopped || state == playback::Paused)
        view_.setTicking(false);
    else if (state == playback::Playing)
        view_.setTicking(true);
}

void Preview::tick(Capture* capture) {
    view_.setTicking(false);  // ticks never overlap; a failure leaves the timer off
    showPosition();
    if (capture) capture->tickSteps();
    if (player_.currentPosition() >= fields_.nextStart)
        refresh();
    else if (player_.currentPosition() >= fields_.activeEnd)
        refresh();
    view_.setTicking(true);
}

void Preview::showPosition() {
    const std::string code = SecondsToTimeCode(player_.currentPosition());
    if (view_.text(Box::Position) != code) view_.setText(Box::Position, code);
}

void Preview::showCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    view_.showCaption(caption_);
}

void Preview::refresh() {
    if (sub_.isEmpty()) return;
    update(true);
}

void Preview::storeChanged() {
    if (sub_.state() == store::DatasetState::Edit || sub_.state() == store::DatasetState::Insert)
        return;
    if (sub_.isEmpty()) {
        showCaption(std::string());
        fields_.activeEnd = kNothingShown;
        fields_.nextStart = 0;
        return;
    }
    update(false);
}

void Preview::update(bool followCursor) {
    const double position = player_.currentPosition();
    // The earliest start still to come, whatever row the cursor is on: the cursor may sit on a
    // row that has not started yet (playing from the start), or have been left elsewhere by a
    // walk over the store (a save), and the next subtitle must show all the same.
    find_.close();
    find_.setCommandText(store::EarliestStartSql(position));
    find_.open();
    const bool startAhead = !find_.field(0).isNull();
    const double earliestStart = find_.field(0).asFloat();

    find_.close();
    find_.setCommandText(store::ActiveSubtitlesSql(position));
    find_.open();

    if (find_.isEmpty()) {
        showCaption(std::string());
        fields_.activeEnd = kNothingShown;
    } else {
        find_.first();
        if (followCursor) {
            // The list's current row becomes the active subtitle that started last.
            const std::int32_t latest = find_.fieldByName("aid").asInteger();
            if (sub_.fieldByName("aid").asInteger() != latest)
                sub_.locate("aid", std::int64_t{latest});
        }
        std::vector<std::string>& lines = *fields_.lines;
        lines.clear();
        fields_.activeEnd = find_.fieldByName("SubSortEnd").asFloat();
        while (!find_.eof()) {
            const double end = find_.fieldByName("SubSortEnd").asFloat();
            if (end < fields_.activeEnd) fields_.activeEnd = end;
            lines.push_back(Trim(find_.fieldByName("SubText").asString()));
            find_.next();
        }
        std::string caption;
        for (const std::string& line : lines) caption += line + "\r\n";
        showCaption(caption);
    }

    lookAhead();
    if (startAhead && earliestStart < fields_.nextStart) fields_.nextStart = earliestStart;
}

void Preview::lookAhead() {
    // The start of the row after the current one (the current row's own start on the last row,
    // also when a walk left the end flag set). The cursor moves are hidden from the list, which
    // redraws once afterwards; the cursor stays and the end flag is clear.
    store::SuspendedUpdates hidden(sub_);
    sub_.moveBy(0);  // completes a pending edit before the current row is remembered
    const store::Bookmark here = sub_.bookmark();
    sub_.next();
    fields_.nextStart = sub_.fieldByName("SubSort").asFloat();
    sub_.gotoBookmark(here);
}

void Preview::resync() {
    // The position box follows a seek at once, also while paused (the timer is off then).
    showPosition();
    if (sub_.isEmpty()) return;
    find_.close();
    find_.setCommandText(store::LatestStartSql(player_.currentPosition()));
    find_.open();
    const double latestStart = find_.field(0).asFloat();
    sub_.locate("SubSort", latestStart);
    refresh();
}

}  // namespace tirelle::timing
