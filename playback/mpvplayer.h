#pragma once
// `WMP1`: the media player built on libmpv.
//
// The picture is drawn through libmpv's render API into a QOpenGLWidget on a black ground,
// with the player's own transport bar below it (see TransportBar); an error text takes the
// picture's place when a file cannot be played. In headless mode (for tests on platforms
// without OpenGL) the core runs with no video or audio output and the view is a plain black
// widget; everything else behaves the same.
//
// Timing, on top of the contract in player.h:
//  - setUrl: returns once the core has the file. With a GL view the file is handed over only
//    when the view has its render context (the first time it is shown). PlayStateChange(3)
//    comes from the event loop once playback has begun, also when the file it replaced was
//    playing (no stop is reported in between); a file that fails never reports 3 and
//    shows its error text instead (state 1 is reported if another file was playing).
//  - play, pause, stop: the new state is reported from inside the call. Play at the end of the
//    media seeks to 0 first (with its PositionChange later). Without media they do nothing.
//    The end of the media is a pause (state 2); the last frame stays.
//  - setCurrentPosition: returns at once; PositionChange(old, target) comes from the event
//    loop when the core has finished the seek, exactly once per call. Seeks are frame-exact
//    and made one at a time: one asked for while another runs waits, and of several waiting
//    only the latest is made (the ones passed over are reported when the one before them
//    ends). Without media loaded nothing happens and no event comes; while a file is being
//    opened the seek is made once it plays.
//  - play at the end after a seek asked for since the end plays from that seek's target.
//  - currentPosition: no call into the core; the last time the core reported, moved on by the
//    time passed since while playing (at most PositionClock::kMaxLead ahead, never past the
//    end, never back), or the target of the last seek until playback moves past it.
// The bar's buttons and slider call play, pause, stop and setCurrentPosition.
//
// Ownership: the view (widget()) is created as a child of `parent` and may be reparented; it is
// deleted with the player, or earlier by its parent (the player then has no picture and can
// open no further file in GL mode). The core is destroyed last, after the render context and
// the wakeup callback.

#include <QPointer>
#include <QString>
#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "playback/playbackstate.h"
#include "playback/player.h"

class QLabel;
class QMenu;
class QStackedLayout;
struct mpv_event;

namespace tirelle::playback {

class MpvCore;
class MpvView;
class TransportBar;

class MpvPlayer : public Player {
    Q_OBJECT
public:
    struct Options {
        bool headless = false;    // no video output, no audio output, no OpenGL
        bool audio = true;        // false: no audio output (the picture still plays)
        bool extrapolate = true;  // readings move on between the core's reports
        // Headless on the offscreen and minimal platforms or with TIRELLE_PLAYER_HEADLESS=1.
        static Options forPlatform();
    };

    // Throws PlayerError when libmpv cannot be started.
    explicit MpvPlayer(QWidget* parent = nullptr);
    MpvPlayer(QWidget* parent, Options options);
    ~MpvPlayer() override;

    void setUrl(const QString& path) override;
    QString url() const override { return url_; }
    void play() override;
    void pause() override;
    // The bar's stop: pause, back to 0, state 1; the media stays loaded.
    void stop();
    double currentPosition() const override;
    void setCurrentPosition(double seconds) override;
    // The container's declared rate, else the rate measured from the decoded frames.
    double frameRate() const override;
    QWidget* widget() override;
    void showInBounds(const QRect& bounds) override;

    // Volume 0 to 100 (50 at start) and mute, kept across files.
    void setVolume(int volume);
    int volume() const { return volume_; }
    void setMuted(bool muted);
    bool muted() const { return muted_; }
    // Playback speed, 0.5 to 2 (clamped); the pitch stays. Positions read at any speed are
    // those of the media.
    void setSpeed(double speed);
    double speed() const { return speed_; }
    // The picture with its bar fills the screen (its window goes full screen with everything
    // else in it hidden); Escape, a double click or the menu bring the window back.
    void setFullScreen(bool on);
    bool fullScreen() const { return fullScreen_; }
    // The player's context menu on the picture (play, pause, stop, volume, speed, full screen),
    // made afresh for each use; the caller owns it.
    QMenu* makeContextMenu(QWidget* parent);

    // The state last reported (1 before anything played).
    int playState() const { return reported_; }
    // The media's length in seconds, 0 while unknown.
    double duration() const { return duration_; }
    // The text shown in place of the picture; empty while there is none.
    QString errorText() const;
    bool headless() const { return options_.headless; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct PendingSeek {
        double from;
        double to;
    };

    void buildView(QWidget* parent);
    void loadNow();
    void issueSeek(double target);
    void startSeek(const PendingSeek& seek);
    void finishSeek();
    void dropSeeks();
    void pauseAtEnd();
    void drainEvents();
    void handleEvent(const mpv_event& event);
    // Reports the state when it changed; with announcePlaying also "playing" again.
    void updateState(bool announcePlaying = false);
    void refreshBar();
    void showError(const QString& text);
    double now() const;
    // Runs an emit; inside the event drain a handler's exception is kept until the drain ends,
    // so that no event stays unread.
    template <typename Emit>
    void deliver(Emit&& emitEvent);
    static void onWakeup(void* context);

    Options options_;
    std::unique_ptr<MpvCore> core_;  // declared first: destroyed last
    QPointer<QWidget> view_;         // the whole player widget
    MpvView* picture_ = nullptr;     // valid while view_ is
    TransportBar* bar_ = nullptr;    // valid while view_ is
    QLabel* error_ = nullptr;        // valid while view_ is
    QStackedLayout* stack_ = nullptr;

    QString url_;
    bool loadQueued_ = false;     // waiting for the render context
    bool loadRequested_ = false;  // handed to the core, its start not seen yet
    PlaybackFacts facts_;
    PositionClock clock_;
    double duration_ = 0;
    double containerFps_ = 0;  // "container-fps", 0 while unknown
    double measuredFps_ = 0;   // "estimated-vf-fps", 0 while unknown
    bool seekedSinceEnd_ = false;  // a seek was asked for since the end was reached
    int reported_ = Stopped;
    std::optional<double> seekAfterLoad_;
    std::optional<PendingSeek> inFlight_;  // handed to the core, not finished yet
    std::vector<PendingSeek> waiting_;     // asked for while another was in flight
    QString lastLogError_;
    int volume_ = 50;
    bool muted_ = false;
    double speed_ = 1;
    bool fullScreen_ = false;
    QWidget* area_ = nullptr;  // the picture's area, valid while view_ is
    std::vector<QPointer<QWidget>> hiddenForFullScreen_;
    Qt::WindowStates stateBeforeFullScreen_;
    std::atomic<bool> drainQueued_{false};
    int drainDepth_ = 0;
    std::exception_ptr handlerFailure_;
    std::chrono::steady_clock::time_point epoch_ = std::chrono::steady_clock::now();
};

}  // namespace tirelle::playback
