// The timing checks on 100,000 subtitles: the whole check from scratch, the check again after
// a single edit, and the fix of every row as one undo step through the store. There is no peer
// that checks by these rules, so each figure is printed against its target (of_target: the
// time over the target, 1 is the target itself; Google Benchmark prints it with an "s", as
// it prints every inverted rate). The times are CPU times, the fair figure on a shared machine.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "checks/checker.h"
#include "checks/fix.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "tests/support/encodedtext.h"
#include "tests/support/generatedrows.h"
#include "tests/support/tempfolder.h"

namespace {

using namespace tirelle;

constexpr int kRows = 100000;

// The time of an iteration over the target, as a counter.
void AgainstTarget(benchmark::State& state, double targetSeconds) {
    state.counters["of_target"] = benchmark::Counter(
        targetSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Subtitles 3 s apart, 0.3 to 4 s long (so some are short and some overlap the next), with two
// lines of 8 to 24 Chinese characters in the code page.
std::vector<store::SubRecord> GeneratedRows(const CodePage& codePage) {
    std::mt19937 g(11);
    std::uniform_int_distribution<int> length(300, 4000), words(2, 6);
    const auto line = [&] {
        std::string text;
        for (int i = words(g); i > 0; --i) text += "你好世界";
        return text;
    };
    std::vector<store::SubRecord> rows(kRows);
    for (int i = 0; i < kRows; ++i) {
        store::SubRecord& row = rows[static_cast<std::size_t>(i)];
        row.aid = i + 1;
        row.SubSort = i * 3.0 + 1;
        row.SubSortEnd = row.SubSort + length(g) / 1000.0;
        row.SubText = line() + "\r\n" + line();
        if (codePage.kind() == CodePage::Kind::Gbk)
            row.SubText = testing::Encoded(row.SubText, "GBK");
    }
    return rows;
}

const CodePage kCodePages[] = {CodePage(CodePage::Kind::Utf8), CodePage(CodePage::Kind::Gbk)};

void BM_CheckFromScratch(benchmark::State& state) {
    const CodePage& codePage = kCodePages[state.range(0)];
    const auto rows = GeneratedRows(codePage);
    checks::TimingChecker checker(codePage);
    for (auto _ : state) {
        checker.reset(rows);
        benchmark::DoNotOptimize(checker.problemCount());
    }
    state.counters["problems"] = static_cast<double>(checker.problemCount());
    AgainstTarget(state, 0.050);
}
BENCHMARK(BM_CheckFromScratch)->ArgName("gbk")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The pure function the command line runs, for comparison.
void BM_CheckRows(benchmark::State& state) {
    const CodePage& codePage = kCodePages[state.range(0)];
    const auto rows = GeneratedRows(codePage);
    for (auto _ : state) benchmark::DoNotOptimize(checks::CheckRows(rows, {}, codePage));
    AgainstTarget(state, 0.050);
}
BENCHMARK(BM_CheckRows)->ArgName("gbk")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One row edited (new times and text, so that it moves in start order), checked again.
void BM_CheckAfterEdit(benchmark::State& state) {
    const CodePage& codePage = kCodePages[0];
    auto rows = GeneratedRows(codePage);
    checks::TimingChecker checker(codePage);
    checker.reset(rows);
    std::mt19937 g(3);
    std::uniform_int_distribution<std::size_t> pick(0, rows.size() - 1);
    for (auto _ : state) {
        store::SubRecord& row = rows[pick(g)];
        row.SubSort = rows[pick(g)].SubSort + 0.5;
        row.SubSortEnd = row.SubSort + 1.2;
        row.SubText += "字";
        benchmark::DoNotOptimize(checker.update({&row, 1}, {}));
    }
    AgainstTarget(state, 0.001);
}
BENCHMARK(BM_CheckAfterEdit)->Unit(benchmark::kMicrosecond);

// 100,000 rows of a store file with its history, each overlapping the next by 1.5 s: the fix
// moves every end, as one undo step. The step is undone between iterations, untimed.
void BM_FixAsOneStep(benchmark::State& state) {
    testing::TempFolder folder;
    store::Connection connection;
    connection.open(folder.path());
    store::History history;
    history.open(connection);
    testing::FillGeneratedRows(connection, kRows, "第二行");
    connection.execute("update Sub set SubSortEnd = SubSortEnd + 2.5, ETime = ETime || ''",
                       "bench");
    store::Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText(store::kSelectAllSql);
    sub.setHistory(&history);
    sub.open();
    std::size_t changed = 0;
    for (auto _ : state) {
        changed = checks::ApplyTimingFix(sub, &history, {});
        state.PauseTiming();
        history.undo();
        sub.reload();
        state.ResumeTiming();
    }
    state.counters["rows_changed"] = static_cast<double>(changed);
    AgainstTarget(state, 0.300);
}
BENCHMARK(BM_FixAsOneStep)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
