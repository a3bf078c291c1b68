// Position readings of the libmpv player while it plays the test video (headless: no video
// or audio output, offscreen platform).
//   TIRELLE_TESTDATA=build/testdata bench_ui_player
//
// CurrentPositionRead: 10,000 readings in a row, each timed on its own; median, 99th
// percentile and maximum in nanoseconds. The live preview reads the position up to five times
// per 40 ms tick, so a reading must never wait for the player's core thread.
// ReadSmoothness/0 and /1: for 3 s of playback a reading every 5 ms, without and with the
// readings moved on between the core's reports; how far they stray from a straight line fitted
// through them (mean and maximum, ms) and how often a reading went back.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "playback/mpvplayer.h"
#include "tests/support/tempfolder.h"

using tirelle::playback::MpvPlayer;

namespace {

// Opens the test video and lets the event loop run until it plays past `seconds`.
std::unique_ptr<MpvPlayer> playingPlayer(bool extrapolate, double seconds = 0.5) {
    const auto video = tirelle::testing::testDataFolder() / "test.mp4";
    auto player = std::make_unique<MpvPlayer>(
        nullptr, MpvPlayer::Options{.headless = true, .extrapolate = extrapolate});
    player->setUrl(QString::fromStdString(video.string()));
    QElapsedTimer waited;
    waited.start();
    while (!(player->playState() == tirelle::playback::Playing &&
             player->currentPosition() > seconds)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (waited.elapsed() > 10000) return nullptr;
    }
    return player;
}

void CurrentPositionRead(benchmark::State& state) {
    auto player = playingPlayer(true);
    if (!player) {
        state.SkipWithError("the test video did not play (TIRELLE_TESTDATA?)");
        return;
    }
    constexpr int kReads = 10000;
    std::vector<double> ns(kReads);
    for (auto _ : state) {
        for (int i = 0; i < kReads; ++i) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(player->currentPosition());
            ns[i] =
                std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                    .count();
            // Let the core's reports in now and then, as the event loop would.
            if (i % 500 == 0) QCoreApplication::processEvents();
        }
    }
    std::sort(ns.begin(), ns.end());
    state.counters["median_ns"] = ns[kReads / 2];
    state.counters["p99_ns"] = ns[kReads * 99 / 100];
    state.counters["max_ns"] = ns.back();
    state.counters["playing"] = player->playState() == tirelle::playback::Playing;
}
BENCHMARK(CurrentPositionRead)->Iterations(1)->Unit(benchmark::kMillisecond);

void ReadSmoothness(benchmark::State& state) {
    auto player = playingPlayer(state.range(0) != 0);
    if (!player) {
        state.SkipWithError("the test video did not play (TIRELLE_TESTDATA?)");
        return;
    }
    std::vector<double> wall, read;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 3000) {
            wall.push_back(clock.nsecsElapsed() / 1e9);
            read.push_back(player->currentPosition());
            QCoreApplication::processEvents();
            QThread::usleep(5000);
        }
    }
    // Least-squares line through (wall, read).
    const double n = double(wall.size());
    double sw = 0, sr = 0, sww = 0, swr = 0;
    for (size_t i = 0; i < wall.size(); ++i) {
        sw += wall[i];
        sr += read[i];
        sww += wall[i] * wall[i];
        swr += wall[i] * read[i];
    }
    const double slope = (n * swr - sw * sr) / (n * sww - sw * sw);
    const double offset = (sr - slope * sw) / n;
    double sum = 0, worst = 0;
    int back = 0;
    for (size_t i = 0; i < wall.size(); ++i) {
        const double off = std::abs(read[i] - (offset + slope * wall[i]));
        sum += off;
        worst = std::max(worst, off);
        if (i > 0 && read[i] < read[i - 1]) ++back;
    }
    state.counters["mean_off_ms"] = sum / n * 1000;
    state.counters["max_off_ms"] = worst * 1000;
    state.counters["steps_back"] = back;
    state.counters["rate"] = slope;
    state.counters["readings"] = n;
}
BENCHMARK(ReadSmoothness)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
