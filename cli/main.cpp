// tirelle-cli: the tools window's operations on SRT files from the command line.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "cli/options.h"
#include "cli/process.h"
#include "cli/recode.h"
#include "cli/run.h"
#include "cli/snap.h"

namespace {

int UsageFailure(const std::string& message) {
    std::fprintf(stderr, "tirelle-cli: %s\nTry 'tirelle-cli --help' for more information.\n",
                 message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    tirelle::cli::PrepareProcess();
    using namespace tirelle::cli;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && arguments[0] == "snap")
        return RunSnap({arguments.begin() + 1, arguments.end()}, tirelle::CodePage::fromEnvironment());
    Command command;
    try {
        command = ParseCommandLine(arguments);
    } catch (const UsageError& error) {
        return UsageFailure(error.what());
    }
    if (command.kind == Command::Kind::Help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (command.kind == Command::Kind::Version) {
        std::puts("tirelle-cli " TIRELLE_VERSION);
        return 0;
    }
    const tirelle::CodePage codePage = tirelle::CodePage::fromEnvironment();
    const std::string& encoding = command.options.encoding;
    if (!encoding.empty() && !CanConvert(codePage, encoding))
        return UsageFailure("unknown encoding '" + encoding + "'");
    return Run(command.options, codePage);
}
