// The edit menu: undo and redo of the steps the store's history keeps.

#include <QAction>
#include <QKeySequence>

#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "playback/player.h"
#include "tools/reports.h"
#include "app/statusline.h"

namespace tirelle::app {

void TSrtForm::connectHistory() {
    QAction* undo = menuItem(QStringLiteral("UndoItem"));
    QAction* redo = menuItem(QStringLiteral("RedoItem"));
    // The window's shortcuts; a text box with the focus (the list's editor included) takes
    // them for its own text first.
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y),
                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    on(undo, &QAction::triggered, [this](bool) { UndoItemClick(); });
    on(redo, &QAction::triggered, [this](bool) { RedoItemClick(); });
    UndoHistory.changed = [this] {
        refreshEditMenu();
        // Every change of the store is a step: the caption follows it, and the status bar says
        // what it was until the command that made it says more.
        status_->report(tools::ChangeReport(UndoHistory.undoLabel()));
        StoreChanged();
    };
    refreshEditMenu();
}

void TSrtForm::refreshEditMenu() {
    const auto caption = [](const char* verb, const std::string& label) {
        QString text = QString::fromUtf8(verb);
        if (!label.empty()) text += QLatin1Char(' ') + QString::fromUtf8(label);
        return text;
    };
    QAction* undo = menuItem(QStringLiteral("UndoItem"));
    QAction* redo = menuItem(QStringLiteral("RedoItem"));
    undo->setText(caption("撤销", UndoHistory.undoLabel()));
    undo->setEnabled(UndoHistory.canUndo());
    redo->setText(caption("重做", UndoHistory.redoLabel()));
    redo->setEnabled(UndoHistory.canRedo());
}

void TSrtForm::UndoItemClick() {
    takeStep(true);
}

void TSrtForm::RedoItemClick() {
    takeStep(false);
}

void TSrtForm::takeStep(bool undoing) {
    if (!Sub.active()) return;
    // A pending edit is completed first (what is typed in the list's editor included): stored,
    // it is the newest step, the one an undo takes back.
    Sub.moveBy(0);
    if (undoing ? !UndoHistory.canUndo() : !UndoHistory.canRedo()) {
        status_->report(tools::StepReport(undoing, {}));
        return;
    }
    const std::optional<std::int64_t> current =
        Sub.isEmpty() ? std::nullopt : std::optional<std::int64_t>(Sub.bookmark().aid);
    const int place = Sub.currentRow();

    store::StepResult result;
    try {
        result = undoing ? UndoHistory.undo() : UndoHistory.redo();
    } catch (const store::HistoryConflict& refused) {
        ui::dialogs().notice(this, QString::fromUtf8(refused.what()));
        return;
    }
    status_->report(tools::StepReport(undoing, result.label));
    Sub.requery();
    // The preview catches up as after a seek; then the cursor goes to the row the step changed,
    // or stays on the row it was on, where that row still exists, or at its place in the list.
    const double position = WMP1->currentPosition();
    WMP1PositionChange(position, position);
    if (result.aid && Sub.locate("aid", *result.aid)) return;
    if (current && Sub.locate("aid", *current)) return;
    if (!Sub.isEmpty() && place >= 0) Sub.moveBy(place - Sub.currentRow());
}

}  // namespace tirelle::app
