#include "playback/mpvloader.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <string>

#include "playback/player.h"

namespace tirelle::playback {

namespace {

constexpr const char* kModuleName = "libtirelle_mpvmodule.so";

MakeMpvPlayer LoadEntry() {
    static MakeMpvPlayer entry = nullptr;
    if (entry) return entry;
    // Beside the program first (an installed program), then where the build made it.
    const QString beside = QCoreApplication::applicationDirPath() + '/' + kModuleName;
    const std::string candidates[] = {QFileInfo::exists(beside) ? beside.toStdString() : "",
                                      TIRELLE_MPV_MODULE};
    std::string reason = "module not found";
    for (const std::string& path : candidates) {
        if (path.empty()) continue;
        // Kept loaded for the rest of the run: players made from it may live until the end.
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            reason = dlerror();
            continue;
        }
        entry = reinterpret_cast<MakeMpvPlayer>(dlsym(module, kMakeMpvPlayerSymbol));
        if (entry) return entry;
        reason = dlerror();
    }
    throw PlayerError("The video player cannot be loaded: " + reason);
}

}  // namespace

Player* LoadMpvPlayer(QWidget* parent) {
    return LoadEntry()(parent);
}

}  // namespace tirelle::playback
