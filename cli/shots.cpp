#include "cli/shots.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "cli/options.h"
#include "cli/run.h"
#include "cli/subcommand.h"
#include "shots/cutcache.h"
#include "shots/detection.h"
#include "waveform/peakcache.h"

namespace tirelle::cli {

namespace {

constexpr const char* kModuleName = "libtirelle_shotmodule.so";

void Report(const std::string& message) {
    const std::string line = "tirelle-cli: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// The detector from the module beside the program, else where it is installed, else where the
// build made it; nothing, with the reason, when none loads. Kept loaded until the process ends.
shots::DetectCutsFunction LoadDetector(std::string& reason) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string candidates[] = {error ? "" : (program.parent_path() / kModuleName).string(),
                                      TIRELLE_SHOT_MODULE_INSTALLED, TIRELLE_SHOT_MODULE_BUILT};
    reason = "the detection module is missing";
    for (const std::string& path : candidates) {
        if (path.empty() || !std::filesystem::exists(path, error)) continue;
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            reason = dlerror();
            continue;
        }
        if (void* entry = dlsym(module, shots::kDetectCutsSymbol))
            return reinterpret_cast<shots::DetectCutsFunction>(entry);
        reason = std::string(shots::kDetectCutsSymbol) + " is missing from " + path;
    }
    return nullptr;
}

}  // namespace

std::optional<shots::ShotCuts> VideoCuts(const std::string& video, std::string& reason) {
    const std::optional<waveform::CacheKey> key = waveform::KeyForFile(video);
    const shots::CutCache cache(waveform::DefaultCacheFolder());
    std::optional<shots::StoredCuts> stored;
    if (key) stored = cache.load(*key);
    if (!stored) {
        const shots::DetectCutsFunction detect = LoadDetector(reason);
        if (!detect) return std::nullopt;
        const shots::DetectResult result = detect(video, {});
        stored = shots::StoredCuts{result.status, result.message, result.cuts};
        if (key) cache.store(*key, *stored);
    }
    if (stored->status != shots::DetectStatus::Complete) {
        reason = video + ": " + stored->message;
        return std::nullopt;
    }
    return stored->cuts;
}

int RunShots(const std::string& video) {
    std::string reason;
    const std::optional<shots::ShotCuts> cuts = VideoCuts(video, reason);
    if (!cuts) {
        Report(WithFullStop(reason));
        return 1;
    }
    std::string lines;
    char line[64];
    for (const double time : cuts->times) {
        std::snprintf(line, sizeof line, "%.3f\n", time);
        lines += line;
    }
    if (std::fwrite(lines.data(), 1, lines.size(), stdout) != lines.size() ||
        std::fflush(stdout) != 0) {
        Report("Cannot create file \"standard output\".");
        return 1;
    }
    return 0;
}

namespace {

// Prints the cuts of VIDEO; no subtitle file is opened.
class Shots : public Tool {
public:
    explicit Shots(std::string_view video) : video_(video) {}
    void prepare(FileRun&) override { status_ = RunShots(video_); }
    bool run(FileRun&) override { return true; }
    bool succeeded() const override { return status_ == 0; }

private:
    std::string video_;
    int status_ = 1;
};

}  // namespace

extern const Subcommand kShotsCommand{
    .name = "shots",
    .synopsis = "VIDEO",
    .values = 1,
    .help = "  shots VIDEO             print the times of the picture's cuts in VIDEO, one per line in\n"
            "                          seconds (the first frame of each new shot)\n",
    .make = [](const std::vector<std::string_view>& values) -> std::unique_ptr<Tool> {
        return std::make_unique<Shots>(values[0]);
    },
    .writesNoFile = true,
    .takesNoFiles = true};

}  // namespace tirelle::cli
