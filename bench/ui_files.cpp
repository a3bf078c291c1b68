// The open and save commands of the main window on SRT files of 1,500, 10,000 and 100,000
// blocks, with the subtitle list attached to the store as in the program.
//   bench_ui_files [--benchmark_filter=...]
//   bench_ui_files --write_samples=<folder>   writes sample-<blocks>.srt there and exits
//
// The files have CR LF line breaks and texts of one or two lines mixing ASCII and Chinese (in
// the program's code page); blocks start 4.2 s apart, so the largest runs past 116 hours.
// Each file is generated once, into a temporary folder, and is written exactly as the save
// command writes it, so a save after an open gives the same bytes back.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "app/application.h"
#include "app/srtform.h"
#include "app/ui/textcodec.h"
#include "base/timecode.h"
#include "tests/support/formfixture.h"

using tirelle::testing::FormFixture;
using tirelle::testing::TempFolder;

namespace {

constexpr int kBlockCounts[] = {1500, 10000, 100000};

// A few common characters (我 的 是 不 了 人 在 有), in GBK and in UTF-8.
const char* const kGbkWords[] = {"\xCE\xD2", "\xB5\xC4", "\xCA\xC7", "\xB2\xBB",
                                 "\xC1\xCB", "\xC8\xCB", "\xD4\xDA", "\xD3\xD0"};
const char* const kUtf8Words[] = {"\xE6\x88\x91", "\xE7\x9A\x84", "\xE6\x98\xAF", "\xE4\xB8\x8D",
                                  "\xE4\xBA\x86", "\xE4\xBA\xBA", "\xE5\x9C\xA8", "\xE6\x9C\x89"};

// HH:MM:SS,mmm with at least two hour digits.
// The bytes of an SRT file of `blocks` blocks, as the save command writes them.
std::string makeSrt(int blocks, tirelle::CodePage::Kind kind) {
    const char* const* words = kind == tirelle::CodePage::Kind::Gbk ? kGbkWords : kUtf8Words;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(blocks) * 96);
    for (int k = 0; k < blocks; ++k) {
        const std::int64_t start = std::int64_t{k} * 4200 + 17;
        bytes += std::to_string(k + 1) + "\r\n";
        bytes += tirelle::MillisecondsToTime(start) + " --> " +
                 tirelle::MillisecondsToTime(start + 3100) + "\r\n";
        bytes += "Line " + std::to_string(k) + " ";
        for (int w = 0; w < 10; ++w) bytes += words[(k + w) % 8];
        if (k % 2 == 1) {
            bytes += "\r\n";
            for (int w = 0; w < 5; ++w) bytes += words[(k * 3 + w) % 8];
            bytes += " second line";
        }
        bytes += "\r\n\r\n";
    }
    return bytes;
}

QString qPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// The sample files, generated on first use and kept for the whole run.
struct Samples {
    TempFolder folder;
    std::map<int, std::filesystem::path> paths;
    std::map<int, std::string> bytes;

    const std::filesystem::path& path(int blocks) {
        auto& slot = paths[blocks];
        if (slot.empty()) {
            bytes[blocks] = makeSrt(blocks, tirelle::ui::codePage().kind());
            slot = folder.write("sample-" + std::to_string(blocks) + ".srt", bytes[blocks]);
        }
        return slot;
    }
};

// Both live from the start of the run to its end, inside the application object's lifetime.
Samples* theSamples = nullptr;
FormFixture* theFixture = nullptr;

Samples& samples() {
    return *theSamples;
}

// One main window on its own folder for the whole run, shown so the list is laid out as the
// user sees it.
FormFixture& fixture() {
    return *theFixture;
}

// Lets the list catch up (paint, deferred layout) outside the timed part.
void settle() {
    QApplication::processEvents();
}

