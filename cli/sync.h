#pragma once
// `tirelle-cli sync` (defined in sync.cpp, listed in subcommands.cpp): each input file's times
// fitted to a video's speech or to a reference file, as the tools window's page "音频同步"
// fits them.

#include <optional>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "cli/syncspeech.h"
#include "srt/srtfile.h"
#include "store/dataset.h"
#include "sync/align.h"

namespace tirelle::cli {

struct SyncSettings {
    std::string video;  // the film whose speech the times fit (with --reference: for --snap)
    bool reference = false;  // fitted to a reference file's lines instead of the speech
    bool noSplit = false;    // one offset for the whole file, no jumps
    bool snap = false;       // then each edge to the nearest speech edge
};

class SyncFiles {
public:
    SyncFiles(SyncSettings settings, const CodePage& codePage, SpeechServices services);

    // Reads what every file is aligned to, once: the reference's lines when given (read by the
    // caller as it reads every file), and the video's speech when it is needed (no reference,
    // or --snap). Throws Error.
    void prepare(std::optional<srt::LineList> reference);

    // Syncs the store that holds one input file. Returns what -v tells, one text per line, in
    // the code page. Throws Error (the sync's refusal in the code page too); nothing is changed
    // then.
    std::vector<std::string> apply(store::Dataset& sub);

private:
    SyncSettings settings_;
    const CodePage& codePage_;
    SpeechServices services_;
    FilmSpeech speech_;
    std::vector<sync::Interval> targets_;
    sync::AlignOptions align_;
};

}  // namespace tirelle::cli
