#pragma once
// The libmpv player lives in a module of its own (libtirelle_mpvmodule.so), loaded when the
// first video is opened, so that a program that plays nothing never loads the media libraries.

class QWidget;

namespace tirelle::playback {

class Player;

// The module's one entry point, looked up by this name.
inline constexpr const char* kMakeMpvPlayerSymbol = "tirelle_make_mpv_player";
using MakeMpvPlayer = Player* (*)(QWidget* parent);

// Loads the module (beside the program, else where the build put it) and makes a libmpv player
// with the given parent. Throws PlayerError when the module cannot be loaded or the player
// cannot be started.
Player* LoadMpvPlayer(QWidget* parent);

}  // namespace tirelle::playback
