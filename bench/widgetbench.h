#pragma once
// The main of a benchmark program that drives widgets: the offscreen platform unless another
// is chosen, Google Benchmark's own flags, and the program's fixtures dropped while the
// application their widgets need still exists.
//
//   int main(int argc, char** argv) {
//       return tirelle::bench::RunWidgetBenchmarks(argc, argv, [] { theFixture.reset(); });
//   }

#include <QApplication>
#include <benchmark/benchmark.h>

namespace tirelle::bench {

template <class DropFixtures>
int RunWidgetBenchmarks(int argc, char** argv, DropFixtures dropFixtures) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dropFixtures();
    return 0;
}

}  // namespace tirelle::bench
