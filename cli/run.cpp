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
#include "cli/recode.h"
#include "cli/scratchstore.h"
#include "cli/subcommand.h"
#include "srt/encoding.h"
#include "srt/fileerror.h"
#include "srt/srtfile.h"
#include "tools/filesteps.h"
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
    return srt::ReadToEnd(STDIN_FILENO, 0, "standard input");
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

class Runner : public FileRun {
public:
    Runner(const Options& options, const CodePage& codePage)
        : options_(options), codePage_(codePage) {}

    int run() {
        bool allDone = true;
        try {
            freshStore();
            options_.tool->prepare(*this);
            for (const std::string& input : options_.inputs) {
                if (processGuarded(input)) continue;
                allDone = false;
                // Whatever a failure left in the store is not carried into the next file.
                freshStore();
            }
        } catch (const Error& error) {
            Report(WithFullStop(error.what()));
            return 1;
        }
        return allDone && options_.tool->succeeded() ? 0 : 1;
    }

    // --- what a tool gets
    tools::FileSteps& steps() override { return *steps_; }
    const std::string& input() const override {
        static const std::string none;
        return input_ ? *input_ : none;
    }
    const Options& options() const override { return options_; }
    const CodePage& codePage() const override { return codePage_; }
    void print(std::string_view bytes) override { WriteStandardOutput(bytes); }
    void note(const std::string& text) override { Report(input() + ": " + text); }

    srt::LineList read(const std::string& name) override {
        return steps_->read(source(name), [&](const srt::ReadEncoding& encoding) {
            tellEncoding(name, encoding);
        });
    }

    bool save() override {
        store::Dataset& sub = steps_->sub();
        if (sub.isEmpty()) return nothingToSave();
        const auto to = target();
        srt::LineList lines;
        if (to && options_.encoding.empty()) {
            steps_->save(*to, lines);
        } else {
            tools::ExportSrtLines(sub, lines);
            write(lines);
        }
        return true;
    }

    // Writes the lines of a result, in the code page or the encoding asked for; through the
    // safe writer to a file, or to standard output.
    void write(const srt::LineList& lines) override {
        const auto to = target();
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

    bool nothingToSave() override {
        Report(*input_ + ": " + ForTerminal(kNothingToSave, codePage_));
        return false;
    }

private:
    void freshStore() {
        steps_.reset();
        store_.reset();
        store_ = std::make_unique<ScratchStore>();
        steps_ = std::make_unique<tools::FileSteps>(store_->sub(), store_->command(), nullptr,
                                                    codePage_);
    }

    // The file the result of the input goes to; nothing for standard output.
    std::optional<std::filesystem::path> target() const {
        if (options_.inPlace) return std::filesystem::path(*input_);
        if (options_.output && *options_.output != kStandardStream)
            return std::filesystem::path(*options_.output);
        return std::nullopt;
    }

    // A file named on the command line; "-" is standard input, read through the same
    // conversion and splitting as a file.
    static tools::SubtitleSource source(const std::string& name) {
        if (name == kStandardStream) return {{}, ReadStandardInput()};
        return {name, std::nullopt};
    }

    // One file; its failure is reported and the next file still runs.
    bool processGuarded(const std::string& input) {
        input_ = &input;
        try {
            return process();
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
    bool process() {
        srt::LineList lines;
        steps_->open(source(*input_), lines, [&](const srt::ReadEncoding& encoding) {
            tellEncoding(*input_, encoding);
        });
        return options_.tool->run(*this);
    }

    // The note the window puts in its status bar; always when bytes had to be replaced.
    void tellEncoding(const std::string& name, const srt::ReadEncoding& encoding) const {
        if (!encoding.converted || (!options_.verbose && encoding.replaced == 0)) return;
        const tools::ReadNote note = tools::DescribeRead(encoding);
        std::string text = ForTerminal(note.lead, codePage_) + name;
        if (!note.tail.empty()) text += ForTerminal(note.tail, codePage_);
        Report(text);
    }

    const Options& options_;
    const CodePage& codePage_;
    std::unique_ptr<ScratchStore> store_;
    std::unique_ptr<tools::FileSteps> steps_;
    const std::string* input_ = nullptr;
};

}  // namespace

std::string WithFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}

int Run(const Options& options, const CodePage& codePage) {
    return Runner(options, codePage).run();
}

}  // namespace tirelle::cli
