#pragma once
// What the benchmark programs that drive widgets share: a large store shown by the list, and
// their main (the offscreen platform unless another is chosen, Google Benchmark's own flags,
// and the program's fixtures dropped while the application their widgets need still exists):
//
//   int main(int argc, char** argv) {
//       return tirelle::bench::RunWidgetBenchmarks(argc, argv, [] { theFixture.reset(); });
//   }

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QKeyEvent>

#include <memory>
#include <string_view>
#include <type_traits>

#include "app/application.h"
#include "app/listview/subtitlegrid.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/statements.h"
#include "tests/support/generatedrows.h"
#include "tests/support/tempfolder.h"

namespace tirelle::bench {

// A store of `rows` generated two-line subtitles, one every 3 seconds (FillGeneratedRows),
// opened again as at start-up, and the list showing it, 420 x 800.
struct ListedStore {
    testing::TempFolder folder;
    store::Connection connection;
    store::Dataset sub;
    std::unique_ptr<listview::SubtitleGrid> grid;

    ListedStore(int rows, std::string_view secondLine) {
        connection.open(folder.path());
        testing::FillGeneratedRows(connection, rows, secondLine);
        connection.open(folder.path());
        sub.setConnection(&connection);
        sub.setCommandText(store::kSelectAllSql);
        sub.open();
        grid = std::make_unique<listview::SubtitleGrid>();
        grid->resize(420, 800);
        grid->setDataset(&sub);
        grid->show();
        QCoreApplication::processEvents();
    }
    ~ListedStore() { grid->setDataset(nullptr); }
    ListedStore(const ListedStore&) = delete;

    // The list as the window the keys go to (a key benchmark; the list of a window behind a
    // dialog has neither).
    void focus() {
        grid->activateWindow();
        grid->setFocus();
        QCoreApplication::processEvents();
    }

    // A key pressed and released on `target` (the list itself when none is given).
    void press(int key, const QString& text = QString(), QWidget* target = nullptr,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* to = target ? target : grid.get();
        QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
        QCoreApplication::sendEvent(to, &down);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
        QCoreApplication::sendEvent(to, &up);
    }
    // Delivers the list's pending update as the event loop would.
    void paint() { grid->viewport()->repaint(); }
    ListedStore& operator=(const ListedStore&) = delete;
};

// Application: QApplication for a widget on its own, app::Application (the program's own
// set-up of the process) for the main window's parts.
template <class Application = QApplication, class DropFixtures>
int RunWidgetBenchmarks(int argc, char** argv, DropFixtures dropFixtures) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    Application application(argc, argv);
    if constexpr (!std::is_same_v<Application, QApplication>) app::prepareProcess();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dropFixtures();
    return 0;
}

}  // namespace tirelle::bench
