#include "cli/checkcommand.h"

#include <cstdio>

#include "base/errors.h"
#include "checks/fix.h"
#include "checks/rules.h"
#include "cli/recode.h"
#include "cli/subcommand.h"
#include "tools/filesteps.h"

namespace tirelle::cli {

namespace {

// A JSON string of UTF-8 bytes: quotes, backslashes and control characters escaped.
std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// A file name for the JSON text, which is UTF-8: converted from a GBK code page where it can be.
std::string Utf8Name(const std::string& file, const CodePage& codePage) {
    if (codePage.kind() == CodePage::Kind::Utf8) return file;
    try {
        return ConvertFromCodePage(file, codePage, "UTF-8");
    } catch (const Error&) {
        return file;  // not a name in the code page: its bytes as they are
    }
}

}  // namespace

checks::CheckSettings CheckSettingsOf(const Options& options) {
    checks::CheckSettings settings;
    if (const checks::Profile* profile = checks::FindProfile(options.profile))
        settings.profile = *profile;
    if (options.frameRate > 0) settings.frameRate = options.frameRate;
    return settings;
}

std::string ProblemReport(const store::Dataset& sub, const std::string& file,
                          const Options& options, const CodePage& codePage, bool& found) {
    const auto rows = sub.rows();
    const std::vector<checks::Problem> problems =
        checks::CheckRows(rows, CheckSettingsOf(options), codePage);
    if (!problems.empty()) found = true;
    const std::vector<std::size_t> order = checks::StartOrder(rows);
    const std::string prefix = options.inputs.size() > 1 ? file + ":" : "";
    std::string report =
        options.json ? "{\"file\": " + JsonString(Utf8Name(file, codePage)) + ", \"problems\": ["
                     : "";
    // The problems come in start order: the position of each is found walking along.
    std::size_t position = 0;
    for (std::size_t i = 0; i < problems.size(); ++i) {
        const checks::Problem& problem = problems[i];
        while (rows[order[position]].aid != problem.aid) ++position;
        const std::string start = checks::TimeCodeOf(rows[order[position]].SubSort);
        const std::string index = std::to_string(position + 1);
        const std::string kind(checks::KindName(problem.kind));
        const std::string value = checks::ValueText(problem.hundredths);
        if (options.json)
            report += std::string(i ? ", " : "") + "{\"index\": " + index + ", \"start\": \"" +
                      start + "\", \"kind\": \"" + kind + "\", \"value\": " + value + "}";
        else
            report += prefix + index + " " + start + " " + kind + " " + value + "\n";
    }
    if (options.json) report += "]}\n";
    return report;
}

namespace {

// Prints the problems of each file; the exit status tells whether any had one.
class Check : public Tool {
public:
    bool run(FileRun& run) override {
        run.print(
            ProblemReport(run.steps().sub(), run.input(), run.options(), run.codePage(), found_));
        return true;
    }
    bool succeeded() const override { return !found_; }

private:
    bool found_ = false;
};

class Fix : public Tool {
public:
    bool run(FileRun& run) override {
        checks::ApplyTimingFix(run.steps().sub(), nullptr, CheckSettingsOf(run.options()));
        return run.save();
    }
};

}  // namespace

extern const Subcommand kCheckCommand{
    .name = "check",
    .synopsis = "",
    .values = 0,
    .help =
        "  check                   list the timing problems of every FILE: a subtitle too "
        "short or\n"
        "                          too long, read too fast, with too many or too long "
        "lines,\n"
        "                          overlapping the next or too close to it; one line each "
        "(position\n"
        "                          in start order, start, kind, value), FILE: in front with "
        "several\n",
    .make = [](const std::vector<std::string_view>&) -> std::unique_ptr<Tool> {
        return std::make_unique<Check>();
    },
    .writesNoFile = true,
    .takesTimingRules = true,
    .takesJson = true};

extern const Subcommand kFixCommand{
    .name = "fix",
    .synopsis = "",
    .values = 0,
    .help =
        "  fix                     fix the overlaps, gaps, short and long subtitles by "
        "moving ends\n",
    .make = [](const std::vector<std::string_view>&) -> std::unique_ptr<Tool> {
        return std::make_unique<Fix>();
    },
    .takesTimingRules = true};

}  // namespace tirelle::cli
