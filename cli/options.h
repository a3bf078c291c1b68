#pragma once
// The command line of tirelle-cli: a subcommand with its values, the input files and where the
// results go.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tirelle::cli {

// The name standing for standard input (as an input file) or standard output (after -o).
inline constexpr std::string_view kStandardStream = "-";

enum class Operation { Shift, Scale, Wrap, Split, Merge, Convert, Check, Fix, Shots };

struct Options {
    Operation operation = Operation::Convert;
    double seconds = 0;                 // shift: seconds to add (negative: earlier)
    double newFirst = 0;                // scale: the new start of the first subtitle, in seconds
    double newLast = 0;                 // scale: the new start of the last subtitle, in seconds
    std::string prefix;                 // wrap
    std::string suffix;                 // wrap
    double cut = 0;                     // split: subtitles starting after this many seconds go out
    std::string other;                  // merge: the file whose subtitles come in
    double offset = 0;                  // merge: seconds added to its times
    std::vector<std::string> inputs;    // never empty after parsing; "-" is standard input
                                        // (shots: the one video)
    std::optional<std::string> output;  // -o; "-" is standard output
    bool inPlace = false;               // replace every input file with its result
    std::string encoding;               // --to; empty: the system code page
    bool verbose = false;               // tell the encoding every converted file was read in
    std::string profile;                // check, fix: the rule set's name; empty: the default
    double frameRate = 0;               // check, fix: --fps, frames per second; 0: the default
    bool json = false;                  // check: one JSON object per file
};

// What the command line asks for.
struct Command {
    enum class Kind { Run, Help, Version } kind = Kind::Run;
    Options options;
};

// A command line that cannot be run; the message says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses argv[1..]. Throws UsageError for an unknown subcommand or option, a missing or
// unreadable value, or a combination that makes no sense (--in-place with -o, several inputs
// without --in-place, ...). Numbers and time codes are read with the program's own readers.
Command ParseCommandLine(const std::vector<std::string_view>& arguments);

// A time given on the command line: a time code (H:M:S,mmm, each part a number, read as the
// tools window reads its time boxes) or a plain number of seconds. False when it is neither.
bool ReadTimeArgument(std::string_view text, double& seconds);

// The text of --help.
std::string UsageText();

}  // namespace tirelle::cli
