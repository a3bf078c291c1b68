// The tools menu: every command ends capture mode and opens the tools window on its page.

#include <QAction>
#include <QMenu>

#include "playback/mediamodule.h"
#include "playback/player.h"
#include "app/waveform/peakloader.h"
#include "waveform/peakcache.h"

#include "app/srtform.h"
#include "app/toolform.h"

namespace tirelle::app {

void TSrtForm::createToolForm() {
    ToolContext context;
    context.steps = &files_;
    context.stopCapture = [this] { StopCapture(); };
    context.status = status_.get();
    context.history = &UndoHistory;
    context.videoPath = [this] { return WMP1->url(); };
    context.videoDuration = [this] { return Peaks ? Peaks->duration() : 0.0; };
    context.findAnalysis = [](std::string& reason) {
        return reinterpret_cast<speech::AnalyseFunction>(
            playback::FindInMediaModule(speech::kAnalyseSymbol, reason));
    };
    context.speechCache = waveform::DefaultCacheFolder();
    toolForm_ = new TToolForm(std::move(context), this);
    on(menuItem(QStringLiteral("N11")), &QAction::triggered, [this](bool) { N11Click(); });
    on(menuItem(QStringLiteral("N12")), &QAction::triggered, [this](bool) { N12Click(); });
    on(menuItem(QStringLiteral("N14")), &QAction::triggered, [this](bool) { N14Click(); });
    on(menuItem(QStringLiteral("N16")), &QAction::triggered, [this](bool) { N16Click(); });
    on(menuItem(QStringLiteral("N18")), &QAction::triggered, [this](bool) { N18Click(); });

    // 音频同步 right after the five tools, wherever other items come after them.
    QAction* after = menuItem(QStringLiteral("N18"));
    QMenu* tools = findChild<QMenu*>(QStringLiteral("N10"));
    const QList<QAction*> items = tools->actions();
    const qsizetype at = items.indexOf(after) + 1;
    auto* syncItem = new QAction(QStringLiteral("音频同步"), tools);
    syncItem->setObjectName(QStringLiteral("SyncItem"));
    tools->insertAction(at < items.size() ? items[at] : nullptr, syncItem);
    on(syncItem, &QAction::triggered, [this](bool) { SyncItemClick(); });
}

void TSrtForm::SyncItemClick() {
    toolForm_->showPage(TToolForm::kSyncPage);
}

void TSrtForm::N11Click() {
    toolForm_->showPage(0);
}

void TSrtForm::N12Click() {
    toolForm_->showPage(1);
}

void TSrtForm::N14Click() {
    toolForm_->showPage(2);
}

void TSrtForm::N16Click() {
    toolForm_->showPage(3);
}

void TSrtForm::N18Click() {
    toolForm_->showPage(4);
}

}  // namespace tirelle::app
