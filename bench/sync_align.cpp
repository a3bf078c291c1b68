// Whole-file sync: how close the edges come back after each distortion, and how long the
// alignment takes once the speech is known.
//
//   bench_sync_align [--films DIR] [--runs N]
//
// Prints, for four synthetic three-minute films (32 to 38 lines, a detector's noise and music)
// and each distortion, the share of edges within 100 ms of the truth and the median error,
// left alone and after the sync; then the time of the alignment of 1,500 lines against two
// hours of speech (median of N runs, wall and CPU; target 0.1 s).
// With --films, the same table for every NAME.truth.srt in DIR (the true spans of a film's
// sentences) against NAME.spans (the detector's spans, "start end" in seconds per line) or,
// without it, the speech the detector finds in the video NAME.* beside it.
// Exit status 1 when a target is missed.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/errors.h"
#include "cli/syncspeech.h"
#include "sync/align.h"
#include "sync/storesync.h"
#include "tests/support/syntheticspeech.h"
#include "tools/srtfiles.h"

namespace {

using namespace tirelle;
using testing::Distortion;

struct Film {
    std::string name;
    testing::SyntheticFilm film;
};

struct Row {
    const char* name;
    Distortion distortion;
    double targetShare;   // every film at least
    double targetMedian;  // every film at most (0: none)
};

constexpr Row kRows[] = {
    {"constant offset of 2-18 s", Distortion::Offset, 1.0, 0.030},
    {"25/23.976 stretch plus an offset", Distortion::Stretch, 1.0, 0},
    {"a 15-45 s break in the middle plus an offset", Distortion::Jump, 0.98, 0},
};

// Prints one line per distortion: the mean share and median over the films, left alone and
// synced, and the worst film. Returns false when a film misses the target. Jumps go both ways
// only where the film has a quiet scene at the jump (the synthetic ones): in a real film, a
// jump back would lay the lines after it over the lines before.
bool Table(const std::vector<Film>& films, bool jumpsBack) {
    bool met = true;
    std::printf("%-46s %10s %10s %10s %10s %9s\n", "distortion", "alone", "synced", "worst",
                "median_ms", "refused");
    for (const Row& row : kRows) {
        double alone = 0, synced = 0, worst = 1, median = 0;
        int refused = 0;
        for (std::size_t f = 0; f < films.size(); ++f) {
            const testing::SyntheticFilm& film = films[f].film;
            // Offsets and jumps spread over the ranges, either way.
            const double offset = (2 + 16.0 * static_cast<double>(f % 4) / 3) * (f % 2 ? -1 : 1);
            const double jump =
                (15 + 10.0 * static_cast<double>(f % 4)) * (jumpsBack && f % 3 == 0 ? -1 : 1);
            const auto file = testing::Distort(film, row.distortion, offset, jump);
            alone += testing::ShareWithin(testing::EdgeErrors(film, file, {}), 0.1);
            double share = 0, error = 1e9;
            try {
                const sync::Alignment found =
                    sync::Align(file, film.speech, {sync::Target::Speech, true, film.duration});
                const auto errors = testing::EdgeErrors(film, file, found.mapping);
                share = testing::ShareWithin(errors, 0.1);
                error = testing::MedianOf(errors);
            } catch (const sync::SyncError& e) {
                ++refused;
                std::printf("  %s: %s\n", films[f].name.c_str(), e.what());
            }
            synced += share;
            worst = std::min(worst, share);
            median = std::max(median, error);
            if (share < row.targetShare || (row.targetMedian > 0 && error > row.targetMedian))
                met = false;
        }
        const double n = static_cast<double>(films.size());
        std::printf("%-46s %9.1f%% %9.1f%% %9.1f%% %10.1f %9d\n", row.name, 100 * alone / n,
                    100 * synced / n, 100 * worst, 1000 * median, refused);
    }
    return met;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Median wall and CPU seconds of aligning 1,500 lines (offset and a jump) against two hours.
bool Timing(int runs) {
    const testing::SyntheticFilm film = testing::MakeFilm(42, 1500);
    const auto file = testing::Distort(film, Distortion::Jump, 6.5, 31);
    std::vector<double> wall, cpu;
    for (int r = 0; r < runs; ++r) {
        const auto begin = std::chrono::steady_clock::now();
        const std::clock_t clock = std::clock();
        const sync::Alignment found =
            sync::Align(file, film.speech, {sync::Target::Speech, true, film.duration});
        cpu.push_back(static_cast<double>(std::clock() - clock) / CLOCKS_PER_SEC);
        wall.push_back(Seconds(std::chrono::steady_clock::now() - begin));
        if (r == 0)
            std::printf("1,500 lines, %.0f s of speech spans: %s\n", film.duration,
                        sync::Summary(found.mapping).c_str());
    }
    const double w = testing::MedianOf(wall), c = testing::MedianOf(cpu);
    std::printf("alignment: wall %.4f s, CPU %.4f s (median of %d; target 0.1 s)\n", w, c, runs);
    return w <= 0.1;
}

// NAME.spans: "start end" per line.
std::optional<std::vector<sync::Interval>> ReadSpans(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::vector<sync::Interval> spans;
    double a = 0, b = 0;
    while (in >> a >> b) spans.push_back({a, b});
    return spans;
}

std::vector<Film> RealFilms(const std::filesystem::path& folder) {
    std::vector<Film> films;
    const CodePage utf8(CodePage::Kind::Utf8);
    std::map<std::string, std::filesystem::path> videos;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const auto dot = name.find('.');
        if (dot != std::string::npos && name.find(".srt") == std::string::npos &&
            name.find(".spans") == std::string::npos)
            videos[name.substr(0, dot)] = entry.path();
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string suffix = ".truth.srt";
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string stem = name.substr(0, name.size() - suffix.size());
        Film film{stem, {}};
        film.film.truth = sync::ReferenceIntervals(tools::LoadSubtitleLines(entry.path(), utf8));
        // The quiet scene of the synthetic films is where they jump; a real film jumps in the
        // middle line.
        film.film.middle = film.film.truth.size() / 2;
        if (auto spans = ReadSpans(folder / (stem + ".spans"))) {
            film.film.speech = *spans;
        } else if (videos.count(stem)) {
            try {
                const cli::FilmSpeech speech = cli::BuiltInSpeech().speechOf(videos[stem]);
                film.film.speech = sync::SpeechIntervals(speech.spans);
                film.film.duration = speech.duration;
            } catch (const Error& e) {
                std::printf("%s: %s\n", stem.c_str(), e.what());
                continue;
            }
        } else {
            std::printf("%s: no %s.spans and no video\n", stem.c_str(), stem.c_str());
            continue;
        }
        if (film.film.duration == 0 && !film.film.speech.empty())
            film.film.duration = film.film.speech.back().end;
        films.push_back(std::move(film));
    }
    return films;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::filesystem::path> folder;
    int runs = 11;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--films") && i + 1 < argc)
            folder = argv[++i];
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            std::fprintf(stderr, "bench_sync_align: ignored %s\n", argv[i]);
    }
    std::vector<Film> synthetic;
    const int lines[] = {32, 34, 36, 38};
    for (std::uint32_t f = 0; f < 4; ++f)
        synthetic.push_back(
            {"film " + std::to_string(f + 1), testing::MakeFilm(900 + f, lines[f])});
    std::printf("Four synthetic films, 32-38 lines, a detector's noise and music:\n");
    bool met = Table(synthetic, true);
    if (folder) {
        const std::vector<Film> films = RealFilms(*folder);
        std::printf("\n%zu films from %s:\n", films.size(), folder->c_str());
        if (!films.empty()) met = Table(films, false) && met;
    }
    std::printf("\n");
    met = Timing(runs) && met;
    return met ? 0 : 1;
}
