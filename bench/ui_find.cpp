// A find over the subtitle list of 100,000 subtitles that matches nothing: the worst case, one
// whole walk of the working dataset and one redraw of the list at the end. Target: 50 ms.
//   bench_ui_find [--benchmark_filter=...]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "app/listview/searchlist.h"
#include "app/listview/subtitlegrid.h"
#include "bench/widgetbench.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/statements.h"
#include "tests/support/generatedrows.h"
#include "tests/support/tempfolder.h"

using tirelle::MatchKind;
using tirelle::listview::SearchDirection;
using tirelle::listview::SearchList;
using tirelle::listview::SearchOptions;
using tirelle::listview::SubtitleGrid;

namespace {

constexpr int kRows = 100000;

// A store of kRows two-line subtitles, one every 3 seconds, shown by the list.
struct FindFixture {
    tirelle::testing::TempFolder folder;
    tirelle::store::Connection connection;
    tirelle::store::Dataset sub;
    std::unique_ptr<SubtitleGrid> grid;

    FindFixture() {
        connection.open(folder.path());
        tirelle::testing::FillGeneratedRows(connection, kRows, "第二行的文字 and its second line");
        sub.setConnection(&connection);
        sub.setCommandText(tirelle::store::kSelectAllSql);
        sub.beforePost = tirelle::store::DeriveSortKeys;
        sub.open();
        grid = std::make_unique<SubtitleGrid>();
        grid->resize(420, 800);
        grid->setDataset(&sub);
        grid->show();
        QCoreApplication::processEvents();
    }
    ~FindFixture() { grid->setDataset(nullptr); }
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
    f.grid->viewport()->repaint();
    SearchOptions options;
    options.allColumns = allColumns;
    options.caseInsensitive = ignoreCase;
    for (auto _ : state) {
        const bool found = SearchList(*f.grid, column, "no such text", options,
                                      SearchDirection::All, match);
        f.grid->viewport()->repaint();
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
