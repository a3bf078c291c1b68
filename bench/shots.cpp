// Shot-change detection on the 3-minute films of make-shot-media --films, side by side with
// ffmpeg's own scdet filter at its default threshold on the same files:
//   bench_shots FILMS_DIR [--runs=R]      (default 3 runs each)
// For each film: recall and precision at +-1 frame of tirelle-cli shots and of scdet, and the
// cuts each reports inside a fade, dissolve, flash or pan; the wall time of tirelle-cli shots
// with an empty cache against `ffmpeg -i FILM -vf scdet -f null -` (best of R each, run
// alternately so that a passing load hits both alike), and of tirelle-cli shots again, from the
// cache. Then 镜头对齐 over 100,000 stored rows through the store step, with the undo history, as
// the program runs it. Targets: recall and precision >= 98 %, ratio <= 0.5, cache <= 0.1 s,
// rule <= 0.2 s. Exit code 1 when a run fails, 2 when ffmpeg or the films are missing.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "shots/alignstep.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "tests/support/generatedrows.h"
#include "tests/support/tempfolder.h"

namespace {

using namespace tirelle;
using testing::TempFolder;
namespace fs = std::filesystem;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Timing {
    double wall = -1;  // seconds; negative when the command failed
    double cpu = 0;    // user and system seconds of the command and its threads
};

// Runs a command with its standard output and error into files.
Timing Run(const std::vector<std::string>& command, const fs::path& out, const fs::path& err,
           const std::string& cacheHome = "") {
    const double begin = Now();
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const auto& part : command) argv.push_back(const_cast<char*>(part.c_str()));
        argv.push_back(nullptr);
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        if (!cacheHome.empty()) setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0) return {};
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return {Now() - begin, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

struct Truth {
    double fps = 25;
    std::vector<long> cuts;                    // frames
    std::vector<std::pair<long, long>> quiet;  // frames, inclusive
};

Truth ReadTruth(const fs::path& file) {
    Truth truth;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "fps") {
            std::string rate;
            words >> rate;
            const auto slash = rate.find('/');
            truth.fps = slash == std::string::npos
                            ? std::stod(rate)
                            : std::stod(rate.substr(0, slash)) / std::stod(rate.substr(slash + 1));
        } else if (word == "cut") {
            long frame = 0;
            words >> frame;
            truth.cuts.push_back(frame);
        } else if (word == "quiet") {
            long first = 0, last = 0;
            words >> first >> last;
            truth.quiet.emplace_back(first, last);
        }
    }
    return truth;
}

struct Score {
    double recall = 0, precision = 0;
    int found = 0, reported = 0, insideQuiet = 0;
};

// Each true cut matches one reported time at most one frame away.
Score Judge(const Truth& truth, const std::vector<double>& times) {
    Score score;
    score.reported = static_cast<int>(times.size());
    std::vector<bool> used(times.size());
    for (const long cut : truth.cuts)
        for (std::size_t i = 0; i < times.size(); ++i)
            if (!used[i] && std::abs(times[i] * truth.fps - cut) <= 1 + 1e-6) {
                used[i] = true;
                ++score.found;
                break;
            }
    for (std::size_t i = 0; i < times.size(); ++i) {
        const long frame = std::lround(times[i] * truth.fps);
        if (used[i]) continue;
        for (const auto& [first, last] : truth.quiet)
            if (frame >= first && frame <= last) ++score.insideQuiet;
    }
    score.recall = truth.cuts.empty() ? 1 : double(score.found) / truth.cuts.size();
    score.precision = times.empty() ? 1 : double(score.found) / times.size();
    return score;
}

