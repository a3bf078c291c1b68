// The subtitle list over 100,000 subtitles: requery to first paint, page and cursor steps, and
// the repaints caused by a whole-store walk with the list's updates suspended.
//   bench_ui_list [--benchmark_filter=...]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <QTest>
#include <memory>

#include "bench/widgetbench.h"
#include "store/dataset.h"
#include "store/statements.h"

using tirelle::listview::SubtitleGrid;

namespace {

constexpr int kRows = 100000;

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// A store of kRows two-line subtitles, one every 3 seconds, and the list showing it.
struct ListFixture : tirelle::bench::ListedStore {
    PaintCounter counter;

    ListFixture() : ListedStore(kRows, "and its second line") {
        focus();
        grid->viewport()->installEventFilter(&counter);
    }
};

// Made on first use and destroyed before the application object (widgets must not outlive it).
std::unique_ptr<ListFixture> theFixture;

ListFixture& fixture() {
    if (!theFixture) theFixture = std::make_unique<ListFixture>();
    return *theFixture;
}

void BM_RequeryToFirstPaint(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        f.sub.requery();
        f.paint();
    }
    state.counters["rows"] = f.sub.rowCount();
}
BENCHMARK(BM_RequeryToFirstPaint)->Unit(benchmark::kMillisecond);

// One key and the repaint it causes, from the top towards the end and back to the top when
// the end comes near.
void stepBenchmark(benchmark::State& state, int key) {
    auto& f = fixture();
    f.sub.first();
    f.paint();
    for (auto _ : state) {
        f.press(key);
        f.paint();
        if (f.sub.currentRow() > kRows - 100) {
            state.PauseTiming();
            f.sub.first();
            f.paint();
            state.ResumeTiming();
        }
    }
    state.counters["visibleRows"] = f.grid->visibleRowCount();
}

void BM_PageDown(benchmark::State& state) {
    stepBenchmark(state, Qt::Key_PageDown);
}
BENCHMARK(BM_PageDown)->Unit(benchmark::kMicrosecond);

void BM_CursorDown(benchmark::State& state) {
    stepBenchmark(state, Qt::Key_Down);
}
BENCHMARK(BM_CursorDown)->Unit(benchmark::kMicrosecond);

void BM_CursorDownFarFromTop(benchmark::State& state) {
    auto& f = fixture();
    f.sub.first();
    f.sub.moveBy(kRows / 2);
    f.paint();
    for (auto _ : state) {
        f.press(Qt::Key_Down);
        f.paint();
        f.press(Qt::Key_Up);
        f.paint();
    }
}
BENCHMARK(BM_CursorDownFarFromTop)->Unit(benchmark::kMicrosecond);

// A walk over every row with the updates suspended; "paints" is the number of repaints the
// walk caused once the event loop has run (1 expected).
void BM_SuspendedWalk(benchmark::State& state) {
    auto& f = fixture();
    QCoreApplication::processEvents();
    int paints = 0;
    for (auto _ : state) {
        f.counter.paints = 0;
        f.sub.disableControls();
        f.sub.first();
        while (!f.sub.eof()) f.sub.next();
        f.sub.enableControls();
        QCoreApplication::processEvents();
        paints = f.counter.paints;
    }
    state.counters["paints"] = paints;
}
BENCHMARK(BM_SuspendedWalk)->Unit(benchmark::kMillisecond);

// A list of a few rows, one of them holding a 50 MB text (one long line and many short ones),
// for the cost of a click and of a cursor move while such a cell is in view. Target: 20 ms.
struct HugeCellFixture {
    tirelle::testing::TempFolder folder;
    tirelle::store::Connection connection;
    tirelle::store::Dataset sub;
    std::unique_ptr<SubtitleGrid> grid;

    HugeCellFixture() {
        connection.open(folder.path());
        std::string text;
        text.reserve(50u << 20);
        while (text.size() < (25u << 20)) text += "a long line of words without a break ";
        while (text.size() < (50u << 20)) text += "short line\r\n";
        tirelle::store::Statement insert(connection.handle(),
                                         "insert into Sub (STime, ETime, SubText, SubSort, "
                                         "SubSortEnd) values (?1, ?2, ?3, ?4, ?5)",
                                         "bench");
        for (int i = 0; i < 4; ++i) {
            const std::string small = "row " + std::to_string(i);
            insert.bindText(1, "00:00:0" + std::to_string(i) + ",000");
            insert.bindText(2, "00:00:0" + std::to_string(i) + ",500");
            insert.bindText(3, i == 1 ? std::string_view(text) : std::string_view(small));
            insert.bindDouble(4, i);
            insert.bindDouble(5, i + 0.5);
            insert.step();
            insert.reset();
        }
        sub.setConnection(&connection);
        sub.setCommandText(tirelle::store::kSelectAllSql);
        sub.open();
        grid = std::make_unique<SubtitleGrid>();
        grid->resize(420, 800);
        grid->setDataset(&sub);
        grid->show();
        grid->setFocus();
        QCoreApplication::processEvents();
    }
    ~HugeCellFixture() { grid->setDataset(nullptr); }
};

// Clicks the text cell of row 0 and of row 2 in turn (row 1, the huge one, stays in view),
// each click with the repaint it causes.
void BM_ClickBesideA50MBCell(benchmark::State& state) {
    HugeCellFixture f;
    int row = 0;
    for (auto _ : state) {
        row = row == 0 ? 2 : 0;
        const QPoint at = f.grid->cellRect(row, 2).center();
        QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        f.grid->viewport()->repaint();
    }
}
BENCHMARK(BM_ClickBesideA50MBCell)->Unit(benchmark::kMillisecond);

// Moves the cursor onto the huge row and off it again, each move with its repaint.
void BM_CursorOverA50MBCell(benchmark::State& state) {
    HugeCellFixture f;
    bool down = true;
    for (auto _ : state) {
        QTest::keyClick(f.grid.get(), down ? Qt::Key_Down : Qt::Key_Up);
        f.grid->viewport()->repaint();
        down = !down;
    }
}
BENCHMARK(BM_CursorOverA50MBCell)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return tirelle::bench::RunWidgetBenchmarks(argc, argv, [] { theFixture.reset(); });
}
