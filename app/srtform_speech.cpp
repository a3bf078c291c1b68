// The speech and the picture's cuts of the open video: what the status bar says of them and of
// the work that finds them, the snap commands of the tools menu, and the capture's options to
// land captured times on them.

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>

#include "app/srtform.h"
#include "app/timing/capture.h"
#include "app/ui/scaling.h"
#include "app/waveform/cutloader.h"
#include "app/waveform/peakloader.h"
#include "app/waveform/wavestrip.h"
#include "app/waveform/workprogress.h"
#include "shots/alignstep.h"
#include "speech/snapstep.h"
#include "waveform/peakcache.h"

namespace tirelle::app {

void TSrtForm::buildAnalysis() {
    Cuts = new CutLoader(waveform::DefaultCacheFolder(), 0, this);
    WaveStrip1->setSpeech(&Peaks->speechSpans());
    WaveStrip1->setCuts(&Cuts->cuts().times);

    SpeechLabel = new QLabel(this);
    SpeechLabel->setObjectName(QStringLiteral("SpeechLabel"));
    CutsLabel = new QLabel(this);
    CutsLabel->setObjectName(QStringLiteral("CutsLabel"));
    Work = new WorkProgress(this);
    statusBar()->addPermanentWidget(SpeechLabel);
    statusBar()->addPermanentWidget(CutsLabel);
    statusBar()->addPermanentWidget(Work);

    // In the capture strip's one free place, between the slider and the insert button: a
    // button that turns the snap of captured times on and off, its menu with both options.
    // Off, so capture writes the times as taken until asked.
    SpeechCaptureAction = new QAction(QStringLiteral("捕获时对齐语音"), this);
    SpeechCaptureAction->setObjectName(QStringLiteral("SpeechCaptureAction"));
    SpeechCaptureAction->setIconText(QStringLiteral("对齐"));
    SpeechCaptureAction->setCheckable(true);
    CutCaptureAction = new QAction(QStringLiteral("也对齐镜头"), this);
    CutCaptureAction->setObjectName(QStringLiteral("CutCaptureAction"));
    CutCaptureAction->setCheckable(true);
    CutCaptureAction->setEnabled(false);
    auto* options = new QMenu(this);
    options->addAction(SpeechCaptureAction);
    options->addAction(CutCaptureAction);
    CaptureSnapButton = new QToolButton(Panel7);
    CaptureSnapButton->setObjectName(QStringLiteral("CaptureSnapButton"));
    CaptureSnapButton->setDefaultAction(SpeechCaptureAction);
    CaptureSnapButton->setMenu(options);
    CaptureSnapButton->setPopupMode(QToolButton::MenuButtonPopup);
    CaptureSnapButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    CaptureSnapButton->setGeometry(ui::scaled(390, 46, 46, 24));

    on(Peaks, &PeakLoader::speechChanged, [this] { SpeechChange(); });
    on(Peaks, &PeakLoader::stateChanged, [this] { RefreshWork(); });
    on(Peaks, &PeakLoader::peaksArrived, [this] { RefreshWork(); });
    on(Cuts, &CutLoader::stateChanged, [this] { CutsStateChange(); });
    on(Cuts, &CutLoader::progressChanged, [this] { RefreshWork(); });
    on(Work, &WorkProgress::cancelRequested, [this] { WorkCancelClick(); });
    on(SpeechCaptureAction, &QAction::triggered, [this](bool) { CaptureOptionClick(); });
    on(CutCaptureAction, &QAction::triggered, [this](bool) { CaptureOptionClick(); });
    on(menuItem(QStringLiteral("SnapCurrentItem")), &QAction::triggered,
       [this](bool) { SnapCurrentItemClick(); });
    on(menuItem(QStringLiteral("SnapAllItem")), &QAction::triggered,
       [this](bool) { SnapAllItemClick(); });
    on(menuItem(QStringLiteral("AlignCutsItem")), &QAction::triggered,
       [this](bool) { AlignCutsItemClick(); });
}

// --- the status bar

void TSrtForm::SpeechChange() {
    const QString note = Peaks->speechMessage();
    switch (Peaks->speech()) {
        case PeakLoader::Speech::Idle:
            SpeechLabel->clear();
            break;
        case PeakLoader::Speech::Detecting:
            SpeechLabel->setText(QStringLiteral("正在检测语音…"));
            break;
        case PeakLoader::Speech::Found:
            SpeechLabel->setText(
                QStringLiteral("已找到语音 %1 段").arg(Peaks->speechSpans().size()) +
                (note.isEmpty() ? QString() : QStringLiteral("（%1）").arg(note)));
            break;
        case PeakLoader::Speech::NoSpeech:
            SpeechLabel->setText(QStringLiteral("没有找到语音"));
            break;
        case PeakLoader::Speech::Unavailable:
            SpeechLabel->setText(QStringLiteral("未能检测语音：%1").arg(note));
            break;
    }
    WaveStrip1->update();
    RefreshWork();
}

void TSrtForm::CutsStateChange() {
    switch (Cuts->state()) {
        case CutLoader::State::Idle:
        case CutLoader::State::Detecting:
            CutsLabel->clear();
            break;
        case CutLoader::State::Ready:
            CutsLabel->setText(
                QStringLiteral("已找到镜头切换 %1 处").arg(Cuts->cuts().times.size()));
            break;
        case CutLoader::State::Unavailable:
            CutsLabel->setText(QStringLiteral("未能查找镜头：%1").arg(Cuts->message()));
            break;
        case CutLoader::State::Cancelled:
            CutsLabel->setText(QStringLiteral("已取消查找镜头"));
            break;
    }
    // The strip holds on to the vector, which a finished detection replaced.
    WaveStrip1->setCuts(&Cuts->cuts().times);
    RefreshWork();
}

void TSrtForm::RefreshWork() {
    const bool audio = Peaks->state() == PeakLoader::State::Loading;
    const bool cuts = Cuts->state() == CutLoader::State::Detecting;
    if (audio && cuts)
        Work->show(QStringLiteral("正在读取音频、查找镜头"),
                   (Peaks->progress() + Cuts->progress()) / 2);
    else if (audio)
        Work->show(QStringLiteral("正在读取音频、检测语音"), Peaks->progress());
    else if (cuts)
        Work->show(QStringLiteral("正在查找镜头切换"), Cuts->progress());
    else
        Work->show({}, 0);
}

void TSrtForm::WorkCancelClick() {
    Peaks->cancel();
    Cuts->cancel();
}

// --- the tools menu

QString TSrtForm::speechMissing() const {
    switch (Peaks->speech()) {
        case PeakLoader::Speech::Found:
            return {};
        case PeakLoader::Speech::Idle:
            return QStringLiteral("没有打开视频，没有语音可对齐");
        case PeakLoader::Speech::Detecting:
            return QStringLiteral("语音还在检测中，没有对齐");
        case PeakLoader::Speech::NoSpeech:
            return QStringLiteral("此视频中没有找到语音，没有对齐");
        case PeakLoader::Speech::Unavailable:
            break;
    }
    return QStringLiteral("没有语音可对齐（%1）").arg(Peaks->speechMessage());
}

void TSrtForm::SnapCurrentItemClick() {
    SnapToSpeech(false);
}

void TSrtForm::SnapAllItemClick() {
    SnapToSpeech(true);
}

void TSrtForm::SnapToSpeech(bool all) {
    if (const QString missing = speechMissing(); !missing.isEmpty()) return ShowStatus(missing);
    if (!Sub.active() || Sub.isEmpty()) return ShowStatus(QStringLiteral("没有字幕可对齐"));
    StopCapture();
    Sub.moveBy(0);  // a pending edit is stored first, as its own step
    const std::int64_t current = Sub.bookmark().aid;
    const speech::SnapCounts counts =
        all ? speech::SnapAllToSpeech(Sub, UndoHistory, Peaks->speechSpans())
            : speech::SnapCurrentToSpeech(Sub, UndoHistory, Peaks->speechSpans());
    if (all) Sub.locate("aid", current);
    ShowStatus(QString::fromStdString(speech::SnapMessage(counts)));
}

void TSrtForm::AlignCutsItemClick() {
    switch (Cuts->state()) {
        case CutLoader::State::Ready:
            break;
        case CutLoader::State::Idle:
            return ShowStatus(QStringLiteral("没有打开视频，没有镜头可对齐"));
        case CutLoader::State::Detecting:
            return ShowStatus(QStringLiteral("镜头还在查找中，没有对齐"));
        case CutLoader::State::Unavailable:
            return ShowStatus(QStringLiteral("没有镜头可对齐（%1）").arg(Cuts->message()));
        case CutLoader::State::Cancelled:
            return ShowStatus(QStringLiteral("查找镜头已取消，没有镜头可对齐"));
    }
    if (Cuts->cuts().times.empty())
        return ShowStatus(QStringLiteral("此视频没有镜头切换，没有对齐"));
    if (!Sub.active() || Sub.isEmpty()) return ShowStatus(QStringLiteral("没有字幕可对齐"));
    StopCapture();
    Sub.moveBy(0);
    const std::int64_t current = Sub.bookmark().aid;
    const shots::Alignment alignment = shots::AlignStoreToCuts(Sub, Cuts->cuts(), &UndoHistory);
    Sub.locate("aid", current);
    ShowStatus(QString::fromStdString(shots::AlignmentStatus(alignment)));
}

// --- the capture's options

void TSrtForm::CaptureOptionClick() {
    CutCaptureAction->setEnabled(SpeechCaptureAction->isChecked());
    if (!SpeechCaptureAction->isChecked()) {
        capture().adjustTime = {};  // times exactly as taken
        return;
    }
    capture().adjustTime = [this](timing::Capture::Edge edge, double seconds) {
        double t = seconds;
        if (Peaks->speech() == PeakLoader::Speech::Found) {
            const auto kind =
                edge == timing::Capture::Edge::Start ? speech::Edge::Onset : speech::Edge::Offset;
            if (const auto at = speech::NearestEdge(Peaks->speechSpans(), t, kind,
                                                    speech::SnapOptions{}.window))
                t = *at;
        }
        if (CutCaptureAction->isChecked() && Cuts->state() == CutLoader::State::Ready)
            t = shots::SnapToCut(Cuts->cuts(), t);
        return t;
    };
}

}  // namespace tirelle::app
