// A list post as the user makes it, with and without the undo history recording it: a typed
// character opens the editor on the text cell, Enter writes it, Down posts the row as one step
// and moves on, and the list repaints. On a store of 100,000 subtitles, rows in the middle.
//   bench_ui_history [--benchmark_filter=...]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <memory>

#include "app/listview/celleditor.h"
#include "bench/widgetbench.h"
#include "store/dataset.h"
#include "store/history.h"

namespace {

constexpr int kRows = 100000;

struct ListFixture : tirelle::bench::ListedStore {
    tirelle::store::History history;

    ListFixture() : ListedStore(kRows, "and its second line") {
        history.open(connection);
        focus();
        grid->setCurrentColumn(2);
    }
    ~ListFixture() { sub.setHistory(nullptr); }
};

std::unique_ptr<ListFixture> theFixture;

ListFixture& fixture() {
    if (!theFixture) theFixture = std::make_unique<ListFixture>();
    return *theFixture;
}

void typeAndPost(benchmark::State& state, bool recorded) {
    auto& f = fixture();
    f.sub.setHistory(recorded ? &f.history : nullptr);
    f.sub.first();
    f.sub.moveBy(kRows / 2);
    f.paint();
    // Every run types its own letter, so that every post changes its row.
    static int run = 0;
    const QChar letter = QChar(u'a' + run++ % 26);
    int moved = 0;
    for (auto _ : state) {
        f.press(Qt::Key_A + (letter.unicode() - u'a'), letter);  // opens the editor
        f.press(Qt::Key_Return, {}, f.grid->editor());           // writes it into the row
        f.press(Qt::Key_Down);                                   // posts, moves on
        f.paint();
        if (++moved == 1000) {
            state.PauseTiming();
            f.sub.moveBy(-moved);
            moved = 0;
            state.ResumeTiming();
        }
    }
    state.counters["steps"] = f.history.stepCount();
}

void BM_TypeAndPost(benchmark::State& state) {
    typeAndPost(state, false);
}
void BM_TypeAndPostRecorded(benchmark::State& state) {
    typeAndPost(state, true);
}
// Each twice: the first pair starts with an empty history, the second with the history at its
// limit of steps, where every new step also drops the oldest.
BENCHMARK(BM_TypeAndPost)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_TypeAndPostRecorded)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_TypeAndPost)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_TypeAndPostRecorded)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    return tirelle::bench::RunWidgetBenchmarks(argc, argv, [] { theFixture.reset(); });
}
