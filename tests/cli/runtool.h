#pragma once
// tirelle-cli run as a process in a folder of its own, for the command-line tests.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/tempfolder.h"

namespace tirelle::testing {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs the tool in `folder` with a UTF-8 code page (or the locale given), `input` on standard
// input.
inline Outcome RunTool(const TempFolder& folder, const std::vector<std::string>& arguments,
                       const std::string& input, const char* locale = "C.UTF-8") {
    const auto in = folder.write(".stdin", input);
    const auto out = folder.file(".stdout"), err = folder.file(".stderr");
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>(TIRELLE_CLI_PATH)};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        dup2(open(in.c_str(), O_RDONLY), 0);
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        if (chdir(folder.path().c_str()) != 0) _exit(127);
        setenv("LC_ALL", locale, 1);
        setenv("XDG_CACHE_HOME", (folder.path() / ".cache").c_str(), 1);  // the media cache
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempFolder::read(out),
            TempFolder::read(err)};
}

// Nothing on standard error when `part` is empty, else a message holding it.
inline void ExpectMessage(const std::string& part, const std::string& err) {
    if (part.empty())
        EXPECT_EQ("", err);
    else
        EXPECT_NE(std::string::npos, err.find(part)) << err;
}

// Each file of the folder holds exactly its bytes.
inline void ExpectFiles(const TempFolder& folder, const std::map<std::string, std::string>& files) {
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(bytes, TempFolder::read(folder.file(name))) << name;
}

}  // namespace tirelle::testing
