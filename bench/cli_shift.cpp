// The whole tirelle-cli process shifting a long SRT file, against ffmpeg converting the same
// file (SRT to SRT), alternately in the same run so that a passing load hits both alike.
//   bench_cli_shift [--blocks=N] [--runs=R]      (defaults: 100000 blocks, 5 runs each)
// Prints the best and the worst wall and CPU (user + system) time of each, and the ratio of
// the best CPU times; the aim is a ratio of at most 0.5. Exit code 1 when a run fails, 2 when
// ffmpeg is missing.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/timecode.h"
#include "tests/support/tempfolder.h"

namespace {

using tirelle::testing::TempFolder;

// A few common characters in UTF-8 (我 的 是 不 了 人 在 有), which ffmpeg reads as well.
const char* const kWords[] = {"\xE6\x88\x91", "\xE7\x9A\x84", "\xE6\x98\xAF", "\xE4\xB8\x8D",
                              "\xE4\xBA\x86", "\xE4\xBA\xBA", "\xE5\x9C\xA8", "\xE6\x9C\x89"};

// An SRT file as the save command writes it: one or two text lines per block.
std::string MakeSrt(int blocks) {
    std::string bytes;
    for (int k = 0; k < blocks; ++k) {
        const long long start = k * 4200LL + 17;
        bytes += std::to_string(k + 1) + "\r\n" + tirelle::MillisecondsToTime(start) + " --> " +
                 tirelle::MillisecondsToTime(start + 3100) + "\r\nLine " + std::to_string(k) + " ";
        for (int w = 0; w < 10; ++w) bytes += kWords[(k + w) % 8];
        if (k % 2 == 1) {
            bytes += "\r\n";
            for (int w = 0; w < 5; ++w) bytes += kWords[(k * 3 + w) % 8];
            bytes += " second line";
        }
        bytes += "\r\n\r\n";
    }
    return bytes;
}

struct Timing {
    double wall = 0;
    double cpu = 0;  // user + system of the child
};

// Runs the program with its output discarded (its messages still show); false when it fails.
bool Time(const std::vector<std::string>& command, Timing& timing) {
    const auto begin = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const auto& part : command) argv.push_back(const_cast<char*>(part.c_str()));
        argv.push_back(nullptr);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        setenv("LC_ALL", "C.UTF-8", 1);  // ffmpeg reads SRT as UTF-8; the tool does the same
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0) return false;
    timing.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    timing.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Series {
    std::vector<Timing> runs;
    void print(const char* name) const {
        const auto wall = std::minmax_element(runs.begin(), runs.end(),
                                              [](auto& a, auto& b) { return a.wall < b.wall; });
        const auto cpu = std::minmax_element(runs.begin(), runs.end(),
                                             [](auto& a, auto& b) { return a.cpu < b.cpu; });
        std::printf("%-12s wall %.3f-%.3f s   cpu %.3f-%.3f s\n", name, wall.first->wall,
                    wall.second->wall, cpu.first->cpu, cpu.second->cpu);
    }
    double bestCpu() const {
        return std::min_element(runs.begin(), runs.end(),
                                [](auto& a, auto& b) { return a.cpu < b.cpu; })
            ->cpu;
    }
};

}  // namespace

int main(int argc, char** argv) {
    int blocks = 100000;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--blocks=", 9) == 0)
            blocks = std::atoi(argv[i] + 9);
        else if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::atoi(argv[i] + 7);
        else
            blocks = 0;  // not an option: the usage below
    }
    if (blocks < 1 || runs < 1) {
        std::fprintf(stderr, "usage: bench_cli_shift [--blocks=N] [--runs=R] (both at least 1)\n");
        return 1;
    }
    if (std::system("command -v ffmpeg >/dev/null") != 0) {
        std::fprintf(stderr, "ffmpeg not found: comparison skipped\n");
        return 2;
    }
    TempFolder folder;
    const std::string in = folder.write("in.srt", MakeSrt(blocks)).string();
    const std::string ours = folder.file("ours.srt").string();
    const std::string theirs = folder.file("ffmpeg.srt").string();

    Series cli, ffmpeg;
    for (int run = 0; run < runs; ++run) {
        Timing t;
        if (!Time({TIRELLE_CLI_PATH, "shift", "-1.5", in, "-o", ours}, t)) {
            std::fprintf(stderr, "tirelle-cli failed\n");
            return 1;
        }
        cli.runs.push_back(t);
        if (!Time({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", in, theirs}, t)) {
            std::fprintf(stderr, "ffmpeg failed\n");
            return 1;
        }
        ffmpeg.runs.push_back(t);
    }
    std::printf("%d blocks, %d runs each (best-worst)\n", blocks, runs);
    cli.print("tirelle-cli");
    ffmpeg.print("ffmpeg");
    std::printf("cpu ratio (best/best) %.2f; target <= 0.5\n", cli.bestCpu() / ffmpeg.bestCpu());
    return 0;
}
