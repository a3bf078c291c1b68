// The cost of the 40 ms tick and of a preview refresh with 100,000 subtitles in the store.
//   bench_ui_preview [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <memory>
#include <string>

#include "app/application.h"
#include "app/srtform.h"
#include "bench/widgetbench.h"
#include "tests/support/formfixture.h"
#include "tests/support/generatedrows.h"

using tirelle::testing::FormFixture;

namespace {

constexpr int kRows = 100000;

// Fills DB.mdb with kRows subtitles of 2 s, one every 3 s, in one statement.
void fillStore(const tirelle::testing::TempFolder& folder) {
    tirelle::store::Connection connection;
    connection.open(folder.path());
    tirelle::testing::FillGeneratedRows(connection, kRows, "");
}

// Made on first use and destroyed before the application object (widgets must not outlive it).
std::unique_ptr<FormFixture> theFixture;

FormFixture& fixture() {
    if (!theFixture) theFixture = std::make_unique<FormFixture>(fillStore);
    return *theFixture;
}

void BM_TickWithoutRefresh(benchmark::State& state) {
    auto& form = *fixture().form;
    auto* player = fixture().player;
    player->setPosition(3.0 * 50000 + 1.5);  // inside subtitle 50000
    form.WMP1PositionChange(0, 0);           // refresh once: bounds set around the position
    for (auto _ : state) form.Timer2Timer();
    if (form.DSFind.commandText().empty()) state.SkipWithError("no refresh happened");
}
BENCHMARK(BM_TickWithoutRefresh);

void BM_Refresh(benchmark::State& state) {
    auto& form = *fixture().form;
    auto* player = fixture().player;
    const double position = 3.0 * (kRows - 1) * state.range(0) / 100.0 + 1.5;
    player->setPosition(position);
    form.WMP1PositionChange(0, 0);  // cursor on the active row
    for (auto _ : state) form.RefreshPreview();
}
BENCHMARK(BM_Refresh)->Arg(1)->Arg(50)->Arg(99)->Unit(benchmark::kMicrosecond);

void BM_Resync(benchmark::State& state) {
    auto& form = *fixture().form;
    auto* player = fixture().player;
    const double position = 3.0 * (kRows - 1) * state.range(0) / 100.0 + 1.5;
    player->setPosition(position);
    for (auto _ : state) form.WMP1PositionChange(0, 0);
}
BENCHMARK(BM_Resync)->Arg(1)->Arg(50)->Arg(99)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return tirelle::bench::RunWidgetBenchmarks<tirelle::app::Application>(
        argc, argv, [] { theFixture.reset(); });
}
