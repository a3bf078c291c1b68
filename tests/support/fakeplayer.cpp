#include "tests/support/fakeplayer.h"

#include <QMetaObject>

namespace tirelle::testing {

FakePlayer::FakePlayer(QObject* parent) : Player(parent) {
    setObjectName(QStringLiteral("WMP1"));
}

FakePlayer::~FakePlayer() {
    delete widget_.data();
}

QString FakePlayer::secondsText(double seconds) {
    QString text = QString::number(seconds, 'f', 6);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

void FakePlayer::record(const QString& operation, const QString& entry) const {
    calls.append(entry);
    const auto failure = failures_.constFind(operation);
    if (failure != failures_.constEnd()) throw playback::PlayerError(failure->toStdString());
}

template <typename Fire>
void FakePlayer::fire(Fire&& fireEvent) {
    if (delivery_ == Delivery::Synchronous)
        fireEvent();
    else
        QMetaObject::invokeMethod(this, std::forward<Fire>(fireEvent), Qt::QueuedConnection);
}

void FakePlayer::changeState(int state) {
    if (state == state_) return;
    state_ = state;
    fire([this, state] { emit PlayStateChange(static_cast<playback::PlayState>(state)); });
}

void FakePlayer::moveTo(double seconds) {
    const double from = position_;
    const double to = seconds > 0 ? seconds : 0;
    position_ = to;
    seeks.push_back(to);
    fire([this, from, to] { emit PositionChange(from, to); });
}

void FakePlayer::setUrl(const QString& path) {
    record(QStringLiteral("url"), QStringLiteral("url ") + path);
    url_ = path;
    position_ = 0;
    // Every opened file reports that it plays, also when the one it replaced played.
    state_ = playback::Playing;
    fire([this] { emit PlayStateChange(playback::Playing); });
}

void FakePlayer::play() {
    record(QStringLiteral("play"), QStringLiteral("play"));
    changeState(playback::Playing);
}

void FakePlayer::pause() {
    record(QStringLiteral("pause"), QStringLiteral("pause"));
    changeState(playback::Paused);
}

double FakePlayer::currentPosition() const {
    ++positionReads;
    if (recordReads || failures_.contains(QStringLiteral("position")))
        record(QStringLiteral("position"), QStringLiteral("position"));
    return position_;
}

void FakePlayer::setCurrentPosition(double seconds) {
    record(QStringLiteral("seek"),
           QStringLiteral("seek ") + secondsText(seconds > 0 ? seconds : 0));
    moveTo(seconds);
}

QWidget* FakePlayer::widget() {
    if (!widget_) {
        widget_ = new QWidget;
        widget_->setObjectName(QStringLiteral("WMP1View"));
    }
    return widget_.data();
}

void FakePlayer::showInBounds(const QRect& bounds) {
    record(QStringLiteral("bounds"), QStringLiteral("bounds %1,%2 %3x%4")
                                         .arg(bounds.x())
                                         .arg(bounds.y())
                                         .arg(bounds.width())
                                         .arg(bounds.height()));
    bounds_ = bounds;
    if (widget_) widget_->setGeometry(bounds);
}

void FakePlayer::reportState(int state) {
    state_ = state;
    fire([this, state] { emit PlayStateChange(static_cast<playback::PlayState>(state)); });
}

void FakePlayer::userSeek(double seconds) {
    moveTo(seconds);
}

void FakePlayer::failOn(const QString& operation, const QString& message) {
    failures_.insert(operation, message);
}

}  // namespace tirelle::testing
