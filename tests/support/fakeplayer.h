#pragma once
// A player double for tests: no media, a clock the test sets and moves, a record of every call,
// and the two events fired as the libmpv player fires them.
//
//  - setUrl: "url <path>"; position 0, then state 3 (automatic start), also when playing.
//  - play: "play"; state 3 unless already playing. pause: "pause"; state 2 unless paused.
//  - setCurrentPosition: "seek <seconds>" (negative targets count as 0); the clock jumps there
//    and PositionChange(old, new) fires, one per call.
//  - currentPosition: counted in positionReads (and recorded as "position" when recordReads).
//  - showInBounds: "bounds x,y wxh"; the widget takes those bounds.
// Events fire from inside the call (Delivery::Synchronous, the default) or are queued to the
// event loop (Delivery::Queued). failOn makes an operation throw PlayerError, after recording.
// The clock does not run by itself: the test moves it with setPosition and advance.

#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <vector>

#include "playback/player.h"

namespace tirelle::testing {

class FakePlayer : public playback::Player {
    Q_OBJECT
public:
    enum class Delivery { Synchronous, Queued };

    explicit FakePlayer(QObject* parent = nullptr);
    ~FakePlayer() override;

    // --- the player
    void setUrl(const QString& path) override;
    QString url() const override { return url_; }
    void play() override;
    void pause() override;
    double currentPosition() const override;
    void setCurrentPosition(double seconds) override;
    double frameRate() const override { return frameRate_; }
    QWidget* widget() override;  // a plain QWidget, made on first use, owned by the double
    void showInBounds(const QRect& bounds) override;

    // --- the script
    void setDelivery(Delivery delivery) { delivery_ = delivery; }
    // The clock: jumps to `seconds` / moves on by `seconds`; no event.
    void setPosition(double seconds) { position_ = seconds; }
    void advance(double seconds) { position_ += seconds; }
    // What frameRate() reads: 25 unless set (0: unknown).
    void setFrameRate(double fps) { frameRate_ = fps; }
    // What the player's own bar or the media would do: a state report (any value, e.g. 1 at a
    // stop or 2 at the end) or a seek, with its events and without an entry in calls.
    void reportState(int state);
    void userSeek(double seconds);
    // Operation names as in calls: "url", "play", "pause", "seek", "position", "bounds".
    void failOn(const QString& operation, const QString& message);
    void clearFailures() { failures_.clear(); }

    int state() const { return state_; }
    QRect bounds() const { return bounds_; }

    mutable QStringList calls;  // every call, in order
    bool recordReads = false;   // also list position reads in calls
    mutable int positionReads = 0;
    std::vector<double> seeks;  // the seek targets, unrounded

    // "12.346" for 12.346: up to six decimals, trailing zeros dropped.
    static QString secondsText(double seconds);

private:
    void record(const QString& operation, const QString& entry) const;
    void changeState(int state);
    void moveTo(double seconds);
    template <typename Fire>
    void fire(Fire&& fireEvent);

    QString url_;
    double position_ = 0;
    double frameRate_ = 25;
    int state_ = playback::Stopped;
    QRect bounds_;
    Delivery delivery_ = Delivery::Synchronous;
    QMap<QString, QString> failures_;
    QPointer<QWidget> widget_;
};

}  // namespace tirelle::testing
