// Times the audio peaks of one media file, as the main window gets them: the first 10 s of
// peaks, the whole file, then storing the result in the cache and reading it back.
//   bench_waveform_peaks FILE [THREADS]
// Prints one line of key=value pairs (seconds, CPU seconds, bytes), for scripts/bench.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/tempfolder.h"
#include "waveform/decoder.h"
#include "waveform/peakcache.h"

using namespace tirelle::waveform;

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
double cpu() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [THREADS]\n", argv[0]);
        return 2;
    }
    const std::string file = argv[1];
    DecodeOptions options;
    if (argc > 2) options.threads = std::stoi(argv[2]);

    std::vector<Peak> peaks;
    std::size_t firstTenSeconds = 0;
    double firstTenAt = 0;
    const double begin = now();
    const double cpuBegin = cpu();
    PeakSink sink;
    sink.started = [&](const AudioInfo& info) { peaks.assign(info.bins, Peak{}); };
    sink.peaks = [&](std::size_t first, std::span<const Peak> got) {
        if (peaks.size() < first + got.size()) peaks.resize(first + got.size());
        std::copy(got.begin(), got.end(), peaks.begin() + static_cast<std::ptrdiff_t>(first));
        if (first < 10 * kBinsPerSecond) {
            firstTenSeconds += std::min(got.size(), 10 * kBinsPerSecond - first);
            if (firstTenSeconds >= 10 * kBinsPerSecond && firstTenAt == 0) firstTenAt = now() - begin;
        }
    };
    const DecodeResult result = DecodePeaks(file, sink, options);
    const double total = now() - begin;
    const double cpuTotal = cpu() - cpuBegin;
    if (result.status != DecodeStatus::Complete) {
        std::fprintf(stderr, "decoding failed: %s\n", result.message.c_str());
        return 1;
    }

    tirelle::testing::TempFolder folder;
    const PeakCache cache(folder.path() / "cache");
    const auto key = KeyForFile(file);
    if (!key || !cache.store(*key, peaks)) {
        std::fprintf(stderr, "cannot store the peaks\n");
        return 1;
    }
    const double loadBegin = now();
    const auto loaded = cache.load(*key);
    const double load = now() - loadBegin;
    if (!loaded || *loaded != peaks) {
        std::fprintf(stderr, "the cache gave other peaks\n");
        return 1;
    }
    const double hours = result.info.duration / 3600;
    std::printf("total_s=%.3f cpu_s=%.3f first10s_s=%.3f cache_load_s=%.4f bins=%zu peak_bytes=%zu "
                "mb_per_hour=%.2f\n",
                total, cpuTotal, firstTenAt, load, peaks.size(), peaks.size() * sizeof(Peak),
                hours > 0 ? peaks.size() * sizeof(Peak) / 1e6 / hours : 0.0);
    return 0;
}
