// A list post as the user makes it, with and without the undo history recording it: a typed
// character opens the editor on the text cell, Enter writes it, Down posts the row as one step
// and moves on, and the list repaints. On a store of 100,000 subtitles, rows in the middle.
//   bench_ui_history [--benchmark_filter=...]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <memory>

#include "app/listview/celleditor.h"
#include "app/listview/subtitlegrid.h"
#include "bench/widgetbench.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "tests/support/generatedrows.h"
#include "tests/support/tempfolder.h"

using tirelle::listview::SubtitleGrid;

namespace {

constexpr int kRows = 100000;

struct ListFixture {
    tirelle::testing::TempFolder folder;
    tirelle::store::Connection connection;
    tirelle::store::History history;
    tirelle::store::Dataset sub;
    std::unique_ptr<SubtitleGrid> grid;

    ListFixture() {
        connection.open(folder.path());
        tirelle::testing::FillGeneratedRows(connection, kRows, "and its second line");
        history.open(connection);
        sub.setConnection(&connection);
        sub.setCommandText(tirelle::store::kSelectAllSql);
        sub.beforePost = tirelle::store::DeriveSortKeys;
        sub.open();
        grid = std::make_unique<SubtitleGrid>();
        grid->resize(420, 800);
        grid->setDataset(&sub);
        grid->show();
        grid->activateWindow();
        grid->setFocus();
        grid->setCurrentColumn(2);
        QCoreApplication::processEvents();
    }
    ~ListFixture() { grid->setDataset(nullptr); }

    void press(QWidget* target, int key, const QString& text = QString()) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(target, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(target, &up);
    }
    void paint() { grid->viewport()->repaint(); }
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
        f.press(f.grid.get(), Qt::Key_A + (letter.unicode() - u'a'), letter);  // opens the editor
        f.press(f.grid->editor(), Qt::Key_Return);               // writes it into the row
        f.press(f.grid.get(), Qt::Key_Down);                     // posts, moves on
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
BENCHMARK(BM_TypeAndPost)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_TypeAndPostRecorded)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_TypeAndPost)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_TypeAndPostRecorded)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    return tirelle::bench::RunWidgetBenchmarks(argc, argv, [] { theFixture.reset(); });
}
