#pragma once
// A player made only when the first file is opened, so that starting the program costs nothing
// of the media library. Until then it is a black pane of the same place: play, pause and seeks
// do nothing and send no event, the position reads 0, as the contract in player.h has it for a
// player without media. The first setUrl makes the real player inside that pane and hands
// everything on to it from then on; its events come out of this object.

#include <QPointer>
#include <QRect>
#include <functional>

#include "playback/player.h"

namespace tirelle::playback {

class LazyPlayer : public Player {
    Q_OBJECT
public:
    // `make` builds the real player with the given parent widget (the pane); it may throw
    // PlayerError, which the setUrl that asked for it passes on.
    using Factory = std::function<Player*(QWidget* parent)>;
    LazyPlayer(Factory make, QWidget* parent);
    ~LazyPlayer() override;

    void setUrl(const QString& path) override;
    QString url() const override;
    void play() override;
    void pause() override;
    double currentPosition() const override;
    void setCurrentPosition(double seconds) override;
    double frameRate() const override;
    QWidget* widget() override;
    void showInBounds(const QRect& bounds) override;

    // The real player once made; nullptr before the first file.
    Player* made() const { return real_; }

private:
    Player* ensure();

    Factory make_;
    QPointer<QWidget> pane_;
    Player* real_ = nullptr;  // a child of this object
};

}  // namespace tirelle::playback
