// The live preview and the timing capture: the handlers the window's controls and the player
// call, each handing over to the preview or the capture, and those two's view of the controls.

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>

#include "app/captionhtml.h"
#include "app/srtform.h"
#include "app/statusline.h"
#include "app/timing/capture.h"
#include "app/timing/keyactions.h"
#include "app/timing/preview.h"
#include "app/timing/timingview.h"
#include "app/ui/textcodec.h"
#include "app/widgets.h"
#include "playback/player.h"
#include "tools/reports.h"

namespace tirelle::app {

namespace {

// The preview's and the capture's view of the main window's controls.
class TimingControls : public timing::TimingView {
public:
    explicit TimingControls(TSrtForm& form) : form_(form) {}

    std::string text(timing::Box box) const override { return ui::fromQString(edit(box)->text()); }
    void setText(timing::Box box, const std::string& text) override {
        edit(box)->setText(ui::toQString(text));
    }
    void showCaption(const std::string& caption) override {
        const CaptionText shown = captionText(caption);
        form_.Label3->setTextFormat(shown.format);
        form_.Label3->setText(shown.text);
    }
    bool isDown(timing::Toggle toggle) const override { return button(toggle)->isDown(); }
    void setDown(timing::Toggle toggle, bool down) override { button(toggle)->setDown(down); }
    void setEnabled(timing::Toggle toggle, bool enabled) override {
        button(toggle)->setEnabled(enabled);
    }
    int leadPosition() const override { return form_.TrackBar1->value(); }
    void showLeadTime(const std::string& seconds) override {
        form_.Label4->setText(QString::fromLatin1(seconds));
    }
    std::string newText() const override { return ui::fromDisplay(form_.Memo1->toPlainText()); }
    void clearNewText() override { form_.Memo1->clear(); }
    void notice(const std::string& text) override {
        ui::dialogs().notice(&form_, QString::fromUtf8(text));
    }
    void setTicking(bool on) override { form_.Timer2->setEnabled(on); }

private:
    QLineEdit* edit(timing::Box box) const {
        switch (box) {
            case timing::Box::Start:
                return form_.Edit1;
            case timing::Box::End:
                return form_.Edit2;
            case timing::Box::Position:
                break;
        }
        return form_.Edit_TimePos;
    }
    ToggleButton* button(timing::Toggle toggle) const {
        return toggle == timing::Toggle::Capture ? form_.SpButtonE : form_.SpeedButton4;
    }

    TSrtForm& form_;
};

}  // namespace

void TSrtForm::makeTiming() {
    timingView_ = std::make_unique<TimingControls>(*this);
    preview_ = std::make_unique<timing::Preview>(
        timing::PreviewFields{NextStartTime, ActiveEndTime, PreviewLines}, *WMP1, Sub, DSFind,
        *timingView_);
    capture_ = std::make_unique<timing::Capture>(*WMP1, Sub, &UndoHistory, *timingView_);
}

const std::string& TSrtForm::previewCaption() const {
    return preview_->caption();
}

// --- the live preview

void TSrtForm::WMP1PlayStateChange(int NewState) {
    // The player reports values beyond the three as well; they change nothing.
    preview_->playStateChanged(static_cast<playback::PlayState>(NewState));
    if (keys_) keys_->playStateChanged(static_cast<playback::PlayState>(NewState));
    UseVideoFrameRate();
}

void TSrtForm::Timer2Timer() {
    preview_->tick(capture_.get());
}

void TSrtForm::RefreshPreview() {
    preview_->refresh();
}

void TSrtForm::WMP1PositionChange(double, double) {
    preview_->resync();
}

void TSrtForm::StoreChanged() {
    // After the change's own handler: a walk over the store or a step being recorded is never
    // interrupted, and several changes in one handler bring one update.
    if (storeChangePending_) return;
    storeChangePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            storeChangePending_ = false;
            if (!closed_) ui::guarded([this] { preview_->storeChanged(); });
        },
        Qt::QueuedConnection);
}

// --- timing capture and insertion

double TSrtForm::LeadTime() const {
    return capture_->leadTime();
}

void TSrtForm::SpButtonEClick() {
    capture_->captureClicked();
}

void TSrtForm::SpeedButton4Click() {
    capture_->rangeClicked();
}

void TSrtForm::TrackBar1Change() {
    capture_->leadChanged();
}

void TSrtForm::RangePreviewEndCheck() {
    capture_->rangeEndCheck();
}

void TSrtForm::CaptureStep() {
    capture_->captureStep();
}

void TSrtForm::StopCapture() {
    capture_->stop();
}

void TSrtForm::BitBtn3Click() {
    const int before = Sub.recordCount();
    capture_->insert();
    if (Sub.recordCount() > before)
        status_->report(tools::InsertedReport(
            ui::toQString(Sub.fieldByName("STime").asString()).toStdString(),
            ui::toQString(Sub.fieldByName("ETime").asString()).toStdString(), Sub.recordCount()));
}

void TSrtForm::DBGridEh1CellClick(int) {
    capture_->seekToCurrentRow();
}

}  // namespace tirelle::app
