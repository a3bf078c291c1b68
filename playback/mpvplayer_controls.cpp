// The libmpv player's own controls: volume, mute and speed, full screen, and the context menu
// on the picture.

#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <string>

#include "playback/mpvcore.h"
#include "playback/mpvplayer.h"
#include "playback/mpvplayer_detail.h"
#include "playback/transportbar.h"

namespace tirelle::playback {

using namespace mpvdetail;

void MpvPlayer::setVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
    core_->setString("volume", std::to_string(volume_).c_str());
    if (view_) bar_->showAudio(volume_, muted_, speed_);
}

void MpvPlayer::setMuted(bool muted) {
    muted_ = muted;
    core_->setFlag("mute", muted);
    if (view_) bar_->showAudio(volume_, muted_, speed_);
}

void MpvPlayer::setSpeed(double speed) {
    if (!std::isfinite(speed)) return;
    const double clamped = std::clamp(speed, 0.5, 2.0);
    core_->setString("speed", numberText(clamped).c_str());
    speed_ = clamped;
    clock_.setRate(clamped, now());
    if (view_) bar_->showAudio(volume_, muted_, speed_);
}

void MpvPlayer::setFullScreen(bool on) {
    if (!view_ || on == fullScreen_) return;
    // The view stays where it is (moving it to a window of its own would cost the picture its
    // render context): everything else in its window is hidden and the window fills the screen.
    QWidget* window = view_->window();
    if (on) {
        hiddenForFullScreen_.clear();
        for (QWidget* inner = view_.data(); inner != window; inner = inner->parentWidget()) {
            for (QObject* child : inner->parentWidget()->children()) {
                auto* sibling = qobject_cast<QWidget*>(child);
                if (sibling && sibling != inner && !sibling->isWindow() && sibling->isVisible()) {
                    hiddenForFullScreen_.emplace_back(sibling);
                    sibling->hide();
                }
            }
        }
        stateBeforeFullScreen_ = window->windowState();
        window->setWindowState(stateBeforeFullScreen_ | Qt::WindowFullScreen);
    } else {
        window->setWindowState(stateBeforeFullScreen_ & ~Qt::WindowFullScreen);
        for (const QPointer<QWidget>& widget : hiddenForFullScreen_)
            if (widget) widget->show();
        hiddenForFullScreen_.clear();
    }
    fullScreen_ = on;
}

bool MpvPlayer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && fullScreen_ &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        setFullScreen(false);
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick && watched != view_.data() && facts_.started) {
        setFullScreen(!fullScreen_);
        return true;
    }
    return Player::eventFilter(watched, event);
}

QMenu* MpvPlayer::makeContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("playerMenu"));
    const bool loaded = facts_.started;
    auto item = [&](QMenu* into, const QString& caption, auto&& act) {
        QAction* action = into->addAction(caption);
        connect(action, &QAction::triggered, this, std::forward<decltype(act)>(act));
        return action;
    };
    item(menu, QStringLiteral("播放"), [this] { play(); })->setEnabled(loaded && reported_ != Playing);
    item(menu, QStringLiteral("暂停"), [this] { pause(); })->setEnabled(loaded && reported_ == Playing);
    item(menu, QStringLiteral("停止"), [this] { stop(); })->setEnabled(loaded);
    menu->addSeparator();

    QMenu* volume = menu->addMenu(QStringLiteral("音量"));
    QAction* mute = item(volume, QStringLiteral("静音"), [this](bool on) { setMuted(on); });
    mute->setCheckable(true);
    mute->setChecked(muted_);
    volume->addSeparator();
    auto* levels = new QActionGroup(volume);
    for (int level : {100, 75, 50, 25, 10}) {
        QAction* action = item(volume, QString::number(level), [this, level] { setVolume(level); });
        action->setCheckable(true);
        action->setChecked(level == volume_);
        levels->addAction(action);
    }

    QMenu* speed = menu->addMenu(QStringLiteral("速度"));
    auto* speeds = new QActionGroup(speed);
    for (double value : TransportBar::kSpeeds) {
        QAction* action = item(speed, TransportBar::speedText(value), [this, value] { setSpeed(value); });
        action->setCheckable(true);
        action->setChecked(value == speed_);
        speeds->addAction(action);
    }
    menu->addSeparator();
    QAction* full = item(menu, QStringLiteral("全屏"), [this](bool on) { setFullScreen(on); });
    full->setCheckable(true);
    full->setChecked(fullScreen_);
    return menu;
}

}  // namespace tirelle::playback
