#pragma once
// The player's own transport bar: play, pause, stop, a seek slider and the position and length
// as text. It only asks for actions through its signals; the player carries them out through
// its ordinary operations, so the program hears of them through the player's events alone.
// Children: "playButton", "pauseButton", "stopButton", "seekSlider", "timeLabel", "muteButton",
// "volumeSlider" (0 to 100), "speedBox" (the speeds of kSpeeds).

#include <QWidget>

class QComboBox;
class QLabel;
class QSlider;
class QToolButton;

namespace tirelle::playback {

class TransportBar : public QWidget {
    Q_OBJECT
public:
    explicit TransportBar(QWidget* parent);

    // Shows position and length (seconds; length 0 = unknown). The slider stays where the
    // user holds it while it is being dragged.
    void showTimes(double position, double duration);
    // Media loaded or not: without media the buttons and the slider are disabled.
    void setMediaLoaded(bool loaded);

    // Shows the audio settings without sending any signal.
    void showAudio(int volume, bool muted, double speed);

    // The playback speeds offered, slowest first.
    static constexpr double kSpeeds[] = {0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0};
    // "1.5×"
    static QString speedText(double speed);

    // "m:ss" below an hour, "h:mm:ss" from an hour on; fractions are cut.
    static QString timeText(double seconds);

signals:
    void playClicked();
    void pauseClicked();
    void stopClicked();
    void seekRequested(double seconds);
    void volumeChosen(int volume);
    void muteToggled(bool muted);
    void speedChosen(double speed);

private:
    void seekToSlider();

    QToolButton* play_;
    QToolButton* pause_;
    QToolButton* stop_;
    QSlider* slider_;
    QLabel* time_;
    QToolButton* mute_;
    QSlider* volume_;
    QComboBox* speed_;
};

}  // namespace tirelle::playback