std::string Read(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The times scdet logs ("lavfi.scd.time: 8.08").
std::vector<double> ScdetTimes(const std::string& log) {
    std::vector<double> times;
    const std::string key = "lavfi.scd.time: ";
    for (auto at = log.find(key); at != std::string::npos; at = log.find(key, at + 1))
        times.push_back(std::stod(log.substr(at + key.size())));
    return times;
}

std::vector<double> Lines(const std::string& text) {
    std::vector<double> times;
    std::istringstream in(text);
    for (double time = 0; in >> time;) times.push_back(time);
    return times;
}

// 镜头对齐 over `rows` rows of a store with its history: rows every 3 s as the generated rows
// lie, cuts every 2 to 6 s.
bool TimeAlignment(int rows) {
    TempFolder folder;
    store::Connection connection;
    connection.open(folder.path());
    store::History history;
    history.open(connection);
    testing::FillGeneratedRows(connection, rows, "second line");
    store::Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText(store::kSelectAllSql);
    sub.setHistory(&history);
    sub.open();
    shots::ShotCuts cuts;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> shot(2, 6);
    for (double time = shot(random); time < 3.0 * rows; time += shot(random))
        cuts.times.push_back(std::round(time * 25) / 25);
    const double begin = Now();
    const std::clock_t cpu = std::clock();
    const shots::Alignment done = shots::AlignStoreToCuts(sub, cuts, &history);
    const double seconds = Now() - begin;
    std::printf(
        "镜头对齐 over %d rows, %zu cuts: %.3f s, CPU %.3f s (target <= 0.2): %d starts "
        "and %d ends moved, %d kept; undo step \"%s\"\n",
        rows, cuts.times.size(), seconds, double(std::clock() - cpu) / CLOCKS_PER_SEC,
        done.startsMoved, done.endsMoved, done.startsKept + done.endsKept,
        history.undoLabel().c_str());
    return history.undoLabel() == shots::kAlignStepLabel;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    fs::path films;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::atoi(argv[i] + 7);
        else
            films = argv[i];
    }
    if (films.empty() || runs < 1) {
        std::fprintf(stderr, "usage: bench_shots FILMS_DIR [--runs=R] (R at least 1)\n");
        return 1;
    }
    std::vector<fs::path> videos;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(films, error))
        if (entry.path().extension() == ".mp4" &&
            fs::exists(fs::path(entry.path()).replace_extension(".truth")))
            videos.push_back(entry.path());
    std::sort(videos.begin(), videos.end());
    if (videos.empty() || std::system("command -v ffmpeg >/dev/null") != 0) {
        std::fprintf(stderr, "no films in %s, or no ffmpeg: comparison skipped\n", films.c_str());
        return 2;
    }

    TempFolder work;
    const fs::path out = work.file("out"), err = work.file("err");
    bool ok = true;
    std::printf("%-8s %4s | %-24s | %-25s | %-21s | %-21s | %7s\n", "film", "cuts",
                "ours: recall prec. quiet", "scdet: recall prec. quiet", "wall: ours scdet ratio",
                "CPU: ours scdet ratio", "cache_s");
    for (const fs::path& video : videos) {
        const Truth truth = ReadTruth(fs::path(video).replace_extension(".truth"));
        Timing ours{1e9, 1e9}, theirs{1e9, 1e9};
        double cached = 1e9;
        std::vector<double> ourTimes, theirTimes;
        for (int run = 0; run < runs; ++run) {
            const std::string cache = work.file("cache" + std::to_string(run)).string();
            Timing t = Run({TIRELLE_CLI_PATH, "shots", video.string()}, out, err, cache);
            if (t.wall < 0) {
                std::fprintf(stderr, "tirelle-cli shots %s failed: %s\n", video.c_str(),
                             Read(err).c_str());
                return 1;
            }
            ours = {std::min(ours.wall, t.wall), std::min(ours.cpu, t.cpu)};
            ourTimes = Lines(Read(out));
            t = Run({TIRELLE_CLI_PATH, "shots", video.string()}, out, err, cache);
            ok = ok && t.wall >= 0 && Lines(Read(out)) == ourTimes;
            cached = std::min(cached, t.wall);
            t = Run({"ffmpeg", "-nostdin", "-hide_banner", "-i", video.string(), "-vf", "scdet",
                     "-f", "null", "-"},
                    out, err);
            if (t.wall < 0) {
                std::fprintf(stderr, "ffmpeg on %s failed\n", video.c_str());
                return 1;
            }
            theirs = {std::min(theirs.wall, t.wall), std::min(theirs.cpu, t.cpu)};
            theirTimes = ScdetTimes(Read(err));
        }
        const Score a = Judge(truth, ourTimes), b = Judge(truth, theirTimes);
        std::printf(
            "%-8s %4zu | %12.1f%% %5.1f%% %4d | %13.1f%% %5.1f%% %4d | %6.2f %6.2f %5.2fx | "
            "%6.2f %6.2f %5.2fx | %7.3f\n",
            video.stem().c_str(), truth.cuts.size(), 100 * a.recall, 100 * a.precision,
            a.insideQuiet, 100 * b.recall, 100 * b.precision, b.insideQuiet, ours.wall, theirs.wall,
            ours.wall / theirs.wall, ours.cpu, theirs.cpu, ours.cpu / theirs.cpu, cached);
    }
    std::printf(
        "best of %d runs each; targets: recall and precision >= 98%%, none inside a fade "
        "or pan, ratio <= 0.5, cache <= 0.1 s\n\n",
        runs);
    ok = TimeAlignment(100000) && ok;
    return ok ? 0 : 1;
}
