// What reading a file in another encoding adds to the open command, on a UTF-8 system:
//   BM_OpenUtf8        the open command on a 100,000-block file already in UTF-8
//   BM_OpenGbk         the open command on the same subtitles written in GBK
//   BM_ToCodePageGbk   detection and conversion alone, on the GBK bytes
//   BM_ToCodePageUtf8  the check that finds a UTF-8 file needs nothing, on the UTF-8 bytes
// The share to watch is BM_ToCodePageGbk against BM_OpenUtf8 (and BM_OpenGbk against
// BM_OpenUtf8 for the whole command).
//   bench_ui_fileencodings [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/application.h"
#include "app/srtform.h"
#include "app/ui/textcodec.h"
#include "base/timecode.h"
#include "srt/encoding.h"
#include "tests/support/encodedtext.h"
#include "tests/support/formfixture.h"

using tirelle::CodePage;
using tirelle::testing::FormFixture;

namespace {

constexpr int kBlocks = 100000;

// Blocks 4.2 s apart with one or two lines of Chinese and ASCII, in UTF-8.
std::string makeUtf8Srt(int blocks) {
    const char* const words[] = {"我", "的", "是", "不", "了", "人", "在", "有",
                                 "喆", "堃", "镕", "说", "这", "个", "们", "来"};
    std::string text;
    text.reserve(static_cast<std::size_t>(blocks) * 110);
    for (int k = 0; k < blocks; ++k) {
        const long long start = 4200LL * k + 17;
        text += std::to_string(k + 1) + "\r\n" + tirelle::MillisecondsToTime(start) + " --> " +
                tirelle::MillisecondsToTime(start + 3100) + "\r\nLine " + std::to_string(k) + " ";
        for (int w = 0; w < 10; ++w) text += words[(k + w * 7) % 16];
        if (k % 2 == 1) {
            text += "\r\n";
            for (int w = 0; w < 5; ++w) text += words[(k * 3 + w) % 16];
        }
        text += "\r\n\r\n";
    }
    return text;
}

struct Run {
    FormFixture window;
    std::string utf8 = makeUtf8Srt(kBlocks);
    std::string gbk = tirelle::testing::Encoded(utf8, "GBK");
    std::filesystem::path utf8File = window.folder.write("utf8.srt", utf8);
    std::filesystem::path gbkFile = window.folder.write("gbk.srt", gbk);
};
Run* theRun = nullptr;

void openCommand(benchmark::State& state, const std::filesystem::path& file) {
    auto& fx = theRun->window;
    for (auto _ : state) {
        fx.dialogs.questionAnswers = {false};
        fx.dialogs.fileAnswers = {QString::fromStdString(file.string())};
        const auto begin = std::chrono::steady_clock::now();
        try {
            fx.form->N6Click();
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
        if (fx.form->Sub.recordCount() != kBlocks) {
            state.SkipWithError("the open did not end with the file's blocks");
            break;
        }
        QApplication::processEvents();
    }
}

void BM_OpenUtf8(benchmark::State& state) {
    openCommand(state, theRun->utf8File);
}

void BM_OpenGbk(benchmark::State& state) {
    openCommand(state, theRun->gbkFile);
}

void toCodePage(benchmark::State& state, const std::string& bytes, bool converts) {
    const CodePage utf8(CodePage::Kind::Utf8);
    for (auto _ : state) {
        const auto text = tirelle::srt::ToCodePage(bytes, utf8);
        if (text.encoding.converted != converts || text.encoding.replaced != 0) {
            state.SkipWithError("unexpected reading");
            break;
        }
        benchmark::DoNotOptimize(text.bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_ToCodePageGbk(benchmark::State& state) {
    toCodePage(state, theRun->gbk, true);
}

void BM_ToCodePageUtf8(benchmark::State& state) {
    toCodePage(state, theRun->utf8, false);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tirelle::app::Application application(argc, argv);
    tirelle::app::prepareProcess();
    tirelle::ui::setCodePage(CodePage(CodePage::Kind::Utf8));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    for (auto* bench : {benchmark::RegisterBenchmark("BM_OpenUtf8", BM_OpenUtf8),
                        benchmark::RegisterBenchmark("BM_OpenGbk", BM_OpenGbk)})
        bench->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
    for (auto* bench : {benchmark::RegisterBenchmark("BM_ToCodePageGbk", BM_ToCodePageGbk),
                        benchmark::RegisterBenchmark("BM_ToCodePageUtf8", BM_ToCodePageUtf8)})
        bench->Unit(benchmark::kMillisecond);
    {
        Run run;
        run.window.form->resize(1200, 800);
        run.window.form->show();
        QApplication::processEvents();
        theRun = &run;
        benchmark::RunSpecifiedBenchmarks();
        theRun = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
