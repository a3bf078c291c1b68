#pragma once
// The media player the main window drives (`WMP1`).
//
// Contract, per operation (all on the GUI thread):
//  - setUrl(path): asynchronous. Loads the file and starts playing without a further call;
//    PlayStateChange(3) follows once it plays. A file that cannot be played never reports 3.
//  - play(): asynchronous; PlayStateChange(3) follows (immediately when already playing the
//    state does not change and no event follows).
//  - pause(): PlayStateChange(2) follows, from inside the call or later from the event loop.
//  - currentPosition(): synchronous and cheap (no wait on the decoder thread); seconds, also
//    while paused or stopped; 0 with nothing loaded.
//  - setCurrentPosition(s): starts an exact seek (negative targets count as 0). Exactly one
//    PositionChange(old, new) follows per seek, whoever asked for it. Until playback moves on,
//    currentPosition() reads back s.
//  - showInBounds(rect): the view re-lays out its picture inside rect (parent coordinates).
//  - frameRate(): synchronous and cheap; the video's frames per second as the media declares
//    them (or as measured while playing when it declares none); 0 while unknown or without a
//    picture.
// Events may arrive from inside a call the program makes, or later from the event loop;
// handlers must cope with both. Failures throw PlayerError.

#include <QObject>
#include <QRect>
#include <QString>

#include "base/errors.h"

class QWidget;

namespace tirelle::playback {

// Play states reported by PlayStateChange. Other values may be reported and are ignored.
enum PlayState : int { Stopped = 1, Paused = 2, Playing = 3 };

// A failed player operation; the message is the player's own description of the failure.
class PlayerError : public Error {
public:
    using Error::Error;
};

class Player : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Player() override = default;

    virtual void setUrl(const QString& path) = 0;
    virtual QString url() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual double currentPosition() const = 0;
    virtual void setCurrentPosition(double seconds) = 0;
    // Frames per second of the loaded video, 0 while unknown.
    virtual double frameRate() const { return 0; }

    // The view that shows the picture and the transport bar; the window reparents it.
    virtual QWidget* widget() = 0;
    virtual void showInBounds(const QRect& bounds) = 0;

signals:
    void PlayStateChange(tirelle::playback::PlayState newState);
    void PositionChange(double oldPosition, double newPosition);
};

}  // namespace tirelle::playback
