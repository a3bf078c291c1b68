#include "playback/mediamodule.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QFileInfo>

#include "playback/player.h"

namespace tirelle::playback {

namespace {

constexpr const char* kModuleName = "libtirelle_mediamodule.so";

// The module's handle, loaded on the first call that succeeds; nothing, with the reason, when
// it cannot be loaded (tried again on the next call).
void* LoadModule(std::string& reason) {
    static void* module = nullptr;
    if (module) return module;
    // Beside the program first (an installed program), then where the build made it.
    const QString beside = QCoreApplication::applicationDirPath() + '/' + kModuleName;
    const std::string candidates[] = {QFileInfo::exists(beside) ? beside.toStdString() : "",
                                      TIRELLE_MEDIA_MODULE};
    reason = "module not found";
    for (const std::string& path : candidates) {
        if (path.empty()) continue;
        // Kept loaded for the rest of the run: players made from it may live until the end.
        module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module) return module;
        reason = dlerror();
    }
    return nullptr;
}

}  // namespace

void* FindInMediaModule(const char* symbol, std::string& reason) {
    void* module = LoadModule(reason);
    if (!module) return nullptr;
    void* entry = dlsym(module, symbol);
    if (!entry) {
        const char* error = dlerror();
        reason = error ? error : std::string(symbol) + " not found";
    }
    return entry;
}

Player* LoadMpvPlayer(QWidget* parent) {
    std::string reason;
    auto make = reinterpret_cast<MakeMpvPlayer>(FindInMediaModule(kMakeMpvPlayerSymbol, reason));
    if (!make) throw PlayerError("The video player cannot be loaded: " + reason);
    return make(parent);
}

}  // namespace tirelle::playback
