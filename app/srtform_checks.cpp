// The timing checks in the main window: the watcher that keeps the problems of every row up to
// date, the marks in the list, the count in the status bar, and the checks panel opened from
// the menu "检查" (the last of the menu bar).

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <algorithm>

#include "app/checkspanel.h"
#include "app/checkwatcher.h"
#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "app/ui/textcodec.h"
#include "playback/player.h"

namespace tirelle::app {

void TSrtForm::createChecks() {
    Checks = new CheckWatcher(Sub, ui::codePage(), this);
    DBGridEh1->setRowMarks(
        [this](const store::SubRecord& record) { return Checks->marksOf(record.aid); });

    CheckCount = new QLabel(statusBar());
    CheckCount->setObjectName(QStringLiteral("CheckCount"));
    statusBar()->addPermanentWidget(CheckCount);

    ChecksContext context;
    context.sub = &Sub;
    context.history = &UndoHistory;
    context.watcher = Checks;
    context.seek = [this](double seconds) {
        if (!WMP1->url().isEmpty()) WMP1->setCurrentPosition(seconds);
    };
    context.tell = [this](const QString& text) { ShowStatus(text); };
    ChecksPanel = new TChecksPanel(std::move(context), this);
    addDockWidget(Qt::BottomDockWidgetArea, ChecksPanel);
    ChecksPanel->hide();

    QMenu* menu = MainMenu1->addMenu(QStringLiteral("检查"));
    menu->setObjectName(QStringLiteral("CheckMenu"));
    menu->menuAction()->setObjectName(QStringLiteral("CheckMenu"));
    QAction* item = menu->addAction(QStringLiteral("检查面板"));
    item->setObjectName(QStringLiteral("ChecksItem"));
    on(item, &QAction::triggered, [this](bool) { ChecksItemClick(); });

    connect(Checks, &CheckWatcher::problemsChanged, this, [this] {
        if (closed_) return;
        ShowCheckCount();
        DBGridEh1->markRowsChanged();
    });
    ShowCheckCount();
}

void TSrtForm::ChecksItemClick() {
    UseVideoFrameRate();
    // The first time it floats beside the window, so the video, the strip and the list keep
    // their sizes; the user may dock it from there.
    if (!ChecksPanel->property("placed").toBool()) {
        ChecksPanel->setProperty("placed", true);
        ChecksPanel->setFloating(true);
        ChecksPanel->resize(520, std::max(300, height()));
        ChecksPanel->move(frameGeometry().topRight());
    }
    ChecksPanel->show();
    ChecksPanel->raise();
}

void TSrtForm::UseVideoFrameRate() {
    // The least gap counts frames of the open video; one that does not tell its rate, or no
    // video, counts at the default rate.
    if (!Checks || closed_) return;
    const double fps = WMP1 ? WMP1->frameRate() : 0;
    checks::CheckSettings settings = Checks->settings();
    if (settings.frameRate == fps || (fps <= 0 && settings.frameRate == checks::kDefaultFrameRate))
        return;
    settings.frameRate = fps > 0 ? fps : checks::kDefaultFrameRate;
    Checks->setSettings(settings);
}

void TSrtForm::ShowCheckCount() {
    const std::size_t count = Checks->checker().problemCount();
    CheckCount->setText(count ? QStringLiteral("%1 个时间问题").arg(count) : QString());
}

}  // namespace tirelle::app
