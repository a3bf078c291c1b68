#pragma once
// The check and fix subcommands (defined in checkcommand.cpp, listed in subcommands.cpp): the
// settings their options give and the report check prints.

#include <string>

#include "base/codepage.h"
#include "checks/profile.h"
#include "cli/options.h"
#include "store/dataset.h"

namespace tirelle::cli {

// The profile and frame rate of --profile and --fps (the defaults without them).
checks::CheckSettings CheckSettingsOf(const Options& options);

// The problems of the rows of one file as check prints them: one line per problem, "position
// start kind value" (the position in start order from 1, the start's time code), each line
// preceded by "FILE:" when several files are checked; with --json one line holding the file's
// JSON object. Sets `found` when the file has a problem.
std::string ProblemReport(const store::Dataset& sub, const std::string& file,
                          const Options& options, const CodePage& codePage, bool& found);

}  // namespace tirelle::cli
