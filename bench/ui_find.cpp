// A find over the subtitle list of 100,000 subtitles that matches nothing: the worst case, one
// whole walk of the working dataset and one redraw of the list at the end. Target: 50 ms.
//   bench_ui_find [--benchmark_filter=...]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <memory>

#include "app/listview/searchlist.h"
#include "bench/widgetbench.h"
#include "store/dataset.h"

using tirelle::MatchKind;
using tirelle::listview::SearchDirection;
using tirelle::listview::SearchList;
using tirelle::listview::SearchOptions;

namespace {

constexpr int kRows = 100000;

// A store of kRows two-line subtitles, one every 3 seconds, shown by the list.
struct FindFixture : tirelle::bench::ListedStore {
    FindFixture() : ListedStore(kRows, "第二行的文字 and its second line") {}
};

std::unique_ptr<FindFixture> theFixture;

FindFixture& fixture() {
    if (!theFixture) theFixture = std::make_unique<FindFixture>();
    return *theFixture;
}

// One Find press that finds nothing, from the middle of the list, with the redraw it causes.
void findNothing(benchmark::State& state, tirelle::store::Column column, bool allColumns,
                 bool ignoreCase, MatchKind match) {
    auto& f = fixture();
    f.sub.first();
    f.sub.moveBy(kRows / 2);
    f.paint();
    SearchOptions options;
    options.allColumns = allColumns;
    options.caseInsensitive = ignoreCase;
    for (auto _ : state) {
        const bool found =
            SearchList(*f.grid, column, "no such text", options, SearchDirection::All, match);
        f.paint();
        if (found || f.sub.currentRow() != kRows / 2) state.SkipWithError("the search moved");
    }
    state.counters["rows"] = f.sub.rowCount();
}

void BM_FindNothingInText(benchmark::State& state) {
    findNothing(state, tirelle::store::Column::SubText, false, true, MatchKind::AnyPart);
}
BENCHMARK(BM_FindNothingInText)->Unit(benchmark::kMillisecond);

void BM_FindNothingInTextMatchCase(benchmark::State& state) {
    findNothing(state, tirelle::store::Column::SubText, false, false, MatchKind::AnyPart);
}
BENCHMARK(BM_FindNothingInTextMatchCase)->Unit(benchmark::kMillisecond);

void BM_FindNothingInAllColumns(benchmark::State& state) {
    findNothing(state, tirelle::store::Column::STime, true, true, MatchKind::AnyPart);
}
BENCHMARK(BM_FindNothingInAllColumns)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return tirelle::bench::RunWidgetBenchmarks(argc, argv, [] { theFixture.reset(); });
}
