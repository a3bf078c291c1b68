// The live preview: the position box, the caption of the subtitles active at the playback
// position and the list's cursor following them, driven by the 40 ms tick and by seeks.
//
// The store is asked only when the position reaches NextStartTime (the start of the row after
// the current one) or ActiveEndTime (the earliest end among the subtitles shown), and after a
// seek, so a tick normally costs a few position reads and text comparisons.

#include <QLabel>
#include <QLineEdit>

#include "app/srtform.h"
#include "app/ui/textcodec.h"
#include "app/widgets.h"
#include "base/text.h"
#include "base/timecode.h"
#include "playback/player.h"
#include "store/statements.h"

namespace tirelle::app {

namespace {

constexpr double kNothingShown = 100000.0;

}  // namespace

void TSrtForm::WMP1PlayStateChange(int NewState) {
    if (NewState == playback::Stopped || NewState == playback::Paused)
        Timer2->setEnabled(false);
    else if (NewState == playback::Playing)
        Timer2->setEnabled(true);
}

void TSrtForm::Timer2Timer() {
    Timer2->setEnabled(false);  // ticks never overlap; a failure leaves the timer off

    const double position = WMP1->currentPosition();
    const QString code = QString::fromLatin1(SecondsToTimeCode(position));
    if (Edit_TimePos->text() != code) Edit_TimePos->setText(code);

    if (SpeedButton4->isDown()) RangePreviewEndCheck();
    if (SpButtonE->isDown()) CaptureStep();

    if (WMP1->currentPosition() >= NextStartTime)
        RefreshPreview();
    else if (WMP1->currentPosition() >= ActiveEndTime)
        RefreshPreview();

    Timer2->setEnabled(true);
}

void TSrtForm::setPreviewCaption(const std::string& caption) {
    if (caption == previewCaption_) return;
    previewCaption_ = caption;
    Label3->setText(ui::toDisplay(caption));
}

void TSrtForm::RefreshPreview() {
    if (Sub.isEmpty()) return;

    const double position = WMP1->currentPosition();
    // The earliest start still to come, whatever row the cursor is on: the cursor may sit on a
    // row that has not started yet (playing from the start), or have been left elsewhere by a
    // walk over the store (a save), and the next subtitle must show all the same.
    DSFind.close();
    DSFind.setCommandText(store::EarliestStartSql(position));
    DSFind.open();
    const bool startAhead = !DSFind.field(0).isNull();
    const double earliestStart = DSFind.field(0).asFloat();

    DSFind.close();
    DSFind.setCommandText(store::ActiveSubtitlesSql(position));
    DSFind.open();

    if (DSFind.isEmpty()) {
        setPreviewCaption(std::string());
        ActiveEndTime = kNothingShown;
    } else {
        DSFind.first();
        // The list's current row becomes the active subtitle that started last.
        const std::int32_t latest = DSFind.fieldByName("aid").asInteger();
        if (Sub.fieldByName("aid").asInteger() != latest) Sub.locate("aid", std::int64_t{latest});

        PreviewLines->clear();
        ActiveEndTime = DSFind.fieldByName("SubSortEnd").asFloat();
        while (!DSFind.eof()) {
            const double end = DSFind.fieldByName("SubSortEnd").asFloat();
            if (end < ActiveEndTime) ActiveEndTime = end;
            PreviewLines->push_back(Trim(DSFind.fieldByName("SubText").asString()));
            DSFind.next();
        }
        std::string caption;
        for (const std::string& line : *PreviewLines) caption += line + "\r\n";
        setPreviewCaption(caption);
    }

    // Look-ahead: the start of the row after the current one (the current row's own start on
    // the last row, also when a walk left the end flag set), or the earliest start still to
    // come when that is sooner. The cursor moves are hidden from the list, which redraws once
    // afterwards; the cursor stays and the end flag is clear.
    {
        store::SuspendedUpdates hidden(Sub);
        Sub.moveBy(0);  // completes a pending edit before the current row is remembered
        const store::Bookmark here = Sub.bookmark();
        Sub.next();
        NextStartTime = Sub.fieldByName("SubSort").asFloat();
        Sub.gotoBookmark(here);
    }
    if (startAhead && earliestStart < NextStartTime) NextStartTime = earliestStart;
}

void TSrtForm::WMP1PositionChange(double, double) {
    if (Sub.isEmpty()) return;
    DSFind.close();
    DSFind.setCommandText(store::LatestStartSql(WMP1->currentPosition()));
    DSFind.open();
    const double latestStart = DSFind.field(0).asFloat();
    Sub.locate("SubSort", latestStart);
    RefreshPreview();
}

}  // namespace tirelle::app
