// The playback keys and the row actions: the menu "播放" with its shortcuts, Space on the video,
// its bar and the waveform strip, and the list's context menu beside "删除". What each one does
// is timing::KeyActions'; this file only binds it.
//
// The shortcuts are the window's, so they work wherever the focus is in it. None of them is a
// key the list, its editor or a text box uses (those take F-keys and Alt combinations for
// nothing), nor Ctrl+Space, Ctrl+Shift or Shift, which the input method keeps; Ctrl+Alt with
// the arrows belongs to the desktop.

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <functional>
#include <vector>

#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "app/timing/capture.h"
#include "app/timing/keyactions.h"
#include "app/timing/preview.h"
#include "app/timing/timingview.h"
#include "app/waveform/wavestrip.h"
#include "playback/player.h"

namespace tirelle::app {

using tools::RowEdge;

namespace {

struct KeyItem {
    const char* name;
    const char* caption;  // UTF-8; "-" for a separator
    QKeySequence key;
    std::function<void(timing::KeyActions&)> run;
    bool seeks = false;  // the preview catches up at once, before the player reports the seek
};

constexpr QKeyCombination alt(Qt::Key key) {
    return Qt::ALT | key;
}
constexpr QKeyCombination ctrlAlt(Qt::Key key) {
    return Qt::CTRL | Qt::ALT | key;
}

std::vector<KeyItem> playItems() {
    using K = timing::KeyActions;
    const double nudge = K::kNudge;
    return {
        {"PlayPauseItem", "播放/暂停（视频、播放条、波形上也可按空格）", QKeySequence(Qt::Key_F5),
         [](K& k) { k.playPause(); }},
        {"BackSecondItem", "后退 1 秒", alt(Qt::Key_Left), [](K& k) { k.seekBy(-1); }, true},
        {"ForwardSecondItem", "前进 1 秒", alt(Qt::Key_Right), [](K& k) { k.seekBy(1); }, true},
        {"BackFiveItem", "后退 5 秒", alt(Qt::Key_PageUp), [](K& k) { k.seekBy(-5); }, true},
        {"ForwardFiveItem", "前进 5 秒", alt(Qt::Key_PageDown), [](K& k) { k.seekBy(5); }, true},
        {"BackFrameItem", "上一帧", alt(Qt::Key_Comma), [](K& k) { k.stepFrames(-1); }, true},
        {"ForwardFrameItem", "下一帧", alt(Qt::Key_Period), [](K& k) { k.stepFrames(1); }, true},
        {"PlaySep1", "-", {}, {}},
        {"PlayRowItem", "播放当前字幕", QKeySequence(Qt::Key_F6), [](K& k) { k.playCurrentRow(); }},
        {"StartHereItem", "开始时间设为播放位置", QKeySequence(Qt::Key_F9),
         [](K& k) { k.setEdgeFromPosition(RowEdge::Start); }},
        {"EndHereItem", "结束时间设为播放位置", QKeySequence(Qt::Key_F10),
         [](K& k) { k.setEdgeFromPosition(RowEdge::End); }},
        {"PlaySep2", "-", {}, {}},
        {"StartEarlierItem", "开始提前 100 毫秒", alt(Qt::Key_1),
         [nudge](K& k) { k.nudge(RowEdge::Start, -nudge); }},
        {"StartLaterItem", "开始推后 100 毫秒", alt(Qt::Key_2),
         [nudge](K& k) { k.nudge(RowEdge::Start, nudge); }},
        {"EndEarlierItem", "结束提前 100 毫秒", alt(Qt::Key_3),
         [nudge](K& k) { k.nudge(RowEdge::End, -nudge); }},
        {"EndLaterItem", "结束推后 100 毫秒", alt(Qt::Key_4),
         [nudge](K& k) { k.nudge(RowEdge::End, nudge); }},
        {"StartEarlierFrameItem", "开始提前一帧", ctrlAlt(Qt::Key_1),
         [](K& k) { k.nudgeFrames(RowEdge::Start, -1); }},
        {"StartLaterFrameItem", "开始推后一帧", ctrlAlt(Qt::Key_2),
         [](K& k) { k.nudgeFrames(RowEdge::Start, 1); }},
        {"EndEarlierFrameItem", "结束提前一帧", ctrlAlt(Qt::Key_3),
         [](K& k) { k.nudgeFrames(RowEdge::End, -1); }},
        {"EndLaterFrameItem", "结束推后一帧", ctrlAlt(Qt::Key_4),
         [](K& k) { k.nudgeFrames(RowEdge::End, 1); }},
    };
}

}  // namespace

void TSrtForm::buildKeys() {
    keys_ = std::make_unique<timing::KeyActions>(*WMP1, Sub, &UndoHistory, *timingView_, *capture_);
    keys_->tell = [this](const std::string& text) { ShowStatus(QString::fromUtf8(text), 5000); };

    // "播放" comes right after "编辑".
    auto* menu = new QMenu(QStringLiteral("播放"), this);
    menu->setObjectName(QStringLiteral("PlayMenu"));
    menu->menuAction()->setObjectName(QStringLiteral("PlayMenu"));
    MainMenu1->insertMenu(menuItem(QStringLiteral("N2")), menu);
    for (const KeyItem& item : playItems()) {
        QAction* action =
            addItem(menu, QString::fromLatin1(item.name), QString::fromUtf8(item.caption));
        if (!item.run) continue;
        action->setShortcut(item.key);
        on(action, &QAction::triggered, [this, run = item.run, seeks = item.seeks](bool) {
            run(*keys_);
            // The player reports a seek once it is made; the position box, the caption and the
            // list show the new place now (the report brings them up to date again).
            if (seeks && !WMP1->url().isEmpty()) preview_->resync();
        });
    }

    // Space plays and pauses where it types nothing: the video (a click gives it the focus),
    // its bar and the waveform strip.
    QWidget* video = WMP1->widget();
    video->setFocusPolicy(Qt::ClickFocus);
    WaveStrip1->setFocusPolicy(Qt::ClickFocus);
    for (QWidget* owner : {video, static_cast<QWidget*>(WaveStrip1)}) {
        auto* space = new QShortcut(QKeySequence(Qt::Key_Space), owner);
        space->setObjectName(QStringLiteral("SpaceShortcut"));
        space->setContext(Qt::WidgetWithChildrenShortcut);
        on(space, &QShortcut::activated, [this] { keys_->playPause(); });
    }

    // The list's context menu: beside "删除", each one undo step.
    addItem(PopupMenu1, QStringLiteral("InsertHereItem"), QStringLiteral("在此插入"));
    addItem(PopupMenu1, QStringLiteral("SplitHereItem"), QStringLiteral("在播放位置拆分"));
    addItem(PopupMenu1, QStringLiteral("MergeNextItem"), QStringLiteral("与下一条合并"));
    on(menuItem(QStringLiteral("InsertHereItem")), &QAction::triggered, [this](bool) {
        keys_->insertHere();
        DBGridEh1->setFocus();  // the new row is typed into as after the list's Insert
    });
    on(menuItem(QStringLiteral("SplitHereItem")), &QAction::triggered, [this](bool) {
        keys_->splitAtPosition();
        preview_->storeChanged();
    });
    on(menuItem(QStringLiteral("MergeNextItem")), &QAction::triggered, [this](bool) {
        keys_->mergeWithNext();
        preview_->storeChanged();
    });
}

}  // namespace tirelle::app
