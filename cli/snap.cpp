#include "cli/snap.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "base/errors.h"
#include "base/timecode.h"
#include "cli/options.h"
#include "cli/recode.h"
#include "cli/run.h"
#include "cli/scratchstore.h"
#include "speech/load.h"
#include "speech/module.h"
#include "speech/snapstep.h"
#include "tools/srtfiles.h"
#include "waveform/peakcache.h"

namespace tirelle::cli {

namespace {

struct SnapCommand {
    std::string video;
    std::vector<std::string> inputs;
    std::optional<std::string> output;
    bool inPlace = false;
    bool verbose = false;
    double window = 0.5;
};

void Say(const std::string& message) {
    std::fprintf(stderr, "tirelle-cli: %s\n", message.c_str());
}

SnapCommand Parse(const std::vector<std::string_view>& arguments) {
    SnapCommand command;
    std::vector<std::string_view> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const auto value = [&](std::string_view option) -> std::string_view {
            if (argument.size() > option.size() && argument[option.size()] == '=')
                return argument.substr(option.size() + 1);
            if (i + 1 >= arguments.size()) throw UsageError(std::string(option) + " needs a value");
            return arguments[++i];
        };
        if (optionsEnded || !argument.starts_with("-") || argument == kStandardStream) {
            positional.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-i" || argument == "--in-place") {
            command.inPlace = true;
        } else if (argument == "-v" || argument == "--verbose") {
            command.verbose = true;
        } else if (argument == "-o" || argument.starts_with("--output")) {
            command.output = std::string(value(argument == "-o" ? "-o" : "--output"));
        } else if (argument.starts_with("-o")) {
            command.output = std::string(argument.substr(2));
        } else if (argument.starts_with("--window")) {
            const std::string_view text = value("--window");
            if (!ReadNumber(text, command.window) || !(command.window > 0 && command.window <= 10))
                throw UsageError("'" + std::string(text) + "' is not a window of seconds (above 0, at most 10)");
        } else {
            throw UsageError("unknown option '" + std::string(argument) + "'");
        }
    }
    if (positional.empty()) throw UsageError("snap needs VIDEO");
    command.video = positional[0];
    command.inputs.assign(positional.begin() + 1, positional.end());
    if (command.inputs.empty()) throw UsageError("snap needs VIDEO and the subtitle files");
    for (const std::string& input : command.inputs)
        if (input == kStandardStream) throw UsageError("snap reads files, not standard input");
    if (command.inPlace && command.output) throw UsageError("--in-place and -o cannot be used together");
    if (!command.inPlace && command.inputs.size() > 1) throw UsageError("several input files need --in-place");
    if (command.output && command.output->empty()) throw UsageError("-o needs a file name");
    return command;
}

// The video's spans, or nothing with the reason said.
std::optional<speech::SpeechSpans> ReadSpeech(const SnapCommand& command) {
    std::string missing;
    // The module is loaded only when the cache does not have the film.
    const std::filesystem::path folder = waveform::DefaultCacheFolder();
    speech::LoadedSpeech loaded = speech::LoadSpeech(command.video, folder, nullptr, "", {});
    if (loaded.status != speech::SpeechStatus::Found && loaded.status != speech::SpeechStatus::NoSpeech) {
        const speech::AnalyseFunction analyse = speech::FindAnalysis(missing);
        loaded = speech::LoadSpeech(command.video, folder, analyse,
                                    "The speech analysis cannot be loaded: " + missing);
    }
    switch (loaded.status) {
        case speech::SpeechStatus::Found:
        case speech::SpeechStatus::NoSpeech:
            if (command.verbose)
                Say(command.video + ": " + std::to_string(loaded.spans.size()) + " speech spans" +
                    (loaded.fromCache ? " (from the cache)" : ""));
            return std::move(loaded.spans);
        case speech::SpeechStatus::NoAudio:
            Say(command.video + ": " + WithFullStop("The video has no audio"));
            return std::nullopt;
        case speech::SpeechStatus::Partial:
            Say(command.video + ": " + WithFullStop("The audio could not be read to its end"));
            return std::nullopt;
        case speech::SpeechStatus::Failed:
        case speech::SpeechStatus::Cancelled:
            break;
    }
    Say(command.video + ": " + WithFullStop("The audio cannot be read: " + loaded.message));
    return std::nullopt;
}

}  // namespace

int RunSnap(const std::vector<std::string_view>& arguments, const CodePage& codePage) {
    SnapCommand command;
    try {
        command = Parse(arguments);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "tirelle-cli: %s\nTry 'tirelle-cli --help' for more information.\n", error.what());
        return 2;
    }
    const std::optional<speech::SpeechSpans> spans = ReadSpeech(command);
    if (!spans) return 1;
    speech::SnapOptions options;
    options.window = command.window;
    bool allDone = true;
    for (const std::string& input : command.inputs) {
        try {
            ScratchStore store;
            store::History history;  // a scratch store keeps no history: the step is the transaction
            const srt::LineList lines = tools::LoadSubtitleLines(input, codePage);
            tools::ImportSrt(store.sub(), lines);
            if (store.sub().isEmpty()) {
                Say(input + ": " + ForTerminal("没找到可保存的文本~", codePage));
                allDone = false;
                continue;
            }
            const speech::SnapCounts counts = speech::SnapAllToSpeech(store.sub(), history, *spans, options);
            if (command.verbose) Say(input + ": " + ForTerminal(speech::SnapMessage(counts), codePage));
            const std::optional<std::filesystem::path> to =
                command.inPlace ? std::optional<std::filesystem::path>(input)
                : command.output && *command.output != kStandardStream ? std::optional<std::filesystem::path>(*command.output)
                                                                       : std::nullopt;
            srt::LineList out;
            if (to) {
                tools::ExportSrt(store.sub(), out, *to);
            } else {
                tools::ExportSrtLines(store.sub(), out);
                const std::string bytes = srt::JoinLines(out);
                std::fwrite(bytes.data(), 1, bytes.size(), stdout);
            }
        } catch (const FileError& error) {
            Say(WithFullStop(error.what()));
            allDone = false;
        } catch (const Error& error) {
            Say(input + ": " + WithFullStop(error.what()));
            allDone = false;
        }
    }
    return allDone ? 0 : 1;
}

}  // namespace tirelle::cli
