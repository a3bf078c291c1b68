#pragma once
// The subcommands of tirelle-cli. Each is a Subcommand, defined in a file of its own (or beside
// others of its kind, as the tools window's operations in toolcommands.cpp) and listed once in
// subcommands.cpp; the command line finds it by its name, reads its values into a Tool when the
// command line is read, and runs the tool on every input file once the file is open in a store
// of its own.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "srt/srtfile.h"

namespace tirelle::tools {
class FileSteps;
}

namespace tirelle::cli {

struct Options;

// What a tool gets for one input file: the file steps on the store that holds the file, and
// the ways the command line reads, writes and reports.
class FileRun {
public:
    virtual ~FileRun() = default;

    // The store with the input file open in it, and the program's file steps on it.
    virtual tools::FileSteps& steps() = 0;
    // The input file as named on the command line ("-": standard input); "" in prepare().
    virtual const std::string& input() const = 0;
    // The command line's options and the code page everything is read into.
    virtual const Options& options() const = 0;
    virtual const CodePage& codePage() const = 0;

    // Another subtitle file, read as the input files are ("-": standard input), its encoding
    // told the same way. Throws FileError.
    virtual srt::LineList read(const std::string& name) = 0;
    // Saves the store as the save command does, to the result's place (a file, standard output)
    // in the encoding asked for. An empty store is not saved: "没找到可保存的文本~" is reported
    // and the file counts as failed (false).
    virtual bool save() = 0;
    // Writes lines as the result, to the same place and in the same encoding as save().
    virtual void write(const srt::LineList& lines) = 0;
    // Reports "没找到可保存的文本~" for this input; false, for the tool to give back.
    virtual bool nothingToSave() = 0;
    // Bytes for standard output as they are (a report).
    virtual void print(std::string_view bytes) = 0;
    // A note on this input for standard error, "tirelle-cli: FILE: note" (-v's reports).
    virtual void note(const std::string& text) = 0;
};

// A subcommand with its values read.
class Tool {
public:
    virtual ~Tool() = default;
    // Once, before the first input file. A failure (Error) ends the run: no file is done.
    virtual void prepare(FileRun& run) { (void)run; }
    // True when the tool reads standard input itself, so that no input file may.
    virtual bool readsStandardInput() const { return false; }
    // The work on one input file; true when the file was done. An Error fails this file only.
    virtual bool run(FileRun& run) = 0;
    // After the last file: false makes the exit status 1 although every file was done (check:
    // a file has a problem).
    virtual bool succeeded() const { return true; }
};

struct Subcommand {
    std::string_view name;
    std::string_view synopsis;  // its values, as a missing one is reported: "SECONDS"
    std::size_t values = 0;     // positional values before the input files
    std::string_view help;      // its lines under "Commands:" in --help, each ending in \n
    // Reads the values (exactly `values` of them). Throws UsageError for one it cannot read.
    std::unique_ptr<Tool> (*make)(const std::vector<std::string_view>& values) = nullptr;
    // What the command line allows with it:
    bool writesNewFile = false;     // no --in-place: the result is not the input file again
    bool writesNoFile = false;      // no -o, --in-place, --to; several inputs without --in-place
    bool takesTimingRules = false;  // --profile and --fps
    bool takesJson = false;         // --json
    bool takesSyncOptions = false;  // --reference, --no-split, --snap
    bool takesNoFiles = false;      // no subtitle files: the tool does its work in prepare()
    bool takesSnapOptions = false;  // --window, --shots; the inputs are files, not standard input
};

// Every subcommand, in the order --help lists them.
const std::vector<const Subcommand*>& Subcommands();
// The subcommand of that name; nullptr when there is none.
const Subcommand* FindSubcommand(std::string_view name);

}  // namespace tirelle::cli
