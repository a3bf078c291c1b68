#include "cli/options.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/timecode.h"
#include "checks/profile.h"
#include "cli/subcommand.h"

namespace tirelle::cli {

namespace {

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

bool EqualsIgnoringCase(std::string_view text, std::string_view lowerCase) {
    return std::equal(
        text.begin(), text.end(), lowerCase.begin(), lowerCase.end(),
        [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

// "-1.5" and "-.5" are values (a negative shift), not options; so are "-inf" and "-nan", which
// are then refused as values.
bool LooksLikeOption(std::string_view argument) {
    if (argument.size() < 2 || argument[0] != '-') return false;
    const char next = argument[1];
    if ((next >= '0' && next <= '9') || next == '.') return false;
    const std::string_view rest = argument.substr(1);
    return !EqualsIgnoringCase(rest, "inf") && !EqualsIgnoringCase(rest, "infinity") &&
           !EqualsIgnoringCase(rest, "nan");
}

// A number of seconds or a time that no time code can hold (596:31:23,647 either way) would
// be written as that largest time code, whatever it was.
double InRange(std::string_view text, double value) {
    if (!FitsTimeCode(value))
        throw UsageError(Quoted(text) + " lies beyond the largest time a time code holds, " +
                         MillisecondsToTime(std::numeric_limits<std::int32_t>::max()));
    return value;
}

// The names of the subcommands that take an option, as "check and fix".
std::string NamesTaking(bool Subcommand::*takes) {
    std::vector<std::string_view> names;
    for (const Subcommand* subcommand : Subcommands())
        if (subcommand->*takes) names.push_back(subcommand->name);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

// Combinations that cannot be run, checked once every argument is known.
void CheckCombination(const Options& options) {
    const Subcommand& subcommand = *options.subcommand;
    const auto readsStandardInput =
        std::count(options.inputs.begin(), options.inputs.end(), kStandardStream) +
        (options.tool->readsStandardInput() ? 1 : 0) + (options.reference == kStandardStream ? 1 : 0);
    if (readsStandardInput > 1) throw UsageError("standard input can be read only once");
    if ((!options.profile.empty() || options.frameRate > 0) && !subcommand.takesTimingRules)
        throw UsageError("--profile and --fps go only with " +
                         NamesTaking(&Subcommand::takesTimingRules));
    if ((!options.reference.empty() || options.noSplit || options.snap) &&
        !subcommand.takesSyncOptions)
        throw UsageError("--reference, --no-split and --snap go only with " +
                         NamesTaking(&Subcommand::takesSyncOptions));
    if ((options.window > 0 || options.shots) && !subcommand.takesSnapOptions)
        throw UsageError("--window and --shots go only with " +
                         NamesTaking(&Subcommand::takesSnapOptions));
    if (subcommand.takesSnapOptions &&
        std::count(options.inputs.begin(), options.inputs.end(), kStandardStream) > 0)
        throw UsageError(std::string(subcommand.name) + " reads files, not standard input");
    if (options.json && !subcommand.takesJson)
        throw UsageError("--json goes only with " + NamesTaking(&Subcommand::takesJson));
    if (subcommand.writesNoFile && (options.inPlace || options.output || !options.encoding.empty()))
        throw UsageError(std::string(subcommand.name) +
                         " writes no file: -o, --in-place and --to do not go with it");
    if (options.inPlace) {
        if (options.output) throw UsageError("--in-place and -o cannot be used together");
        if (subcommand.writesNewFile)
            throw UsageError(std::string(subcommand.name) + " writes a new file: name it with -o");
        if (std::count(options.inputs.begin(), options.inputs.end(), kStandardStream) > 0)
            throw UsageError("--in-place needs files, not standard input");
    } else if (options.inputs.size() > 1 && !subcommand.writesNoFile) {
        throw UsageError("several input files need --in-place");
    }
    if (options.output && options.output->empty()) throw UsageError("-o needs a file name");
}

}  // namespace

double SecondsArgument(std::string_view text) {
    double value = 0;
    if (!ReadNumber(text, value))
        throw UsageError(Quoted(text) + " is not a valid floating point value");
    return InRange(text, value);
}

double TimeArgument(std::string_view text) {
    double value = 0;
    if (!ReadTimeArgument(text, value))
        throw UsageError(Quoted(text) +
                         " is not a time code (HH:MM:SS,mmm) or a number of seconds");
    return InRange(text, value);
}

bool ReadTimeArgument(std::string_view text, double& seconds) {
    if (ReadNumber(text, seconds)) return true;
    // A time code: the same two separators TimeToSeconds looks for, and every part a number
    // (so that a typing slip is refused rather than read as 0, as the time boxes would).
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos) return false;
    const std::size_t second = text.find(':', first + 1);
    if (second == std::string_view::npos || second + 1 == text.size()) return false;
    std::string secondsPart(text.substr(second + 1));
    std::replace(secondsPart.begin(), secondsPart.end(), ',', '.');
    double part = 0;
    if (!ReadNumber(text.substr(0, first), part) ||
        !ReadNumber(text.substr(first + 1, second - first - 1), part) ||
        !ReadNumber(secondsPart, part))
        return false;
    seconds = TimeToSeconds(text);
    return true;
}

Command ParseCommandLine(const std::vector<std::string_view>& arguments) {
    Command command;
    if (arguments.empty()) throw UsageError("missing subcommand");
    const std::string_view name = arguments[0];
    if (name == "-h" || name == "--help") {
        command.kind = Command::Kind::Help;
        return command;
    }
    if (name == "-V" || name == "--version") {
        command.kind = Command::Kind::Version;
        return command;
    }
    const Subcommand* subcommand = FindSubcommand(name);
    if (!subcommand) throw UsageError("unknown subcommand " + Quoted(name));

    Options& options = command.options;
    options.subcommand = subcommand;
    std::vector<std::string_view> positional;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || !LooksLikeOption(argument)) {
            positional.push_back(argument);
            continue;
        }
        // The value of an option: "--name=value", "-ovalue" or the next argument.
        const auto value = [&](std::string_view option) -> std::string_view {
            if (argument.size() > option.size()) {
                const std::string_view rest = argument.substr(option.size());
                return rest.front() == '=' && option.starts_with("--") ? rest.substr(1) : rest;
            }
            if (i + 1 >= arguments.size()) throw UsageError(std::string(option) + " needs a value");
            return arguments[++i];
        };
        const auto is = [&](std::string_view option) {
            return argument == option || (argument.starts_with(option) &&
                                          (option.size() == 2 || argument[option.size()] == '='));
        };
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            command.kind = Command::Kind::Help;
            return command;
        } else if (argument == "-i" || argument == "--in-place") {
            options.inPlace = true;
        } else if (argument == "-v" || argument == "--verbose") {
            options.verbose = true;
        } else if (is("-o")) {
            options.output = std::string(value("-o"));
        } else if (is("--output")) {
            options.output = std::string(value("--output"));
        } else if (is("--profile")) {
            options.profile = std::string(value("--profile"));
            if (!checks::FindProfile(options.profile))
                throw UsageError("unknown profile " + Quoted(options.profile) + " (" +
                                 std::string(checks::ProfileNames()) + ")");
        } else if (is("--fps")) {
            options.frameRate = SecondsArgument(value("--fps"));
            if (!(options.frameRate > 0 && options.frameRate < 1e6))
                throw UsageError("--fps needs frames per second above 0");
        } else if (argument == "--json") {
            options.json = true;
        } else if (is("--reference")) {
            options.reference = std::string(value("--reference"));
            if (options.reference.empty()) throw UsageError("--reference needs a file name");
        } else if (argument == "--no-split") {
            options.noSplit = true;
        } else if (argument == "--snap") {
            options.snap = true;
        } else if (is("--window")) {
            const std::string_view text = value("--window");
            if (!ReadNumber(text, options.window) || !(options.window > 0 && options.window <= 10))
                throw UsageError(Quoted(text) +
                                 " is not a window of seconds (above 0, at most 10)");
        } else if (argument == "--shots") {
            options.shots = true;
        } else if (is("--to")) {
            options.encoding = std::string(value("--to"));
            if (options.encoding.empty()) throw UsageError("--to needs an encoding");
        } else {
            throw UsageError("unknown option " + Quoted(argument));
        }
    }

