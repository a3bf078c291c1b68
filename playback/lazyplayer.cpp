#include "playback/lazyplayer.h"

#include <QPalette>
#include <QVBoxLayout>
#include <QWidget>

namespace tirelle::playback {

LazyPlayer::LazyPlayer(Factory make, QWidget* parent)
    : Player(parent), make_(std::move(make)), pane_(new QWidget(parent)) {
    pane_->setObjectName(QStringLiteral("WMP1Pane"));
    QPalette palette = pane_->palette();
    palette.setColor(QPalette::Window, Qt::black);
    pane_->setPalette(palette);
    pane_->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(pane_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

LazyPlayer::~LazyPlayer() = default;

Player* LazyPlayer::ensure() {
    if (real_) return real_;
    Player* player = make_(pane_.data());
    player->setParent(this);
    connect(player, &Player::PlayStateChange, this, &Player::PlayStateChange);
    connect(player, &Player::PositionChange, this, &Player::PositionChange);
    real_ = player;
    if (pane_) {
        QWidget* view = real_->widget();
        pane_->layout()->addWidget(view);
        view->show();
        real_->showInBounds(pane_->rect());
    }
    return real_;
}

void LazyPlayer::setUrl(const QString& path) {
    ensure()->setUrl(path);
}

QString LazyPlayer::url() const {
    return real_ ? real_->url() : QString();
}

void LazyPlayer::play() {
    if (real_) real_->play();
}

void LazyPlayer::pause() {
    if (real_) real_->pause();
}

double LazyPlayer::currentPosition() const {
    return real_ ? real_->currentPosition() : 0.0;
}

void LazyPlayer::setCurrentPosition(double seconds) {
    if (real_) real_->setCurrentPosition(seconds);
}

double LazyPlayer::frameRate() const {
    return real_ ? real_->frameRate() : 0.0;
}

QWidget* LazyPlayer::widget() {
    return pane_.data();
}

void LazyPlayer::showInBounds(const QRect& bounds) {
    if (!pane_) return;
    pane_->setGeometry(bounds);
    // The real view fills the pane.
    if (real_) real_->showInBounds(pane_->rect());
}

}  // namespace tirelle::playback
