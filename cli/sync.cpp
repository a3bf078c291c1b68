#include "cli/sync.h"

#include <cstdio>
#include <utility>

#include "base/errors.h"
#include "base/timecode.h"
#include "cli/recode.h"
#include "sync/storesync.h"

namespace tirelle::cli {

SyncFiles::SyncFiles(const Options& options, const CodePage& codePage, SpeechServices services)
    : options_(options), codePage_(codePage), services_(std::move(services)) {}

void SyncFiles::prepare(std::optional<srt::LineList> reference) {
    align_.allowBreaks = !options_.noSplit;
    if (!reference || options_.snap) speech_ = services_.speechOf(options_.video);
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
    if (options_.snap)
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

}  // namespace tirelle::cli
