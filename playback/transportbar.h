#pragma once
// The player's own transport bar: play, pause, stop, a seek slider and the position and length
// as text. It only asks for actions through its signals; the player carries them out through
// its ordinary operations, so the program hears of them through the player's events alone.
// Children: "playButton", "pauseButton", "stopButton", "seekSlider", "timeLabel".

#include <QWidget>

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

    // "m:ss" below an hour, "h:mm:ss" from an hour on; fractions are cut.
    static QString timeText(double seconds);

signals:
    void playClicked();
    void pauseClicked();
    void stopClicked();
    void seekRequested(double seconds);

private:
    void seekToSlider();

    QToolButton* play_;
    QToolButton* pause_;
    QToolButton* stop_;
    QSlider* slider_;
    QLabel* time_;
};

}  // namespace tirelle::playback
