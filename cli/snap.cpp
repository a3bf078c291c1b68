// tirelle-cli snap VIDEO FILE... [--window SECONDS] [--shots] [-o FILE | -i]: every file opened as
// the window opens it, its subtitles snapped to the video's speech as the window's "对齐语音"
// does (then, with --shots, kept clear of the picture's cuts as "镜头对齐" does), and saved. The
// speech comes from the cache beside the peaks, else from the speech module, loaded only then.

#include <optional>

#include "base/errors.h"
#include "cli/options.h"
#include "cli/recode.h"
#include "cli/shots.h"
#include "cli/subcommand.h"
#include "cli/syncspeech.h"
#include "shots/alignstep.h"
#include "speech/snapstep.h"
#include "store/history.h"
#include "tools/filesteps.h"

namespace tirelle::cli {

namespace {

// The speech (and the cuts) are read once, before the first file; each file is snapped to them.
class Snap : public Tool {
public:
    explicit Snap(std::string_view video) : video_(video) {}
    void prepare(FileRun& run) override {
        FilmSpeech speech = ReadFilmSpeech(video_);
        if (run.options().verbose)
            run.note(video_ + ": " + std::to_string(speech.spans.size()) + " speech spans" +
                     (speech.fromCache ? " (from the cache)" : ""));
        spans_ = std::move(speech.spans);
        if (run.options().window > 0) options_.window = run.options().window;
        if (run.options().shots) {
            std::string reason;
            cuts_ = VideoCuts(video_, reason);
            if (!cuts_) throw Error(reason);
        }
    }
    bool run(FileRun& run) override {
        store::Dataset& sub = run.steps().sub();
        if (sub.isEmpty()) return run.nothingToSave();
        store::History history;  // a scratch store keeps no history: the step is the transaction
        const speech::SnapCounts counts = speech::SnapAllToSpeech(sub, history, spans_, options_);
        if (run.options().verbose) run.note(ForTerminal(speech::SnapMessage(counts), run.codePage()));
        if (cuts_) {
            const shots::Alignment alignment = shots::AlignStoreToCuts(sub, *cuts_);
            if (run.options().verbose)
                run.note(ForTerminal(shots::AlignmentStatus(alignment), run.codePage()));
        }
        return run.save();
    }

private:
    std::string video_;
    speech::SnapOptions options_;
    speech::SpeechSpans spans_;
    std::optional<shots::ShotCuts> cuts_;
};

}  // namespace

extern const Subcommand kSnapCommand{
    .name = "snap",
    .synopsis = "VIDEO",
    .values = 1,
    .help = "  snap VIDEO              move every start and end onto the speech of VIDEO within the\n"
            "                          window (--window), never into a neighbour; --shots: then keep\n"
            "                          the subtitles clear of the picture's cuts\n",
    .make = [](const std::vector<std::string_view>& values) -> std::unique_ptr<Tool> {
        return std::make_unique<Snap>(values[0]);
    },
    .takesSnapOptions = true};

}  // namespace tirelle::cli
