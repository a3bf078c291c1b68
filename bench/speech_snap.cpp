// The speech detector and the snap, run by scripts/bench:
//   bench_speech_snap films DIR   per film of DIR (made by scripts/make-speech-media): every
//                                 edge moved by up to 0.4 s (seeded), then snapped; the share
//                                 of edges within 100 ms of the truth and the median error, left
//                                 alone and snapped; then snapping 100,000 stored rows as the
//                                 window's step does
//   bench_speech_snap store      only snapping the 100,000 stored rows
//   bench_speech_snap analyse FILE   peaks and speech of FILE from one decoding, then the
//                                 spans from the cache; one line of key=value pairs
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "speech/analysis.h"
#include "speech/cache.h"
#include "speech/load.h"
#include "speech/snapstep.h"
#include "store/connection.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"
#include "tests/support/typedrows.h"
#include "base/timecode.h"

using namespace tirelle;
using namespace tirelle::speech;

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Score {
    double within = 0;  // share of edges within 100 ms
    double median = 0;  // seconds
};

Score Compare(const std::vector<Timing>& got, const std::vector<Timing>& truth) {
    std::vector<double> errors;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        errors.push_back(std::abs(got[i].start - truth[i].start));
        errors.push_back(std::abs(got[i].end - truth[i].end));
    }
    const auto near = std::count_if(errors.begin(), errors.end(), [](double e) { return e <= 0.1; });
    std::nth_element(errors.begin(), errors.begin() + errors.size() / 2, errors.end());
    return {static_cast<double>(near) / errors.size(), errors[errors.size() / 2]};
}

int Store();

int Films(const std::string& folder) {
    // The four films of the targets, then one that no rule of the detector was chosen on.
    const struct {
        const char* name;
        bool target;
    } films[] = {{"speech-20db", true}, {"speech-13db-music", true}, {"speech-7db", true},
                 {"speech-15db-music", true}, {"speech-10db-pad", false}};
    std::printf("%-20s %6s %22s %22s\n", "film", "lines", "left alone", "snapped");
    bool allMet = true;
    for (const auto& [film, target] : films) {
        const AudioAnalysis analysis = AnalyseAudio(folder + "/" + film + ".mp4", {});
        if (analysis.status != SpeechStatus::Found) {
            std::fprintf(stderr, "%s: no speech (%s)\n", film, analysis.message.c_str());
            return 1;
        }
        std::vector<Timing> truth;
        std::ifstream in(folder + "/" + film + ".spans");
        for (double s, e; in >> s >> e;) truth.push_back({s, e});
        std::mt19937 random(26);
        std::uniform_real_distribution<double> shift(-0.4, 0.4);
        std::vector<Timing> moved = truth;
        for (Timing& t : moved) t.start += shift(random), t.end += shift(random);
        const Score alone = Compare(moved, truth);
        const Score snapped = Compare(SnapToSpeech(moved, analysis.spans).timings, truth);
        std::printf("%-20s %6zu %9.1f%% %8.1f ms %9.1f%% %8.1f ms%s\n", film, truth.size(), 100 * alone.within,
                    1000 * alone.median, 100 * snapped.within, 1000 * snapped.median, target ? "" : "  (check)");
        if (target) allMet = allMet && snapped.within >= 0.95 && snapped.median <= 0.030;
    }
    std::printf("targets (>= 95%%, <= 30 ms on each of the four films): %s\n", allMet ? "met" : "NOT met");
    return Store();
}

// 100,000 rows, a subtitle every 3 s with speech under each, through the store step.
int Store() {    testing::TempFolder store;
    store::Connection connection;
    connection.open(store.path());
    store::History history;
    history.open(connection);
    store::Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText(store::kSelectAllSql);
    sub.setHistory(&history);
    sub.open();
    std::vector<testing::TypedRow> rows;
    SpeechSpans spans;
    for (int i = 0; i < 100000; ++i) {
        rows.push_back({SecondsToTimeCode(3.0 * i + 0.3), SecondsToTimeCode(3.0 * i + 2.2), "x"});
        spans.push_back({3.0 * i + 0.1, 3.0 * i + 2.4, 1});
    }
    testing::AppendRows(sub, rows);
    sub.requery();
    const double begin = Now();
    const SnapCounts counts = SnapAllToSpeech(sub, history, spans);
    std::printf("snapping 100,000 stored rows: %.3f s (%zu changed; target <= 0.2 s)\n", Now() - begin, counts.changed);
    return 0;
}

int Analyse(const std::string& file) {
    const double begin = Now();
    const AudioAnalysis analysis = AnalyseAudio(file, {});
    const double total = Now() - begin;
    if (analysis.status != SpeechStatus::Found && analysis.status != SpeechStatus::NoSpeech) {
        std::fprintf(stderr, "analysis failed: %s\n", analysis.message.c_str());
        return 1;
    }
    testing::TempFolder folder;
    const auto key = waveform::KeyForFile(file);
    SpeechCache(folder.path()).store(*key, analysis.spans);
    const double loadBegin = Now();
    const LoadedSpeech loaded = LoadSpeech(file, folder.path(), nullptr, "");
    const double load = Now() - loadBegin;
    if (!loaded.fromCache || loaded.spans != analysis.spans) {
        std::fprintf(stderr, "the cache gave other spans\n");
        return 1;
    }
    std::printf("total_s=%.3f cache_load_s=%.4f spans=%zu\n", total, load, analysis.spans.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "films") return Films(argv[2]);
    if (mode == "analyse") return Analyse(argv[2]);
    if (argc == 2 && std::string(argv[1]) == "store") return Store();
    std::fprintf(stderr, "usage: %s films DIR | store | analyse FILE\n", argv[0]);
    return 2;
}
