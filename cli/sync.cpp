#include "cli/sync.h"

#include <cstdio>
#include <utility>

#include "base/errors.h"
#include "base/timecode.h"
#include "cli/recode.h"
#include "cli/options.h"
#include "cli/subcommand.h"
#include "sync/storesync.h"
#include "tools/filesteps.h"

namespace tirelle::cli {

SyncFiles::SyncFiles(SyncSettings settings, const CodePage& codePage, SpeechServices services)
    : settings_(std::move(settings)), codePage_(codePage), services_(std::move(services)) {}

void SyncFiles::prepare(std::optional<srt::LineList> reference) {
    align_.allowBreaks = !settings_.noSplit;
    if (!reference || settings_.snap) speech_ = services_.speechOf(settings_.video);
    if (reference) {
        targets_ = sync::ReferenceIntervals(*reference);
        align_.target = sync::Target::Reference;
    } else {
        targets_ = sync::SpeechIntervals(speech_.spans);
        align_.filmDuration = speech_.duration;
    }
}

std::vector<std::string> SyncFiles::apply(store::Dataset& sub) {
    sync::SyncRequest request{targets_, align_, {}};
    if (settings_.snap)
        request.afterMapping = [this](store::Dataset& rows) {
            return services_.snapAll(rows, speech_.spans);
        };
    sync::SyncOutcome outcome;
    try {
        outcome = sync::SyncStore(sub, nullptr, request);
    } catch (const sync::SyncError& error) {
        throw Error(ForTerminal(error.what(), codePage_));
    }
    char confidence[32];
    std::snprintf(confidence, sizeof confidence, "%.2f", outcome.alignment.confidence);
    std::vector<std::string> notes{outcome.summary + "，可信度 " + confidence};
    const auto& segments = outcome.alignment.mapping.segments;
    for (std::size_t k = 1; k < segments.size(); ++k)
        notes.push_back("断点 " + std::to_string(k) + "：字幕 " +
                        SecondsToTimeCode(segments[k].from) + " 起偏移 " +
                        sync::OffsetText(segments[k].offset) + " 秒");
    for (std::string& note : notes) note = ForTerminal(note, codePage_);
    return notes;
}

namespace {

// The speech or the reference is read once, before the first input; each input is fitted to it.
class Sync : public Tool {
public:
    explicit Sync(std::string_view video) : video_(video) {}
    void prepare(FileRun& run) override {
        const Options& options = run.options();
        reference_ = options.reference;
        sync_.emplace(SyncSettings{video_, !options.reference.empty(), options.noSplit,
                                   options.snap},
                      run.codePage(), BuiltInSpeech());
        sync_->prepare(reference_.empty() ? std::nullopt
                                          : std::optional<srt::LineList>(run.read(reference_)));
    }
    bool run(FileRun& run) override {
        for (const std::string& note : sync_->apply(run.steps().sub()))
            if (run.options().verbose) run.note(note);
        return run.save();
    }

private:
    std::string video_;
    std::string reference_;
    std::optional<SyncFiles> sync_;
};

}  // namespace

extern const Subcommand kSyncCommand{
    .name = "sync",
    .synopsis = "VIDEO",
    .values = 1,
    .help = "  sync VIDEO              fit the times to the speech of VIDEO: an offset, a frame-rate\n"
            "                          ratio and jumps where the file was cut, found together; with\n"
            "                          --reference OTHER, to the times of the SRT file OTHER made for the\n"
            "                          same release (VIDEO is then read only for --snap)\n",
    .make = [](const std::vector<std::string_view>& values) -> std::unique_ptr<Tool> {
        return std::make_unique<Sync>(values[0]);
    },
    .takesSyncOptions = true};

}  // namespace tirelle::cli
