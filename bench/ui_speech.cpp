// The window's snap commands over 100,000 subtitles with the list attached, as the program
// runs them: 对齐语音（全部） onto speech under every row and 镜头对齐 onto a cut near every start,
// each one undo step.
//   bench_ui_speech [--benchmark_filter=...]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <memory>

#include "bench/widgetbench.h"
#include "shots/alignstep.h"
#include "speech/snapstep.h"
#include "store/history.h"

namespace {

// The listed rows (row i from 3i+1 to 3i+3 s) recording into a history, and two sets of
// speech and of cuts a little apart, so that every run moves every row again.
struct SpeechFixture : tirelle::bench::ListedStore {
    tirelle::store::History history;
    tirelle::speech::SpeechSpans speech[2];
    tirelle::shots::ShotCuts cuts[2];
    int turn = 0;  // the set the next run moves the rows to (the rows are on the other)

    explicit SpeechFixture(int rows) : ListedStore(rows, "and its second line") {
        history.open(connection);
        sub.setHistory(&history);
        for (int i = 0; i < rows; ++i) {
            speech[0].push_back({3.0 * i + 0.8, 3.0 * i + 3.2, 1});
            speech[1].push_back({3.0 * i + 1.2, 3.0 * i + 2.8, 1});
            cuts[0].times.push_back(3.0 * i + 0.8);
            cuts[1].times.push_back(3.0 * i + 1.2);
        }
    }
    ~SpeechFixture() { sub.setHistory(nullptr); }
};

std::unique_ptr<SpeechFixture> theFixture;

SpeechFixture& fixture() {
    if (!theFixture) theFixture = std::make_unique<SpeechFixture>(100000);
    return *theFixture;
}

void BM_SnapAllToSpeech(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        const auto counts = tirelle::speech::SnapAllToSpeech(f.sub, f.history, f.speech[f.turn]);
        QCoreApplication::processEvents();  // the list drawn once
        if (counts.changed == 0) state.SkipWithError("nothing moved");
        f.turn = 1 - f.turn;
    }
}
BENCHMARK(BM_SnapAllToSpeech)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AlignToCuts(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        const auto alignment = tirelle::shots::AlignStoreToCuts(f.sub, f.cuts[f.turn], &f.history);
        QCoreApplication::processEvents();
        if (alignment.changes.empty()) state.SkipWithError("nothing moved");
        f.turn = 1 - f.turn;
    }
}
BENCHMARK(BM_AlignToCuts)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return tirelle::bench::RunWidgetBenchmarks(argc, argv, [] { theFixture.reset(); });
}
