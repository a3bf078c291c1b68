// The entry point of the libmpv player module (see mpvloader.h).

#include "playback/mpvloader.h"
#include "playback/mpvplayer.h"

extern "C" __attribute__((visibility("default"))) tirelle::playback::Player*
tirelle_make_mpv_player(QWidget* parent) {
    return new tirelle::playback::MpvPlayer(parent);
}
