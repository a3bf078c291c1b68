// The subtitle store: posting rows one by one, requerying and holding 100,000 rows, the two
// preview statements early, in the middle and late in a long file, and locate by aid.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "base/timecode.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/scratchquery.h"
#include "store/statements.h"
#include "store/transaction.h"
#include "tests/support/generatedrows.h"
#include "tests/support/tempfolder.h"

namespace {

using namespace tirelle;
using namespace tirelle::store;

constexpr int kLargeRows = 100000;
constexpr double kSpacing = 3.0;  // seconds between starts

// Resident memory of this process in kB, from /proc/self/status.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// A store of 100,000 subtitles about 3 s apart, 1 to 5 s long, made once per run.
class LargeStore {
public:
    LargeStore() {
        connection.open(folder.path());
        std::mt19937 g(7);
        std::uniform_real_distribution<double> length(1, 5);
        Transaction transaction(connection, "bench");
        Statement insert(connection.handle(),
                         "insert into Sub (STime, ETime, SubText, SubSort, SubSortEnd) "
                         "values (?1, ?2, ?3, ?4, ?5)",
                         "bench");
        for (int i = 0; i < kLargeRows; ++i) {
            const double start = i * kSpacing + 0.25;
            const double end = start + length(g);
            const std::string s = SecondsToTimeCode(start);
            const std::string e = SecondsToTimeCode(end);
            const std::string text = testing::SampleGbkText(g);
            insert.bindText(1, s);
            insert.bindText(2, e);
            insert.bindText(3, text);
            insert.bindDouble(4, TimeToSeconds(s));
            insert.bindDouble(5, TimeToSeconds(e));
            insert.step();
            insert.reset();
        }
        transaction.commit();
        connection.open(folder.path());  // as at start-up: the bound is recomputed
    }

