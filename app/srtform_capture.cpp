// Timing capture and insertion: the start and end boxes following playback, the lead-time
// slider, the range preview, inserting a subtitle and seeking from the list.
//
// Modes: idle (both toggles up), capture (">" down), range preview ("-->" down, ">" disabled).

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>

#include "app/srtform.h"
#include "app/ui/textcodec.h"
#include "app/widgets.h"
#include "base/text.h"
#include "base/timecode.h"
#include "playback/player.h"

namespace tirelle::app {

namespace {

// A time difference formed with a 64-bit significand and rounded to a double once; a result
// that is not >= 0 becomes 0.
double startBefore(double end, double lead) {
    const double start = static_cast<double>(static_cast<long double>(end) - lead);
    return start >= 0 ? start : 0.0;
}

QString timeCode(double seconds) {
    return QString::fromLatin1(SecondsToTimeCode(seconds));
}

}  // namespace

double TSrtForm::LeadTime() const {
    return static_cast<double>(static_cast<long double>(100 - TrackBar1->value()) / 10);
}

void TSrtForm::SpButtonEClick() {
    if (SpButtonE->isDown())
        WMP1->play();
    else
        WMP1->pause();
}

void TSrtForm::CaptureStep() {
    if (Edit2->text() != Edit_TimePos->text()) Edit2->setText(Edit_TimePos->text());
    const QString start = timeCode(startBefore(WMP1->currentPosition(), LeadTime()));
    if (Edit1->text() != start) Edit1->setText(start);
}

void TSrtForm::TrackBar1Change() {
    const double lead = LeadTime();
    Label4->setText(QString::fromLatin1(SecondsToNumberText(lead)));
    Edit1->setText(timeCode(startBefore(ui::boxSeconds(Edit2), lead)));
}

void TSrtForm::SpeedButton4Click() {
    if (SpeedButton4->isDown()) {
        WMP1->setCurrentPosition(ui::boxSeconds(Edit1));
        SpButtonE->setEnabled(false);
        WMP1->play();
    } else {
        WMP1->setCurrentPosition(ui::boxSeconds(Edit2));
        WMP1->pause();
        SpButtonE->setEnabled(true);
    }
}

void TSrtForm::RangePreviewEndCheck() {
    const double end = ui::boxSeconds(Edit2);
    if (WMP1->currentPosition() >= end) {
        WMP1->pause();
        SpeedButton4->setDown(false);  // no handler, so no seek
        SpButtonE->setEnabled(true);
    }
}

void TSrtForm::StopCapture() {
    if (!SpButtonE->isDown()) return;  // a running range preview is left alone
    Timer2->setEnabled(false);
    SpButtonE->setDown(false);
    WMP1->pause();
}

void TSrtForm::BitBtn3Click() {
    const std::string start = Trim(ui::fromQString(Edit1->text()));
    const std::string end = Trim(ui::fromQString(Edit2->text()));
    const std::string text = Trim(ui::fromDisplay(Memo1->toPlainText()));
    if (start.empty() || end.empty() || text.empty()) {
        ui::dialogs().notice(this, QStringLiteral("开始结束时间或文本不完整"));
        return;
    }
    Sub.insert();
    Sub.fieldByName("STime").setAsString(start);
    Sub.fieldByName("ETime").setAsString(end);
    Sub.fieldByName("SubText").setAsString(text);
    {
        store::UndoStep step(UndoHistory, "插入字幕");
        Sub.post();
        step.commit();
    }
    Sub.requery();
    Sub.locate("STime", start);
    Memo1->clear();
}

void TSrtForm::DBGridEh1CellClick(int) {
    if (Sub.isEmpty()) return;
    // Just after the start, since a subtitle counts as active only strictly after it.
    const long double start = Sub.fieldByName("SubSort").asFloat();
    WMP1->setCurrentPosition(static_cast<double>(start + 0.001L));
}

}  // namespace tirelle::app
