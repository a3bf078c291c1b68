// Simplified into Traditional Chinese (s2twp) over the store as the program holds it: a store
// file with its history, every subtitle of one or two lines of Chinese, converted as one undo
// step. Against Debian's opencc command converting the same texts from a file.
//   BM_LoadConverter            the configuration and its dictionaries read
//   BM_PrepareForManyTexts      the faster dictionaries built, once per conversion and process
//   BM_ConvertStore/1500        an episode (the dictionaries as loaded)
//   BM_ConvertStore/100000      a long series (faster dictionaries, several threads); counter
//                               vs_opencc_command: its time against the command's on the texts
//   BM_ConvertStoreGbk/100000   the same on a GBK system: decoded and encoded on the way
//   BM_ConvertTexts/100000      the conversion of the texts alone, without the store
// cpu_ms is the processor time of all threads together, which a busy machine does not stretch.
//   bench_core_chinese [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/textconverter.h"
#include "base/timecode.h"
#include "chinese/conversion.h"
#include "chinese/storeconversion.h"
#include "tests/support/generatedrows.h"
#include "tests/support/storewithhistory.h"
#include "tests/support/tempfolder.h"

namespace {

using namespace tirelle;

// Row i's text: one line, or two for every third row.
std::vector<std::string> Texts(int rows) {
    const std::vector<std::string> lines = testing::SampleChineseLines(rows + rows / 3 + 1);
    std::vector<std::string> texts;
    std::size_t next = 0;
    for (int i = 0; i < rows; ++i) {
        std::string text = lines[next++];
        if (i % 3 == 2) text += "\r\n" + lines[next++];
        texts.push_back(std::move(text));
    }
    return texts;
}

// A store in a fresh folder with its history, holding the texts (in the code page).
struct Store : testing::StoreWithHistory {
    Store(const std::vector<std::string>& texts, const CodePage& codePage) {
        TextConverter encode(codePage.converterName(), "UTF-8");
        std::string bytes;
        connection.execute("begin", "bench");
        store::BatchedAppends batch(sub);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            encode.convert(texts[i], &bytes, {"?"});
            sub.append();
            sub.fieldByName("STime").setAsString(MillisecondsToTime(static_cast<int>(i) * 3000));
            sub.fieldByName("ETime").setAsString(
                MillisecondsToTime(static_cast<int>(i) * 3000 + 2000));
            sub.fieldByName("SubText").setAsString(bytes);
            sub.post();
        }
        batch.finish();
        connection.execute("commit", "bench");
        sub.requery();
    }
};

// The opencc command's wall time over the texts, one a line, read from and written to files.
double OpenccCommandSeconds(const std::vector<std::string>& texts) {
    testing::TempFolder folder;
    std::string file;
    for (const std::string& text : texts) file += text + "\n";
    const auto in = folder.write("in.txt", file);
    const std::string command =
        "opencc -c s2twp -i '" + in.string() + "' -o '" + folder.file("out.txt").string() + "'";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return 0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_LoadConverter(benchmark::State& state) {
    for (auto _ : state) chinese::Converter converter("s2twp");
}
BENCHMARK(BM_LoadConverter)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PrepareForManyTexts(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        chinese::Converter converter("s2twp");
        state.ResumeTiming();
        converter.prepareForManyTexts();
    }
}
BENCHMARK(BM_PrepareForManyTexts)->Unit(benchmark::kMillisecond)->Iterations(3);

void ConvertStore(benchmark::State& state, const CodePage& codePage) {
    const auto rows = static_cast<int>(state.range(0));
    const std::vector<std::string> texts = Texts(rows);
    // Loaded (and for many texts prepared) before the timing, as after the first conversion.
    chinese::Converter converter("s2twp");
    if (rows > 10000) converter.prepareForManyTexts();
    double seconds = 0;
    double processor = 0;
    int changed = 0;
    for (auto _ : state) {
        auto store = std::make_unique<Store>(texts, codePage);
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t startProcessor = std::clock();
        changed =
            chinese::ConvertSubtitles(store->sub, converter, codePage, &store->history).changed;
        processor += static_cast<double>(std::clock() - startProcessor) / CLOCKS_PER_SEC;
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took);
        seconds += took;
    }
    state.counters["changed"] = changed;
    // The processor time of every thread together, which a busy machine does not stretch.
    state.counters["cpu_ms"] = processor / static_cast<double>(state.iterations()) * 1000;
    if (rows > 10000 && state.iterations() > 0) {
        const double peer = OpenccCommandSeconds(texts);
        if (peer > 0) state.counters["vs_opencc_command"] = seconds / state.iterations() / peer;
    }
}
// The texts alone, without the store: what the conversion itself costs of the store's time.
void BM_ConvertTexts(benchmark::State& state) {
    const std::vector<std::string> texts = Texts(static_cast<int>(state.range(0)));
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    chinese::Converter converter("s2twp");
    converter.prepareForManyTexts();
    double processor = 0;
    for (auto _ : state) {
        const std::clock_t start = std::clock();
        benchmark::DoNotOptimize(
            chinese::ConvertTexts(converter, views, CodePage(CodePage::Kind::Utf8)));
        processor += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    }
    state.counters["cpu_ms"] = processor / static_cast<double>(state.iterations()) * 1000;
}
BENCHMARK(BM_ConvertTexts)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ConvertStore(benchmark::State& state) {
    ConvertStore(state, CodePage(CodePage::Kind::Utf8));
}
void BM_ConvertStoreGbk(benchmark::State& state) {
    ConvertStore(state, CodePage(CodePage::Kind::Gbk));
}
BENCHMARK(BM_ConvertStore)
    ->Arg(1500)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ConvertStoreGbk)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
