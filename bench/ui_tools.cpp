// The whole-store tools over 10,000 and 100,000 subtitles, with the list attached as in the
// program: shift, scale, wrap, split and merge, each through the tools library.
//   bench_ui_tools [--benchmark_filter=...]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <memory>

#include "base/timecode.h"
#include "bench/widgetbench.h"
#include "store/dataset.h"
#include "tools/operations.h"

namespace tools = tirelle::tools;

namespace {

// A store of `rows` two-line subtitles, one every 3 seconds, and the list showing it.
struct ToolsFixture : tirelle::bench::ListedStore {
    int rows;

    explicit ToolsFixture(int rowCount)
        : ListedStore(rowCount, "and its second line"), rows(rowCount) {}

    // Back to the original rows after a merge added some.
    void dropAddedRows() {
        connection.execute("delete from Sub where aid > " + std::to_string(rows), "bench");
        sub.requery();
    }
};

// One fixture per size, made on first use and destroyed before the application object.
std::unique_ptr<ToolsFixture> theFixture;

ToolsFixture& fixture(int rows) {
    if (!theFixture || theFixture->rows != rows) {
        theFixture.reset();
        theFixture = std::make_unique<ToolsFixture>(rows);
    }
    return *theFixture;
}

// Every operation ends with the event loop drawing the list once.
void settle() {
    QCoreApplication::processEvents();
}

void BM_ShiftAll(benchmark::State& state) {
    auto& f = fixture(static_cast<int>(state.range(0)));
    double seconds = 1.5;
    for (auto _ : state) {
        tools::ShiftAll(f.sub, seconds);
        settle();
        seconds = -seconds;
    }
}
BENCHMARK(BM_ShiftAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScaleAll(benchmark::State& state) {
    auto& f = fixture(static_cast<int>(state.range(0)));
    const double last = 3.0 * (f.rows - 1) + 1;
    bool stretch = true;
    for (auto _ : state) {
        tools::ScaleAll(f.sub, 1, stretch ? last * 1.01 : last);
        settle();
        stretch = !stretch;
    }
}
BENCHMARK(BM_ScaleAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WrapAll(benchmark::State& state) {
    auto& f = fixture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        tools::WrapAll(f.sub, "<i>", "</i>");
        settle();
    }
}
BENCHMARK(BM_WrapAll)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SplitAfter(benchmark::State& state) {
    auto& f = fixture(static_cast<int>(state.range(0)));
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = tools::SplitAfter(f.sub, 0).size();
        settle();
    }
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_SplitAfter)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A file of as many blocks as the store has rows, merged at an offset.
void BM_MergeBlocks(benchmark::State& state) {
    auto& f = fixture(static_cast<int>(state.range(0)));
    tirelle::srt::LineList file;
    for (int i = 0; i < f.rows; ++i)
        tirelle::srt::AppendSrtBlock(file, i + 1, tirelle::SecondsToTimeCode(3.0 * i + 2),
                                     tirelle::SecondsToTimeCode(3.0 * i + 3),
                                     "merged number " + std::to_string(i) + "\r\nsecond line");
    for (auto _ : state) {
        tools::MergeBlocks(f.sub, file, 0.5);
        settle();
        state.PauseTiming();
        f.dropAddedRows();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MergeBlocks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return tirelle::bench::RunWidgetBenchmarks(argc, argv, [] { theFixture.reset(); });
}
