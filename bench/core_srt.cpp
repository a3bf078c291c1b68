// Reading and writing SRT files of 1,500, 10,000 and 100,000 blocks: CR LF line breaks, texts
// of one or two lines mixing ASCII and GBK Chinese, times running past 99 hours in the largest.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/timecode.h"
#include "srt/srtfile.h"
#include "tests/support/tempfolder.h"

namespace {

using namespace tirelle;

struct Record {
    std::string start, end, text;
};

// GBK bytes of a few common characters (我 的 是 不 了 人 在 有).
const char* const kGbkWords[] = {"\xCE\xD2", "\xB5\xC4", "\xCA\xC7", "\xB2\xBB",
                                 "\xC1\xCB", "\xC8\xCB", "\xD4\xDA", "\xD3\xD0"};

std::vector<Record> MakeRecords(int count) {
    std::vector<Record> records;
    records.reserve(static_cast<std::size_t>(count));
    // 4.2 s apart, so 100,000 blocks reach about 116 hours.
    for (int k = 0; k < count; ++k) {
        const std::int32_t start = k * 4200 + 17;
        Record record;
        record.start = MillisecondsToTime(start);
        record.end = MillisecondsToTime(start + 3100);
        for (int w = 0; w < 12; ++w) record.text += kGbkWords[(k + w) % 8];
        record.text += " Line " + std::to_string(k);
        if (k % 2 == 1) {
            record.text += "\r\nSecond line ";
            for (int w = 0; w < 6; ++w) record.text += kGbkWords[(k * 3 + w) % 8];
        }
        records.push_back(std::move(record));
    }
    return records;
}

srt::LineList MakeLines(const std::vector<Record>& records) {
    srt::LineList lines;
    lines.reserve(records.size() * 5);
    int number = 1;
    for (const auto& record : records) {
        srt::AppendSrtBlock(lines, number++, record.start, record.end, record.text);
    }
    return lines;
}

// One generated file per size, kept for the whole run.
struct Sample {
    std::vector<Record> records;
    std::filesystem::path path;
    std::size_t bytes = 0;
};

tirelle::testing::TempFolder& Folder() {
    static tirelle::testing::TempFolder folder;
    return folder;
}

const Sample& SampleOf(int count) {
    static std::map<int, std::unique_ptr<Sample>> samples;
    auto& slot = samples[count];
    if (!slot) {
        slot = std::make_unique<Sample>();
        slot->records = MakeRecords(count);
        const std::string bytes = srt::JoinLines(MakeLines(slot->records));
        slot->bytes = bytes.size();
        slot->path = Folder().write("sample-" + std::to_string(count) + ".srt", bytes);
    }
    return *slot;
}

void BM_LoadAndReadBlocks(benchmark::State& state) {
    const auto& sample = SampleOf(static_cast<int>(state.range(0)));
    const CodePage gbk(CodePage::Kind::Gbk);
    for (auto _ : state) {
        const auto lines = srt::LoadTextLines(sample.path, gbk);
        std::size_t total = 0;
        int blocks = 0;
        srt::ReadSrtBlocks(
            lines, [&](const std::string& start, const std::string& end, const std::string& text) {
                total += start.size() + end.size() + text.size();
                ++blocks;
            });
        if (blocks != state.range(0)) state.SkipWithError("wrong block count");
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.bytes));
    state.counters["blocks"] = static_cast<double>(state.range(0));
}

// Reading plus the conversion of both time texts, as posting every block will need.
void BM_LoadReadAndConvertTimes(benchmark::State& state) {
    const auto& sample = SampleOf(static_cast<int>(state.range(0)));
    const CodePage gbk(CodePage::Kind::Gbk);
    for (auto _ : state) {
        const auto lines = srt::LoadTextLines(sample.path, gbk);
        double sum = 0;
        srt::ReadSrtBlocks(
            lines, [&](const std::string& start, const std::string& end, const std::string&) {
                sum += TimeToSeconds(start) + TimeToSeconds(end);
            });
        benchmark::DoNotOptimize(sum);
    }
}

void BM_BuildLines(benchmark::State& state) {
    const auto& sample = SampleOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto lines = MakeLines(sample.records);
        benchmark::DoNotOptimize(lines.data());
    }
}

// Building the lines and writing them: temporary file, fsync, rename.
void BM_BuildAndWrite(benchmark::State& state) {
    const auto& sample = SampleOf(static_cast<int>(state.range(0)));
    const auto target = Folder().file("written-" + std::to_string(state.range(0)) + ".srt");
    for (auto _ : state) {
        srt::WriteTextLines(target, MakeLines(sample.records));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.bytes));
}

BENCHMARK(BM_LoadAndReadBlocks)->Arg(1500)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadReadAndConvertTimes)
    ->Arg(1500)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildLines)->Arg(1500)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildAndWrite)->Arg(1500)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
