// The list of tirelle-cli's subcommands. A new one is defined in a file of its own and added
// here (and to CMakeLists.txt).

#include <algorithm>

#include "cli/subcommand.h"

namespace tirelle::cli {

// toolcommands.cpp: the tools window's operations and the conversion.
extern const Subcommand kShiftCommand;
extern const Subcommand kScaleCommand;
extern const Subcommand kWrapCommand;
extern const Subcommand kSplitCommand;
extern const Subcommand kMergeCommand;
extern const Subcommand kConvertCommand;
// checkcommand.cpp: the timing checks and their fix.
extern const Subcommand kCheckCommand;
extern const Subcommand kFixCommand;
// sync.cpp: the whole file fitted to a video's speech or to a reference file.
extern const Subcommand kSyncCommand;
// shots.cpp: the picture's cuts of a video.
extern const Subcommand kShotsCommand;
// snap.cpp: every edge moved onto the speech of a video.
extern const Subcommand kSnapCommand;
// chinesecommand.cpp: Simplified and Traditional Chinese converted into each other.
extern const Subcommand kChineseCommand;

const std::vector<const Subcommand*>& Subcommands() {
    static const std::vector<const Subcommand*> all = {
        &kShiftCommand, &kScaleCommand,   &kWrapCommand, &kSplitCommand,
        &kMergeCommand, &kConvertCommand, &kCheckCommand, &kFixCommand,
        &kSnapCommand,  &kSyncCommand,    &kShotsCommand, &kChineseCommand,
    };
    return all;
}

const Subcommand* FindSubcommand(std::string_view name) {
    const auto& all = Subcommands();
    const auto found = std::find_if(all.begin(), all.end(),
                                    [name](const Subcommand* s) { return s->name == name; });
    return found == all.end() ? nullptr : *found;
}

}  // namespace tirelle::cli
