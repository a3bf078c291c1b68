// The subcommand that converts every text between Simplified and Traditional Chinese.

#include "chinese/conversion.h"
#include "chinese/storeconversion.h"
#include "cli/options.h"
#include "cli/subcommand.h"
#include "tools/filesteps.h"

namespace tirelle::cli {

namespace {

class Chinese : public Tool {
public:
    explicit Chinese(std::string_view conversion) : conversion_(conversion) {}
    // The dictionaries are loaded before the first file is read, once for every file; data
    // that is missing ends the run with nothing written.
    void prepare(FileRun&) override { converter_ = &chinese::CachedConverter(conversion_); }
    bool run(FileRun& run) override {
        chinese::ConvertSubtitles(run.steps().sub(), *converter_, run.codePage());
        return run.save();
    }

private:
    std::string conversion_;
    chinese::Converter* converter_ = nullptr;
};

}  // namespace

extern const Subcommand kChineseCommand{
    .name = "chinese",
    .synopsis = "CONFIG",
    .values = 1,
    .help =
        "  chinese CONFIG          convert every text between Simplified and Traditional "
        "Chinese,\n"
        "                          phrase by phrase, with OpenCC's configuration CONFIG: "
        "s2t, t2s,\n"
        "                          s2tw, tw2s, s2twp, tw2sp, s2hk, hk2s, t2tw or t2hk\n",
    .make = [](const std::vector<std::string_view>& v) -> std::unique_ptr<Tool> {
        if (!chinese::FindConversion(v[0]))
            throw UsageError(chinese::UnknownConversion(v[0]).what());
        return std::make_unique<Chinese>(v[0]);
    }};

}  // namespace tirelle::cli
