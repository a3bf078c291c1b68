#include "cli/run.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "base/errors.h"
#include "checks/fix.h"
#include "cli/checkcommand.h"
#include "cli/recode.h"
#include "cli/scratchstore.h"
#include "cli/shots.h"
#include "srt/encoding.h"
#include "srt/fileerror.h"
#include "srt/srtfile.h"
#include "tools/operations.h"
#include "tools/srtfiles.h"

namespace tirelle::cli {

namespace {

// What the save command says when the store holds nothing to save.
constexpr std::string_view kNothingToSave = "没找到可保存的文本~";

void Report(const std::string& message) {
    std::string line = "tirelle-cli: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// Every byte of standard input, read to its end.
std::string ReadStandardInput() {
    std::string bytes;
    std::size_t used = 0;
    for (;;) {
        if (bytes.size() - used < (1 << 16)) bytes.resize(bytes.size() * 2 + (1 << 16));
        const ssize_t got = ::read(STDIN_FILENO, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError("Cannot open file \"standard input\". " +
                            srt::detail::SystemReason(errno));
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return bytes;
}

void WriteStandardOutput(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw FileError("Cannot create file \"standard output\". " +
                            srt::detail::SystemReason(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

class Runner {
public:
    Runner(const Options& options, const CodePage& codePage)
        : options_(options), codePage_(codePage) {}

    int run() {
        bool allDone = true;
        try {
            auto store = std::make_unique<ScratchStore>();
            if (options_.operation == Operation::Merge) other_ = read(options_.other);
            for (const std::string& input : options_.inputs) {
                if (processGuarded(store->sub(), input)) continue;
                allDone = false;
                // Whatever a failure left in the store is not carried into the next file.
                store.reset();
                store = std::make_unique<ScratchStore>();
            }
        } catch (const Error& error) {
            Report(WithFullStop(error.what()));
            return 1;
        }
        return allDone && !problemsFound_ ? 0 : 1;
    }

private:
    // The file the result of `input` goes to; nothing for standard output.
    std::optional<std::filesystem::path> target(const std::string& input) const {
        if (options_.inPlace) return std::filesystem::path(input);
        if (options_.output && *options_.output != kStandardStream)
            return std::filesystem::path(*options_.output);
        return std::nullopt;
    }

    // One file; its failure is reported and the next file still runs.
    bool processGuarded(store::Dataset& sub, const std::string& input) {
        try {
            return process(sub, input);
        } catch (const FileError& error) {
            Report(WithFullStop(error.what()));  // names the file already
        } catch (const Error& error) {
            Report(input + ": " + WithFullStop(error.what()));
        } catch (const std::bad_alloc&) {
            Report(input + ": " + WithFullStop("Out of memory"));
        }
        return false;
    }

    // Open, the tool, save: the three steps a user takes in the window.
    bool process(store::Dataset& sub, const std::string& input) {
        tools::ImportSrt(sub, read(input));
        const auto to = target(input);
        srt::LineList lines;
        switch (options_.operation) {
            case Operation::Shift:
                tools::ShiftAll(sub, options_.seconds);
                break;
            case Operation::Scale:
                tools::ScaleAll(sub, options_.newFirst, options_.newLast);
                break;
            case Operation::Wrap:
                tools::WrapAll(sub, options_.prefix, options_.suffix);
                break;
            case Operation::Merge:
                tools::MergeBlocks(sub, other_, options_.offset);
                break;
            case Operation::Split:
                if (sub.isEmpty()) return nothingToSave(input);
                write(tools::SplitAfter(sub, options_.cut), to);
                return true;
            case Operation::Convert:
            case Operation::Shots:
                break;
            case Operation::Check:
                WriteStandardOutput(ProblemReport(sub, input, options_, codePage_, problemsFound_));
                return true;
            case Operation::Fix:
                checks::ApplyTimingFix(sub, nullptr, CheckSettingsOf(options_));
                break;
        }
        if (sub.isEmpty()) return nothingToSave(input);
        if (to && options_.encoding.empty()) {
            tools::ExportSrt(sub, lines, *to);
        } else {
            tools::ExportSrtLines(sub, lines);
            write(lines, to);
        }
        return true;
    }

    bool nothingToSave(const std::string& input) {
        Report(input + ": " + ForTerminal(kNothingToSave, codePage_));
        return false;
    }

    // The lines of an SRT file as the open command reads them; "-" is standard input, read
    // through the same conversion and splitting as a file.
    srt::LineList read(const std::string& input) {
        srt::ReadEncoding encoding;
        srt::LineList lines;
        if (input == kStandardStream) {
            srt::CodePageText text = srt::ToCodePage(ReadStandardInput(), codePage_);
            encoding = std::move(text.encoding);
            lines = srt::SplitTextLines(text.bytes, codePage_);
        } else {
            lines = tools::LoadSubtitleLines(input, codePage_, &encoding);
        }
        tellEncoding(input, encoding);
        return lines;
    }

    // The note the window puts in its status bar; always when bytes had to be replaced.
    void tellEncoding(const std::string& input, const srt::ReadEncoding& encoding) const {
        if (!encoding.converted || (!options_.verbose && encoding.replaced == 0)) return;
        std::string note = "已按 " + srt::DisplayName(encoding.name) + " 编码读取：";
        std::string text = ForTerminal(note, codePage_) + input;
        if (encoding.replaced > 0)
            text += ForTerminal("（" + std::to_string(encoding.replaced) + " 处无法转换，已替换）",
                                codePage_);
        Report(text);
    }

    // Writes the lines of a result, in the code page or the encoding asked for; through the
    // safe writer to a file, or to standard output.
    void write(const srt::LineList& lines, const std::optional<std::filesystem::path>& to) const {
        if (to && options_.encoding.empty()) {
            tools::WriteSubtitleLines(*to, lines);
            return;
        }
        std::string bytes = srt::JoinLines(lines);
        if (!options_.encoding.empty())
            bytes = ConvertFromCodePage(bytes, codePage_, options_.encoding);
        if (to)
            srt::WriteTextBytes(*to, bytes);
        else
            WriteStandardOutput(bytes);
    }

    const Options& options_;
    const CodePage& codePage_;
    srt::LineList other_;         // merge: the lines of OTHER, read once for every input
    bool problemsFound_ = false;  // check: a file has a problem
};

}  // namespace

std::string WithFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}

int Run(const Options& options, const CodePage& codePage) {
    if (options.operation == Operation::Shots) return RunShots(options.inputs.front());
    return Runner(options, codePage).run();
}

}  // namespace tirelle::cli
