// The undo history: what recording adds to a single list post, to an open of 100,000 blocks
// and to a shift of 100,000 rows; undo and redo of such steps; the size of what is recorded.
// Each figure is measured with and without the history in the same run, on a store file in WAL
// mode as the program uses it. The session extension over a whole-table step is measured too,
// for comparison with the copy of the table the history makes instead.

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/timecode.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "tests/support/generatedrows.h"
#include "tests/support/tempfolder.h"

namespace {

using namespace tirelle;
using namespace tirelle::store;

constexpr int kRows = 100000;

struct Block {
    std::string start, end, text;
};

const std::vector<Block>& Blocks() {
    static const std::vector<Block> blocks = [] {
        std::vector<Block> result;
        std::mt19937 g(7);
        std::uniform_real_distribution<double> length(1, 5);
        for (int i = 0; i < kRows; ++i) {
            const double start = i * 3.0 + 0.25;
            result.push_back({SecondsToTimeCode(start), SecondsToTimeCode(start + length(g)),
                              testing::SampleGbkText(g)});
        }
        return result;
    }();
    return blocks;
}

// The open's bulk insert as the open makes it: every block appended and posted through a
// dataset, the rows written many to a statement, inside the caller's transaction.
void InsertBlocks(Connection& connection) {
    Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText("select * from Sub where 0");  // nothing to read first
    sub.open();
    BatchedAppends batch(sub);
    for (const Block& block : Blocks()) {
        sub.append();
        sub.fieldByName("STime").setAsString(block.start);
        sub.fieldByName("ETime").setAsString(block.end);
        sub.fieldByName("SubText").setAsString(block.text);
        sub.post();
    }
    batch.finish();
}

// A store in a fresh folder, with or without its history, holding `rows` blocks.
struct Store {
    explicit Store(bool withHistory, int rows = kRows) {
        connection.open(folder.path());
        if (withHistory) history.open(connection);
        if (rows > 0) {
            connection.execute("begin", "bench");
            InsertBlocks(connection);
            connection.execute("commit", "bench");
        }
    }
    std::int64_t count(const char* table) {
        Statement query(connection.handle(), std::string("select count(*) from ") + table, "b");
        query.step();
        return query.columnInt64(0);
    }

    testing::TempFolder folder;
    Connection connection;
    History history;
};

// --- a single list post: edit one field of a row in the middle of 100,000, post

void ListPost(benchmark::State& state, bool withHistory) {
    Store store(withHistory);
    Dataset sub;
    sub.setConnection(&store.connection);
    sub.setCommandText(kSelectAllSql);
    if (withHistory) sub.setHistory(&store.history);
    sub.open();
    sub.moveBy(kRows / 2);
    int i = 0;
    for (auto _ : state) {
        sub.edit();
        sub.fieldByName("STime").setAsString(MillisecondsToTime(i++ * 10));
        sub.post();
    }
    state.counters["steps"] = store.history.stepCount();
}
void BM_ListPost(benchmark::State& state) {
    ListPost(state, false);
}
void BM_ListPostRecorded(benchmark::State& state) {
    ListPost(state, true);
}
BENCHMARK(BM_ListPost)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_ListPostRecorded)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// --- the open of 100,000 blocks: empty the table, insert every block, one transaction.
// Arg: rows in the table before (0: a first open, 100,000: replacing a file as long).

void Open(benchmark::State& state, std::optional<Record> record) {
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<Store>(record.has_value(), static_cast<int>(state.range(0)));
        state.ResumeTiming();
        std::optional<UndoStep> step;
        if (record)
            step.emplace(store->history, "打开字幕文件", *record);
        else
            store->connection.execute("savepoint open", "bench");
        store->connection.execute(kDeleteAllSql, "bench");
        InsertBlocks(store->connection);
        if (step)
            step->commit();
        else
            store->connection.execute("release open", "bench");
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}
void BM_Open(benchmark::State& state) {
    Open(state, std::nullopt);
}
void BM_OpenRecorded(benchmark::State& state) {
    Open(state, Record::WholeTable);
}
BENCHMARK(BM_Open)->Arg(0)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenRecorded)->Arg(0)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(5);

// --- a shift of every row by 5.5 s, in one statement and one transaction

constexpr const char* kShiftSql =
    "update Sub set SubSort = SubSort + 5.5, SubSortEnd = SubSortEnd + 5.5, "
    "STime = STime || '', ETime = ETime || ''";

void Shift(benchmark::State& state, std::optional<Record> record) {
    Store store(record.has_value());
    for (auto _ : state) {
        std::optional<UndoStep> step;
        if (record)
            step.emplace(store.history, "时间平移", *record);
        else
            store.connection.execute("savepoint shift", "bench");
        store.connection.execute(kShiftSql, "bench");
        if (step)
            step->commit();
        else
            store.connection.execute("release shift", "bench");
    }
    if (record) state.counters["history_MB"] = store.history.recordedBytes() / 1048576.0;
}
void BM_Shift(benchmark::State& state) {
    Shift(state, std::nullopt);
}
void BM_ShiftRecorded(benchmark::State& state) {
    Shift(state, Record::WholeTable);
}
// The session extension over the same shift, for comparison.
void BM_ShiftRecordedAsChanges(benchmark::State& state) {
    Shift(state, Record::Changes);
}
BENCHMARK(BM_Shift)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ShiftRecorded)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ShiftRecordedAsChanges)->Unit(benchmark::kMillisecond)->Iterations(3);

// --- undo and redo of a 100,000-row step: alternately, each iteration one of them

void UndoRedo(benchmark::State& state, const char* label, bool open) {
    Store store(true, open ? 0 : kRows);
    {
        UndoStep step(store.history, label, Record::WholeTable);
        if (open) {
            InsertBlocks(store.connection);
        } else {
            store.connection.execute(kShiftSql, "bench");
        }
        step.commit();
    }
    // The size of the step against the rows it covers (texts and numbers alike counted).
    state.counters["history_vs_rows"] =
        static_cast<double>(store.history.recordedBytes()) / static_cast<double>([&] {
            Statement size(store.connection.handle(),
                           "select sum(length(cast(STime as blob)) + length(cast(ETime as "
                           "blob)) + length(cast(SubText as blob)) + 24) from Sub",
                           "b");
            size.step();
            return size.columnInt64(0);
        }());
    bool undo = true;
    for (auto _ : state) {
        if (undo)
            store.history.undo();
        else
            store.history.redo();
        undo = !undo;
    }
}
void BM_UndoRedoShift(benchmark::State& state) {
    UndoRedo(state, "时间平移", false);
}
void BM_UndoRedoOpen(benchmark::State& state) {
    UndoRedo(state, "打开字幕文件", true);
}
BENCHMARK(BM_UndoRedoShift)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_UndoRedoOpen)->Unit(benchmark::kMillisecond)->Iterations(6);

// --- undo and redo of a single list post on 100,000 rows
void BM_UndoRedoListPost(benchmark::State& state) {
    Store store(true);
    Dataset sub;
    sub.setConnection(&store.connection);
    sub.setCommandText(kSelectAllSql);
    sub.setHistory(&store.history);
    sub.open();
    sub.moveBy(kRows / 2);
    sub.edit();
    sub.fieldByName("SubText").setAsString("changed");
    sub.post();
    bool undo = true;
    for (auto _ : state) {
        if (undo)
            store.history.undo();
        else
            store.history.redo();
        undo = !undo;
    }
}
BENCHMARK(BM_UndoRedoListPost)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
