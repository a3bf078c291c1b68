#include "playback/transportbar.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalBlocker>
#include <QHBoxLayout>
#include <QLabel>
#include <QProxyStyle>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <cmath>

namespace tirelle::playback {

namespace {

// A click on the groove jumps there instead of paging towards it, as media players do.
class JumpingSliderStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == QStyle::SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

QToolButton* makeButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon,
                        const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

TransportBar::TransportBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("transportBar"));
    play_ = makeButton(this, "playButton", QStyle::SP_MediaPlay, QStringLiteral("播放"));
    pause_ = makeButton(this, "pauseButton", QStyle::SP_MediaPause, QStringLiteral("暂停"));
    stop_ = makeButton(this, "stopButton", QStyle::SP_MediaStop, QStringLiteral("停止"));
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("seekSlider"));
    // A fresh instance of the application's style: a proxy owns and deletes its base style.
    auto* style = new JumpingSliderStyle(QApplication::style()->name());
    style->setParent(slider_);
    slider_->setStyle(style);
    slider_->setFocusPolicy(Qt::NoFocus);
    slider_->setRange(0, 0);
    slider_->setSingleStep(5000);  // milliseconds
    slider_->setPageStep(30000);
    time_ = new QLabel(this);
    time_->setObjectName(QStringLiteral("timeLabel"));
    time_->setText(timeText(0) + QStringLiteral(" / ") + timeText(0));

    mute_ = makeButton(this, "muteButton", QStyle::SP_MediaVolume, QStringLiteral("静音"));
    mute_->setCheckable(true);
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setObjectName(QStringLiteral("volumeSlider"));
    volume_->setRange(0, 100);
    volume_->setValue(50);
    volume_->setFixedWidth(80);
    volume_->setFocusPolicy(Qt::NoFocus);
    volume_->setToolTip(QStringLiteral("音量"));
    speed_ = new QComboBox(this);
    speed_->setObjectName(QStringLiteral("speedBox"));
    speed_->setFocusPolicy(Qt::NoFocus);
    speed_->setToolTip(QStringLiteral("播放速度（音调不变）"));
    for (double speed : kSpeeds) speed_->addItem(speedText(speed), speed);
    speed_->setCurrentIndex(speed_->findData(1.0));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 6, 0);
    layout->setSpacing(2);
    layout->addWidget(play_);
    layout->addWidget(pause_);
    layout->addWidget(stop_);
    layout->addWidget(slider_, 1);
    layout->addWidget(time_);
    layout->addSpacing(6);
    layout->addWidget(mute_);
    layout->addWidget(volume_);
    layout->addWidget(speed_);

    connect(play_, &QToolButton::clicked, this, &TransportBar::playClicked);
    connect(pause_, &QToolButton::clicked, this, &TransportBar::pauseClicked);
    connect(stop_, &QToolButton::clicked, this, &TransportBar::stopClicked);
    // A drag seeks once, where it is let go; steps and clicks seek at once.
    connect(slider_, &QSlider::sliderReleased, this, &TransportBar::seekToSlider);
    connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction)
            seekToSlider();
    });
    connect(mute_, &QToolButton::toggled, this, &TransportBar::muteToggled);
    connect(volume_, &QSlider::valueChanged, this, &TransportBar::volumeChosen);
    connect(speed_, &QComboBox::activated, this,
            [this](int index) { emit speedChosen(speed_->itemData(index).toDouble()); });
    setMediaLoaded(false);
}

void TransportBar::showAudio(int volume, bool muted, double speed) {
    const QSignalBlocker quietMute(mute_), quietVolume(volume_), quietSpeed(speed_);
    mute_->setChecked(muted);
    mute_->setIcon(style()->standardIcon(muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    volume_->setValue(volume);
    int index = speed_->findData(speed);
    if (index < 0) {
        speed_->addItem(speedText(speed), speed);
        index = speed_->count() - 1;
    }
    speed_->setCurrentIndex(index);
}

QString TransportBar::speedText(double speed) {
    return QString::number(speed, 'g', 3) + QStringLiteral("×");
}

void TransportBar::seekToSlider() {
    emit seekRequested(slider_->sliderPosition() / 1000.0);
}

void TransportBar::showTimes(double position, double duration) {
    const int length = duration > 0 ? static_cast<int>(std::lround(duration * 1000)) : 0;
    if (slider_->maximum() != length) slider_->setRange(0, length);
    if (!slider_->isSliderDown()) {
        const int at = static_cast<int>(std::lround(std::max(position, 0.0) * 1000));
        if (slider_->value() != at) slider_->setValue(at);
    }
    const QString text = timeText(position) + QStringLiteral(" / ") + timeText(duration);
    if (time_->text() != text) time_->setText(text);
}

void TransportBar::setMediaLoaded(bool loaded) {
    for (QWidget* control : {static_cast<QWidget*>(play_), static_cast<QWidget*>(pause_),
                             static_cast<QWidget*>(stop_), static_cast<QWidget*>(slider_)})
        control->setEnabled(loaded);
}

QString TransportBar::timeText(double seconds) {
    const long long whole = seconds > 0 ? static_cast<long long>(seconds) : 0;
    const long long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

}  // namespace tirelle::playback
