#pragma once
// The command line of tirelle-cli: a subcommand with its values, the input files and where the
// results go.

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tirelle::cli {

// The name standing for standard input (as an input file) or standard output (after -o).
inline constexpr std::string_view kStandardStream = "-";

struct Subcommand;
class Tool;

struct Options {
    const Subcommand* subcommand = nullptr;  // never null after parsing (see subcommand.h)
    std::shared_ptr<Tool> tool;              // the subcommand with its values
    std::vector<std::string> inputs;    // "-" is standard input; empty only for a subcommand
                                        // that takes no files
    std::optional<std::string> output;  // -o; "-" is standard output
    bool inPlace = false;               // replace every input file with its result
    std::string encoding;               // --to; empty: the system code page
    bool verbose = false;               // tell the encoding a file was read in, what sync found
    std::string profile;                // check, fix: the rule set's name; empty: the default
    double frameRate = 0;               // check, fix: --fps, frames per second; 0: the default
    bool json = false;                  // check: one JSON object per file
    std::string reference;              // sync --reference: the file whose times they fit
    bool noSplit = false;               // sync --no-split: one offset, no jumps
    bool snap = false;                  // sync --snap: then each edge to the nearest speech edge
    double window = 0;                  // snap --window: seconds either side of an edge; 0: 0.5
    bool shots = false;                 // snap --shots: then the rule of the picture's cuts
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

// A subcommand's value read as a number of seconds / as a time (ReadTimeArgument). Throw
// UsageError naming the text when it is not one.
double SecondsArgument(std::string_view text);
double TimeArgument(std::string_view text);

// The text of --help.
std::string UsageText();

}  // namespace tirelle::cli
