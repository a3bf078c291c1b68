// The subcommands that run the tools window's operations on each file (shift, scale, wrap,
// split, merge) and the one that only converts it (convert).

#include "base/errors.h"
#include "base/utf8.h"
#include "cli/options.h"
#include "cli/subcommand.h"
#include "tools/filesteps.h"
#include "tools/operations.h"

namespace tirelle::cli {

namespace {

class Shift : public Tool {
public:
    explicit Shift(double seconds) : seconds_(seconds) {}
    bool run(FileRun& run) override {
        run.steps().shift(seconds_);
        return run.save();
    }

private:
    double seconds_;
};

class Scale : public Tool {
public:
    Scale(double newFirst, double newLast) : newFirst_(newFirst), newLast_(newLast) {}
    bool run(FileRun& run) override {
        run.steps().scale(newFirst_, newLast_);
        return run.save();
    }

private:
    double newFirst_;
    double newLast_;
};

class Wrap : public Tool {
public:
    Wrap(std::string_view prefix, std::string_view suffix) : prefix_(prefix), suffix_(suffix) {}
    // Bytes that are no UTF-8 on a UTF-8 system would go into every text saved.
    void prepare(FileRun& run) override {
        if (run.codePage().kind() != CodePage::Kind::Utf8) return;
        for (const std::string& text : {prefix_, suffix_}) {
            if (!IsValidUtf8(text)) throw Error("'" + text + "' is not UTF-8 text");
        }
    }
    bool run(FileRun& run) override {
        run.steps().wrap(prefix_, suffix_);
        return run.save();
    }

private:
    std::string prefix_;
    std::string suffix_;
};

class Split : public Tool {
public:
    explicit Split(double cut) : cut_(cut) {}
    bool run(FileRun& run) override {
        if (run.steps().sub().isEmpty()) return run.nothingToSave();
        run.write(tools::SplitAfter(run.steps().sub(), cut_));
        return true;
    }

private:
    double cut_;
};

// OTHER is read once, before the first input, and merged into each.
class Merge : public Tool {
public:
    Merge(std::string_view other, double offset) : other_(other), offset_(offset) {}
    void prepare(FileRun& run) override { lines_ = run.read(other_); }
    bool readsStandardInput() const override { return other_ == kStandardStream; }
    bool run(FileRun& run) override {
        run.steps().mergeLines(lines_, offset_);
        return run.save();
    }

private:
    std::string other_;
    double offset_;
    srt::LineList lines_;
};

class Convert : public Tool {
public:
    bool run(FileRun& run) override { return run.save(); }
};

}  // namespace

extern const Subcommand kShiftCommand{
    .name = "shift",
    .synopsis = "SECONDS",
    .values = 1,
    .help = "  shift SECONDS           move every subtitle by SECONDS (negative: earlier)\n",
    .make = [](const std::vector<std::string_view>& v) -> std::unique_ptr<Tool> {
        return std::make_unique<Shift>(SecondsArgument(v[0]));
    }};

extern const Subcommand kScaleCommand{
    .name = "scale",
    .synopsis = "NEW_FIRST NEW_LAST",
    .values = 2,
    .help =
        "  scale NEW_FIRST NEW_LAST\n"
        "                          stretch the times so the first subtitle starts at "
        "NEW_FIRST and\n"
        "                          the last at NEW_LAST\n",
    .make = [](const std::vector<std::string_view>& v) -> std::unique_ptr<Tool> {
        const double newFirst = TimeArgument(v[0]);  // the first bad value is the one named
        return std::make_unique<Scale>(newFirst, TimeArgument(v[1]));
    }};

extern const Subcommand kWrapCommand{
    .name = "wrap",
    .synopsis = "PREFIX SUFFIX",
    .values = 2,
    .help = "  wrap PREFIX SUFFIX      put PREFIX before and SUFFIX after every subtitle text\n",
    .make = [](const std::vector<std::string_view>& v) -> std::unique_ptr<Tool> {
        return std::make_unique<Wrap>(v[0], v[1]);
    }};

extern const Subcommand kSplitCommand{
    .name = "split",
    .synopsis = "CUT",
    .values = 1,
    .help = "  split CUT               write the subtitles starting after CUT, timed from CUT\n",
    .make = [](const std::vector<std::string_view>& v) -> std::unique_ptr<Tool> {
        return std::make_unique<Split>(TimeArgument(v[0]));
    },
    .writesNewFile = true};

extern const Subcommand kMergeCommand{
    .name = "merge",
    .synopsis = "OTHER OFFSET",
    .values = 2,
    .help =
        "  merge OTHER OFFSET      add the subtitles of the file OTHER, moved later by "
        "OFFSET\n",
    .make = [](const std::vector<std::string_view>& v) -> std::unique_ptr<Tool> {
        return std::make_unique<Merge>(v[0], TimeArgument(v[1]));
    }};

extern const Subcommand kConvertCommand{
    .name = "convert",
    .synopsis = "",
    .values = 0,
    .help =
        "  convert                 read in whatever encoding is found, write the system "
        "code page\n"
        "                          (or the encoding given with --to)\n",
    .make = [](const std::vector<std::string_view>&) -> std::unique_ptr<Tool> {
        return std::make_unique<Convert>();
    }};

}  // namespace tirelle::cli
