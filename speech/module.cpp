#include "speech/module.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace tirelle::speech {

AnalyseFunction FindAnalysis(std::string& reason) {
    static void* module = nullptr;
    if (!module) {
        std::error_code error;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
        const std::string beside = error ? std::string() : (self.parent_path() / TIRELLE_SPEECH_MODULE_NAME).string();
        reason = "module not found";
        for (const std::string& path : {beside, std::string(TIRELLE_SPEECH_MODULE_INSTALLED),
                                        std::string(TIRELLE_SPEECH_MODULE_BUILT)}) {
            if (path.empty() || !std::filesystem::exists(path, error)) continue;
            module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module) break;
            const char* why = dlerror();
            reason = why ? why : path + " cannot be loaded";
        }
        if (!module) return nullptr;
    }
    auto* entry = reinterpret_cast<AnalyseFunction>(dlsym(module, kAnalyseSymbol));
    if (!entry) reason = std::string(kAnalyseSymbol) + " not found";
    return entry;
}

}  // namespace tirelle::speech
