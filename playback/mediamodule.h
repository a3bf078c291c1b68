#pragma once
// The media libraries live in a module of their own (libtirelle_mediamodule.so): the libmpv
// player, the audio peak decoder (waveform/decoder.h), which reads files with FFmpeg, and the
// audio analysis that finds the speech from the same decoding (speech/analysis.h, looked up
// with FindInMediaModule by speech::kAnalyseSymbol). The
// module is loaded when the first video is opened, so that a program that plays nothing never
// loads the media libraries.

#include <string>

class QWidget;

namespace tirelle::playback {

class Player;

// The player's entry point in the module, looked up by this name.
inline constexpr const char* kMakeMpvPlayerSymbol = "tirelle_make_mpv_player";
using MakeMpvPlayer = Player* (*)(QWidget* parent);

// Loads the module on first use (beside the program, else where the build put it), kept for
// the rest of the run, and returns its entry point named `symbol`; nothing when the module
// cannot be loaded or lacks the symbol, with `reason` saying why. For the GUI thread.
void* FindInMediaModule(const char* symbol, std::string& reason);

// Makes a libmpv player with the given parent from the module. Throws PlayerError when the
// module cannot be loaded or the player cannot be started.
Player* LoadMpvPlayer(QWidget* parent);

}  // namespace tirelle::playback