    testing::TempFolder folder;
    Connection connection;
};

LargeStore& Large() {
    static LargeStore store;
    return store;
}

void OpenWorking(Dataset& sub, Connection& connection) {
    sub.setConnection(&connection);
    sub.setCommandText(kSelectAllSql);
    sub.open();
}

void BM_AppendPost10k(benchmark::State& state) {
    std::mt19937 g(3);
    for (auto _ : state) {
        state.PauseTiming();
        auto folder = std::make_unique<testing::TempFolder>();
        Connection connection;
        connection.open(folder->path());
        Dataset sub;
        OpenWorking(sub, connection);
        std::vector<std::string> texts;
        for (int i = 0; i < 10000; ++i) texts.push_back(testing::SampleGbkText(g));
        state.ResumeTiming();
        // Grouped as the open command groups its posts: one by one, each commit would wait
        // for the disk (every commit is synced).
        connection.execute("begin", "bench");
        for (int i = 0; i < 10000; ++i) {
            sub.append();
            sub.fieldByName("STime").setAsString(MillisecondsToTime(i * 3000));
            sub.fieldByName("ETime").setAsString(MillisecondsToTime(i * 3000 + 2000));
            sub.fieldByName("SubText").setAsString(texts[static_cast<std::size_t>(i)]);
            sub.post();
        }
        connection.execute("commit", "bench");
        sub.requery();
        benchmark::DoNotOptimize(sub.recordCount());
    }
}
BENCHMARK(BM_AppendPost10k)->Unit(benchmark::kMillisecond)->Iterations(5);

// One confirmed change as a list edit makes it: one row posted on its own, committed and
// synced to the disk before post() returns, in a store of 1000 rows. Target: 5 ms or less.
void BM_PostOneEdit(benchmark::State& state) {
    testing::TempFolder folder;
    Connection connection;
    connection.open(folder.path());
    connection.execute(
        "insert into Sub (STime, ETime, SubText, SubSort, SubSortEnd) with recursive n(i) as "
        "(select 0 union all select i + 1 from n where i < 999) select '00:00:01,000', "
        "'00:00:02,000', 'text ' || i, 1, 2 from n",
        "bench");
    Dataset sub;
    OpenWorking(sub, connection);
    sub.moveBy(500);
    int n = 0;
    for (auto _ : state) {
        sub.edit();
        sub.fieldByName("SubText").setAsString("edited " + std::to_string(++n));
        sub.post();
    }
}
BENCHMARK(BM_PostOneEdit)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_Requery100k(benchmark::State& state) {
    LargeStore& large = Large();
    const long before = ResidentKb();
    Dataset sub;
    OpenWorking(sub, large.connection);
    state.counters["opened_MB"] = static_cast<double>(ResidentKb() - before) / 1024.0;
    for (auto _ : state) {
        sub.requery();
        benchmark::DoNotOptimize(sub.recordCount());
    }
    state.counters["rows"] = sub.recordCount();
    state.counters["VmRSS_MB"] = static_cast<double>(ResidentKb()) / 1024.0;
    state.counters["loaded_MB"] = static_cast<double>(ResidentKb() - before) / 1024.0;
}
BENCHMARK(BM_Requery100k)->Unit(benchmark::kMillisecond)->Iterations(10);

// Position at the given per cent of the file.
double PositionAt(int percent) {
    return kLargeRows * kSpacing * percent / 100.0 + 1.0;
}

template <typename MakeSql>
void RunPreviewStatement(benchmark::State& state, MakeSql makeSql) {
    LargeStore& large = Large();
    ScratchQuery find;
    find.setConnection(&large.connection);
    const double position = PositionAt(static_cast<int>(state.range(0)));
    int rows = 0;
    for (auto _ : state) {
        find.close();
        find.setCommandText(makeSql(position));
        find.open();
        rows = 0;
        for (find.first(); !find.eof(); find.next()) ++rows;
        benchmark::DoNotOptimize(find.field(0).asFloat());
    }
    state.counters["rows"] = rows;
}

void BM_ActiveSubtitles(benchmark::State& state) {
    RunPreviewStatement(state, [](double p) { return ActiveSubtitlesSql(p); });
}
BENCHMARK(BM_ActiveSubtitles)->Arg(1)->Arg(50)->Arg(99)->Unit(benchmark::kMicrosecond);

// The plain statement, for comparison.
void BM_ActiveSubtitlesUnbounded(benchmark::State& state) {
    RunPreviewStatement(state, [](double p) {
        const std::string n = SecondsToNumberText(p);
        return "SELECT * from sub where SubSort<" + n + " and SubSortEnd>" + n +
               " order by SubSort Desc";
    });
}
BENCHMARK(BM_ActiveSubtitlesUnbounded)->Arg(1)->Arg(50)->Arg(99)->Unit(benchmark::kMicrosecond);

void BM_LatestStart(benchmark::State& state) {
    RunPreviewStatement(state, [](double p) { return LatestStartSql(p); });
}
BENCHMARK(BM_LatestStart)->Arg(1)->Arg(50)->Arg(99)->Unit(benchmark::kMicrosecond);

// Cursor on the first row, the row looked for at the given per cent of the file.
void BM_LocateAid(benchmark::State& state) {
    LargeStore& large = Large();
    Dataset sub;
    OpenWorking(sub, large.connection);
    sub.moveBy(static_cast<int>(kLargeRows * state.range(0) / 100) - 1);
    const std::int64_t aid = sub.fieldByName("aid").asInteger();
    for (auto _ : state) {
        state.PauseTiming();
        sub.first();
        state.ResumeTiming();
        benchmark::DoNotOptimize(sub.locate("aid", aid));
    }
}
BENCHMARK(BM_LocateAid)->Arg(1)->Arg(50)->Arg(100)->Unit(benchmark::kMicrosecond);

// As the preview does it: the cursor in the middle, the row looked for just after it.
void BM_LocateAidNextRow(benchmark::State& state) {
    LargeStore& large = Large();
    Dataset sub;
    OpenWorking(sub, large.connection);
    sub.moveBy(kLargeRows / 2 + 1);
    const std::int64_t aid = sub.fieldByName("aid").asInteger();
    const Bookmark middle{kLargeRows / 2, sub.rowAt(kLargeRows / 2).aid};
    for (auto _ : state) {
        sub.gotoBookmark(middle);
        benchmark::DoNotOptimize(sub.locate("aid", aid));
    }
}
BENCHMARK(BM_LocateAidNextRow)->Unit(benchmark::kMicrosecond);

void BM_LocateSubSort(benchmark::State& state) {
    LargeStore& large = Large();
    Dataset sub;
    OpenWorking(sub, large.connection);
    sub.moveBy(static_cast<int>(kLargeRows * state.range(0) / 100) - 1);
    const double start = sub.fieldByName("SubSort").asFloat();
    for (auto _ : state) {
        state.PauseTiming();
        sub.first();
        state.ResumeTiming();
        benchmark::DoNotOptimize(sub.locate("SubSort", start));
    }
}
BENCHMARK(BM_LocateSubSort)->Arg(1)->Arg(50)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
