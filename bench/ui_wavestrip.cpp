// The cost of painting one frame of the waveform strip (800 x 90 pixels) over two hours of
// peaks with 100,000 subtitles, at the default 10 s window and zoomed out to 1 and 10 minutes.
// The subtitles are scanned as the main window scans its rows; BM_MainWindowFrame paints the
// main window's own strip over 100,000 stored subtitles, without peaks, so the time is mostly
// that of finding the subtitles in view.
//   bench_ui_wavestrip [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QWheelEvent>
#include <cmath>
#include <vector>

#include "app/application.h"
#include "app/srtform.h"
#include "app/waveform/wavestrip.h"
#include "bench/widgetbench.h"
#include "tests/support/formfixture.h"

using tirelle::app::WaveStrip;
using tirelle::waveform::Peak;

namespace {

constexpr int kRows = 100000;
constexpr std::size_t kBins = 2 * 3600 * 100;

void BM_PaintFrame(benchmark::State& state) {
    std::vector<Peak> peaks(kBins);
    for (std::size_t i = 0; i < kBins; ++i) {
        const auto level = static_cast<std::int16_t>(16000 * std::abs(std::sin(i * 0.013)));
        peaks[i] = Peak{static_cast<std::int16_t>(-level), level};
    }
    struct Row {
        double start, end;
        QString text;
    };
    std::vector<Row> rows;
    for (int i = 0; i < kRows; ++i)
        rows.push_back({3.0 * i + 1, 3.0 * i + 3, QStringLiteral("第%1句字幕").arg(i)});

    double position = 3600;
    WaveStrip strip;
    strip.resize(800, 90);
    WaveStrip::Source source;
    source.position = [&] { return position; };
    source.spans = [&](double from, double to,
                       const std::function<void(const WaveStrip::Span&)>& visit) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].end >= from && rows[i].start <= to)
                visit({std::int64_t(i), rows[i].start, rows[i].end, rows[i].text});
    };
    source.marks = [&] { return std::pair{position - 3, position}; };
    strip.setSource(source);
    strip.setPeaks(&peaks);
    // Zoom out to the asked span with Ctrl+wheel, as the user does.
    while (strip.span() < state.range(0)) {
        QWheelEvent wheel(QPointF(400, 45), QPointF(400, 45), {}, QPoint(0, -120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&strip, &wheel);
    }
    QImage frame(strip.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        position += 0.016;  // a frame of playback later
        strip.render(&frame);
    }
    state.counters["span_s"] = strip.span();
}
BENCHMARK(BM_PaintFrame)->Arg(10)->Arg(60)->Arg(600)->Unit(benchmark::kMicrosecond);

void BM_MainWindowFrame(benchmark::State& state) {
    tirelle::testing::FormFixture fixture([](const tirelle::testing::TempFolder& folder) {
        tirelle::store::Connection connection;
        connection.open(folder.path());
        tirelle::testing::FillGeneratedRows(connection, kRows, "and its second line");
    });
    WaveStrip& strip = *fixture.form->WaveStrip1;
    strip.resize(800, 90);
    double position = 3600;
    QImage frame(strip.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        position += 0.016;
        fixture.player->setPosition(position);
        strip.render(&frame);
    }
    state.counters["rows"] = fixture.form->Sub.rowCount();
}
BENCHMARK(BM_MainWindowFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return tirelle::bench::RunWidgetBenchmarks<tirelle::app::Application>(argc, argv, [] {});
}