// Runs the open command on the file: No to the save question when the store has rows.
// Returns false, with the reason in `why`, when it did not end with the file's blocks.
bool openFile(FormFixture& fx, const std::filesystem::path& file, int blocks, std::string& why) {
    fx.dialogs.questionAnswers.clear();
    fx.dialogs.fileAnswers.clear();
    if (!fx.form->Sub.isEmpty()) fx.dialogs.questionAnswers = {false};
    fx.dialogs.fileAnswers = {qPath(file)};
    try {
        fx.form->N6Click();
    } catch (const std::exception& error) {
        why = error.what();
        return false;
    }
    if (fx.dialogs.unexpected != 0) {
        why = "a dialog was shown that was not expected";
        return false;
    }
    if (fx.form->Sub.recordCount() != blocks) {
        why = "the store holds " + std::to_string(fx.form->Sub.recordCount()) + " rows, not " +
              std::to_string(blocks);
        return false;
    }
    return true;
}

// Runs a statement on the window's store connection; false with the engine's message in `why`.
// The open command from its start to its final requery; before each timed open the store
// holds the same file, so every open also empties 'blocks' rows first.
void BM_Open(benchmark::State& state) {
    const int blocks = static_cast<int>(state.range(0));
    const auto& file = samples().path(blocks);
    auto& fx = fixture();
    std::string why;
    if (!openFile(fx, file, blocks, why)) {  // untimed: the store now holds the file
        state.SkipWithError(why.c_str());
        return;
    }
    settle();
    for (auto _ : state) {
        fx.dialogs.questionAnswers = {false};
        fx.dialogs.fileAnswers = {qPath(file)};
        const auto begin = std::chrono::steady_clock::now();
        try {
            fx.form->N6Click();
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            break;
        }
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        if (fx.form->Sub.recordCount() != blocks || fx.dialogs.unexpected != 0) {
            state.SkipWithError("the open did not end with the file's blocks");
            break;
        }
        settle();
    }
    state.counters["blocks"] = blocks;
}

// The save command (the dialog answered with a path) with the store holding the file.
void BM_Save(benchmark::State& state) {
    const int blocks = static_cast<int>(state.range(0));
    const auto& file = samples().path(blocks);
    auto& fx = fixture();
    std::string why;
    if (fx.form->Sub.recordCount() != blocks && !openFile(fx, file, blocks, why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    settle();
    const auto target = fx.folder.file("saved-" + std::to_string(blocks) + ".srt");
    for (auto _ : state) {
        fx.dialogs.fileAnswers = {qPath(target)};
        const auto begin = std::chrono::steady_clock::now();
        try {
            fx.form->N9Click();
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            break;
        }
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        if (fx.dialogs.unexpected != 0) {
            state.SkipWithError("a dialog was shown that was not expected");
            break;
        }
        settle();
    }
    // The file is canonical, so what was saved must be the same bytes.
    if (!state.error_occurred() && TempFolder::read(target) != samples().bytes[blocks])
        state.SkipWithError("the saved file differs from the opened one");
    state.counters["blocks"] = blocks;
}

void registerAll() {
    for (const int blocks : kBlockCounts) {
        // 100,000 blocks take seconds per open: a few iterations are enough.
        const int iterations = blocks >= 100000 ? 3 : 0;
        auto* open = benchmark::RegisterBenchmark("BM_Open", BM_Open);
        auto* save = benchmark::RegisterBenchmark("BM_Save", BM_Save);
        for (auto* bench : {open, save}) {
            bench->Arg(blocks)->UseManualTime()->Unit(benchmark::kMillisecond);
            if (iterations > 0) bench->Iterations(iterations);
        }
    }
}

// --write_samples=<folder>: the sample files only, for timing other programs on them.
int writeSamples(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (const int blocks : kBlockCounts) {
        const auto path = folder / ("sample-" + std::to_string(blocks) + ".srt");
        const std::string bytes = makeSrt(blocks, tirelle::ui::codePage().kind());
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
            std::fclose(out) != 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    constexpr const char* kWriteSamples = "--write_samples=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], kWriteSamples, std::strlen(kWriteSamples)) == 0)
            return writeSamples(argv[i] + std::strlen(kWriteSamples));

    qputenv("QT_QPA_PLATFORM", "offscreen");
    tirelle::app::Application application(argc, argv);
    tirelle::app::prepareProcess();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerAll();
    {
        Samples files;
        FormFixture window;
        window.form->resize(1200, 800);
        window.form->show();
        QApplication::processEvents();
        theSamples = &files;
        theFixture = &window;
        benchmark::RunSpecifiedBenchmarks();
        theFixture = nullptr;
        theSamples = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
