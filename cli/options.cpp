#include "cli/options.h"

#include <algorithm>
#include <array>

#include "base/timecode.h"

namespace tirelle::cli {

namespace {

struct Subcommand {
    std::string_view name;
    Operation operation;
    std::size_t values;  // positional values before the input files
    std::string_view synopsis;
};

constexpr std::array kSubcommands = {
    Subcommand{"shift", Operation::Shift, 1, "SECONDS"},
    Subcommand{"scale", Operation::Scale, 2, "NEW_FIRST NEW_LAST"},
    Subcommand{"wrap", Operation::Wrap, 2, "PREFIX SUFFIX"},
    Subcommand{"split", Operation::Split, 1, "CUT"},
    Subcommand{"merge", Operation::Merge, 2, "OTHER OFFSET"},
    Subcommand{"convert", Operation::Convert, 0, ""},
};

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// "-1.5" and "-.5" are values (a negative shift), not options.
bool LooksLikeOption(std::string_view argument) {
    if (argument.size() < 2 || argument[0] != '-') return false;
    const char next = argument[1];
    return !((next >= '0' && next <= '9') || next == '.');
}

double Seconds(std::string_view text) {
    double value = 0;
    if (!ReadNumber(text, value))
        throw UsageError(Quoted(text) + " is not a valid floating point value");
    return value;
}

double Time(std::string_view text) {
    double value = 0;
    if (!ReadTimeArgument(text, value))
        throw UsageError(Quoted(text) +
                         " is not a time code (HH:MM:SS,mmm) or a number of seconds");
    return value;
}

void SetValues(Options& options, const std::vector<std::string_view>& values) {
    switch (options.operation) {
        case Operation::Shift:
            options.seconds = Seconds(values[0]);
            break;
        case Operation::Scale:
            options.newFirst = Time(values[0]);
            options.newLast = Time(values[1]);
            break;
        case Operation::Wrap:
            options.prefix = values[0];
            options.suffix = values[1];
            break;
        case Operation::Split:
            options.cut = Time(values[0]);
            break;
        case Operation::Merge:
            options.other = values[0];
            options.offset = Time(values[1]);
            break;
        case Operation::Convert:
            break;
    }
}

// Combinations that cannot be run, checked once every argument is known.
void CheckCombination(const Options& options) {
    const auto readsStandardInput =
        std::count(options.inputs.begin(), options.inputs.end(), kStandardStream) +
        (options.operation == Operation::Merge && options.other == kStandardStream ? 1 : 0);
    if (readsStandardInput > 1) throw UsageError("standard input can be read only once");
    if (options.inPlace) {
        if (options.output) throw UsageError("--in-place and -o cannot be used together");
        if (options.operation == Operation::Split)
            throw UsageError("split writes a new file: name it with -o");
        if (std::count(options.inputs.begin(), options.inputs.end(), kStandardStream) > 0)
            throw UsageError("--in-place needs files, not standard input");
    } else if (options.inputs.size() > 1) {
        throw UsageError("several input files need --in-place");
    }
    if (options.output && options.output->empty()) throw UsageError("-o needs a file name");
}

}  // namespace

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
    const auto subcommand = std::find_if(kSubcommands.begin(), kSubcommands.end(),
                                         [name](const Subcommand& s) { return s.name == name; });
    if (subcommand == kSubcommands.end()) throw UsageError("unknown subcommand " + Quoted(name));

    Options& options = command.options;
    options.operation = subcommand->operation;
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
        } else if (is("--to")) {
            options.encoding = std::string(value("--to"));
            if (options.encoding.empty()) throw UsageError("--to needs an encoding");
        } else {
            throw UsageError("unknown option " + Quoted(argument));
        }
    }

    if (positional.size() < subcommand->values)
        throw UsageError(std::string(name) + " needs " + std::string(subcommand->synopsis));
    SetValues(options, {positional.begin(), positional.begin() + subcommand->values});
    options.inputs.assign(positional.begin() + subcommand->values, positional.end());
    if (options.inputs.empty()) options.inputs.emplace_back(kStandardStream);
    CheckCombination(options);
    return command;
}

std::string UsageText() {
    return R"(Usage: tirelle-cli COMMAND [OPTIONS] [FILE...]
Retimes, splits, merges, wraps and converts SRT files exactly as Tirelle's tools window
does: each file is opened into a store of its own, the tool runs on it, and the result is
written as the save command writes it.

Commands:
  shift SECONDS           move every subtitle by SECONDS (negative: earlier)
  scale NEW_FIRST NEW_LAST
                          stretch the times so the first subtitle starts at NEW_FIRST and
                          the last at NEW_LAST
  wrap PREFIX SUFFIX      put PREFIX before and SUFFIX after every subtitle text
  split CUT               write the subtitles starting after CUT, timed from CUT
  merge OTHER OFFSET      add the subtitles of the file OTHER, moved later by OFFSET
  convert                 read in whatever encoding is found, write the system code page
                          (or the encoding given with --to)
  snap VIDEO FILE... [--window SECONDS]
                          move every start and end onto the speech of VIDEO within SECONDS
                          (0.5 by default), as the window's 对齐语音 does

Times are time codes (HH:MM:SS,mmm) or numbers of seconds.
With no FILE, or when FILE is -, standard input is read; -- ends the options (for a file
whose name begins with -).

Options:
  -o, --output FILE       write the result to FILE (- for standard output, the default)
  -i, --in-place          replace every FILE with its result (many files allowed)
      --to ENCODING       write the result in ENCODING (any name iconv knows)
  -v, --verbose           tell which encoding a converted file was read in
  -h, --help              show this help and exit
  -V, --version           show the version and exit

A file is replaced only once its new contents are completely written.
Exit status: 0 when every file was done, 1 when one failed, 2 for a bad command line.
)";
}

}  // namespace tirelle::cli