    if (positional.size() < subcommand->values)
        throw UsageError(std::string(name) + " needs " + std::string(subcommand->synopsis));
    options.tool = subcommand->make({positional.begin(), positional.begin() + subcommand->values});
    options.inputs.assign(positional.begin() + subcommand->values, positional.end());
    if (subcommand->takesNoFiles) {
        if (!options.inputs.empty())
            throw UsageError(std::string(name) + " takes " + std::string(subcommand->synopsis) +
                             " and no subtitle file");
    } else if (options.inputs.empty() && subcommand->takesSnapOptions) {
        throw UsageError(std::string(name) + " needs " + std::string(subcommand->synopsis) +
                         " and the subtitle files");
    } else if (options.inputs.empty()) {
        options.inputs.emplace_back(kStandardStream);
    }
    CheckCombination(options);
    return command;
}

std::string UsageText() {
    std::string text = R"(Usage: tirelle-cli COMMAND [OPTIONS] [FILE...]
Retimes, splits, merges, wraps and converts SRT files exactly as Tirelle's tools window
does: each file is opened into a store of its own, the tool runs on it, and the result is
written as the save command writes it.

Commands:
)";
    for (const Subcommand* subcommand : Subcommands()) text += subcommand->help;
    text += R"(
Times are time codes (HH:MM:SS,mmm) or numbers of seconds, at most 596:31:23,647 either
way; a file whose times a command would move beyond that is left as it is.
With no FILE, or when FILE is -, standard input is read; -- ends the options (for a file
whose name begins with -).

Options:
  -o, --output FILE       write the result to FILE (- for standard output, the default)
  -i, --in-place          replace every FILE with its result (many files allowed)
      --to ENCODING       write the result in ENCODING (any name iconv knows)
  -v, --verbose           tell which encoding a converted file was read in, and what sync
                          found
      --profile NAME      check and fix by the rules of NAME: netflix-zh, netflix-en or
                          fansub (the default)
      --fps N             frames per second the least gap is counted in (23.976)
      --json              check: one JSON object per file instead of lines
      --reference OTHER   sync: to the subtitles of OTHER instead of the speech
      --no-split          sync: one offset for the whole file, no jumps
      --snap              sync: then move each edge to the nearest speech edge
      --window SECONDS    snap: how far an edge may move to a speech edge (0.5)
      --shots             snap: then keep the subtitles clear of the picture's cuts
  -h, --help              show this help and exit
  -V, --version           show the version and exit

A file is replaced only once its new contents are completely written.
Exit status: 0 when every file was done, 1 when one failed, 2 for a bad command line.
check: 0 when no file has a problem, 1 when one has (or could not be read).
)";
    return text;
}

}  // namespace tirelle::cli
