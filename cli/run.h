#pragma once
// Running a parsed command line: every input file goes through the program's own open, one
// tool of the tools window and the save, on a store that belongs to this process alone.

#include "base/codepage.h"
#include "cli/options.h"

namespace tirelle::cli {

// Does the work and writes the program's messages to standard error. Returns the exit status:
// 0 when every file was done, 1 when the store could not be made or any file failed (the
// others are still done; a file that failed is left as it was).
int Run(const Options& options, const CodePage& codePage);

// An error message as the program shows it: a "." is added when the last character sorts
// after "." (letters, digits, Chinese characters; not ")").
std::string WithFullStop(std::string message);

}  // namespace tirelle::cli
