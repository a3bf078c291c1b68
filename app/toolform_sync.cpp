// The sync page: the subtitles laid over the film's speech or a reference file's subtitles
// with the offset, frame-rate ratio and jumps found for them, as one undo step. The page reads
// its boxes and the rows, the worker (SyncJob) finds the speech and the alignment, and the
// result is applied here, on the GUI thread.

#include <QCheckBox>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/statusline.h"
#include "app/syncjob.h"
#include "app/toolform.h"
#include "app/ui/guard.h"
#include "app/ui/textcodec.h"
#include "speech/snapstep.h"
#include "store/dataset.h"
#include "store/history.h"
#include "sync/storesync.h"
#include "tools/filesteps.h"

namespace tirelle::app {

void TToolForm::connectSync() {
    syncJob_ = new SyncJob(this);
    connect(BitBtn7, &QPushButton::clicked, this, [this] { ui::guarded([this] { BitBtn7Click(); }); });
    connect(BitBtn8, &QPushButton::clicked, this, [this] { ui::guarded([this] { BitBtn8Click(); }); });
    const auto modeChanged = [this] {
        Edit9->setEnabled(SyncReferenceButton->isChecked());
        BitBtn8->setEnabled(SyncReferenceButton->isChecked());
    };
    connect(SyncReferenceButton, &QRadioButton::toggled, this, modeChanged);
    modeChanged();
}

bool TToolForm::syncRunning() const {
    return syncJob_->running();
}

void TToolForm::hideEvent(QHideEvent* event) {
    // Closing the window gives the work up, as a cancel does.
    if (syncJob_->running()) {
        syncJob_->cancel();
        showSyncRunning(false);
    }
    QDialog::hideEvent(event);
}

void TToolForm::BitBtn8Click() {
    if (ui::dialogs().runFileDialog(this, OpenDialog3)) Edit9->setText(OpenDialog3.fileName);
}

void TToolForm::showSyncRunning(bool running) {
    BitBtn7->setText(running ? QStringLiteral("取消") : QStringLiteral("开始处理"));
    Label11->setText(running ? QStringLiteral("正在分析…") : QString());
    for (QWidget* control :
         std::initializer_list<QWidget*>{SyncSpeechButton, SyncReferenceButton, SnapCheck})
        control->setEnabled(!running);
    Edit9->setEnabled(!running && SyncReferenceButton->isChecked());
    BitBtn8->setEnabled(!running && SyncReferenceButton->isChecked());
}

void TToolForm::BitBtn7Click() {
    if (syncJob_->running()) {
        syncJob_->cancel();
        showSyncRunning(false);
        return;
    }
    store::Dataset& rows = sub();
    if (rows.state() == store::DatasetState::Edit || rows.state() == store::DatasetState::Insert)
        rows.post();

    SyncInput input;
    input.wantSpeech = SyncSpeechButton->isChecked() || SnapCheck->isChecked();
    if (input.wantSpeech) {
        const QString video = context_.videoPath ? context_.videoPath() : QString();
        if (video.isEmpty()) {
            ui::dialogs().notice(this, QStringLiteral("请先打开带音轨的视频文件：同步到语音需要影片的声音"));
            return;
        }
        input.video = ui::localPath(video).string();
        input.cacheFolder = context_.speechCache;
        if (context_.findAnalysis) input.analyse = context_.findAnalysis(input.missing);
        if (context_.videoDuration) input.options.filmDuration = context_.videoDuration();
    }
    if (SyncReferenceButton->isChecked()) {
        if (Edit9->text().isEmpty()) {
            ui::dialogs().notice(this, QStringLiteral("请先选择参考字幕文件"));
            return;
        }
        const srt::LineList lines = context_.steps->read({ui::localPath(Edit9->text()), std::nullopt});
        input.reference = sync::ReferenceIntervals(lines);
        input.options.target = sync::Target::Reference;
        input.options.filmDuration = 0;  // the reference's own end bounds it
    }
    // A reference file of no blocks, or an empty store, is told before any decoding.
    input.subtitles = sync::StoreIntervals(rows);
    const auto refuse = [](sync::SyncError::Kind kind) {
        ui::reportMessage(QString::fromUtf8(sync::SyncMessage(kind)));  // UTF-8 on every code page
    };
    if (input.subtitles.empty()) return refuse(sync::SyncError::Kind::NoSubtitles);
    if (input.reference && input.reference->empty())
        return refuse(sync::SyncError::Kind::NoReferenceBlocks);

    const bool snap = SnapCheck->isChecked();
    showSyncRunning(true);
    std::vector<sync::Interval> before = input.subtitles;
    syncJob_->start(std::move(input), [this, snap, before = std::move(before)](SyncResult result) {
        ui::guarded([&] {
            showSyncRunning(false);
            if (!result.ok) {
                ui::reportMessage(result.message);
                return;
            }
            // Another page may have changed the rows meanwhile: the fit was for the old ones.
            if (sync::StoreIntervals(sub()) != before) {
                ui::dialogs().notice(this, QStringLiteral("字幕在分析期间有改动，请重新开始处理"));
                return;
            }
            std::function<bool(store::Dataset&)> afterMapping;
            if (snap)
                afterMapping = [spans = std::move(result.spans)](store::Dataset& dataset) {
                    store::History none;  // the sync's own step holds the snap
                    return speech::SnapAllToSpeech(dataset, none, spans).changed > 0;
                };
            const sync::SyncOutcome outcome =
                sync::ApplyAlignment(sub(), context_.history, result.alignment, afterMapping);
            const QString summary = QString::fromUtf8(outcome.summary.c_str());
            if (!outcome.changed) {
                if (context_.status) context_.status->show(summary + QStringLiteral("：字幕已经同步"));
                return;
            }
            if (context_.status) context_.status->show(summary);
            finish();
        });
    });
}

}  // namespace tirelle::app
