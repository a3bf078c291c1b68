// The peak decoder on the generated tone file: where the bursts begin and end, the same peaks
// whether one thread or several decode, cancelling, files without audio; and the cache.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/tempfolder.h"
#include "waveform/decoder.h"
#include "waveform/peakcache.h"

using namespace tirelle::waveform;
using tirelle::testing::TempFolder;
using tirelle::testing::testDataFolder;

namespace {

std::string media(const char* name) {
    const auto path = testDataFolder() / name;
    return std::filesystem::exists(path) ? path.string() : std::string();
}

#define NEED_MEDIA(path) \
    if ((path).empty()) GTEST_SKIP() << "run scripts/make-test-media first"

struct Decoded {
    DecodeResult result;
    std::vector<Peak> peaks;
    int calls = 0;
};

Decoded decode(const std::string& path, DecodeOptions options = {}, int cancelAfterCalls = 0,
               std::atomic<bool>* cancel = nullptr) {
    Decoded out;
    PeakSink sink;
    sink.started = [&](const AudioInfo& info) { out.peaks.assign(info.bins, Peak{}); };
    sink.peaks = [&](std::size_t first, std::span<const Peak> peaks) {
        if (out.peaks.size() < first + peaks.size()) out.peaks.resize(first + peaks.size());
        for (std::size_t i = 0; i < peaks.size(); ++i) {
            EXPECT_FALSE(out.peaks[first + i].known()) << "bin " << first + i << " reported twice";
            out.peaks[first + i] = peaks[i];
        }
        if (++out.calls == cancelAfterCalls) cancel->store(true);
    };
    options.cancel = cancel;
    out.result = DecodePeaks(path, sink, options);
    return out;
}

// A mono 16-bit WAV file whose header claims `rate` samples per second, holding `samples`
// samples of a quiet level.
std::string wavClaiming(const TempFolder& folder, std::uint32_t rate, std::uint32_t samples) {
    std::string bytes;
    const auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    };
    bytes += "RIFF";
    put(36 + 2 * samples, 4);
    bytes += "WAVEfmt ";
    put(16, 4), put(1, 2), put(1, 2), put(rate, 4), put(rate * 2, 4), put(2, 2), put(16, 2);
    bytes += "data";
    put(2 * samples, 4);
    for (std::uint32_t i = 0; i < samples; ++i) put(0x1000, 2);
    return folder.write("rate-" + std::to_string(rate) + ".wav", bytes).string();
}

// The bins where the signal crosses a quarter of the bursts' level, up or down.
std::vector<std::size_t> edges(const std::vector<Peak>& peaks) {
    std::vector<std::size_t> found;
    bool loud = false;
    for (std::size_t bin = 0; bin < peaks.size(); ++bin) {
        const bool now = peaks[bin].known() && peaks[bin].max > 4096;
        if (now != loud) found.push_back(bin);
        loud = now;
    }
    return found;
}

}  // namespace

TEST(Peaks, BurstEdgesWithinOneBinForAnyThreadCount) {
    NEED_MEDIA(media("tones.mp4"));
    // Onsets and ends of the bursts in bins (10 ms): the ones at 20 s, 40 s and 60 s straddle
    // the places where two threads split the work.
    const std::vector<std::size_t> expected = {100, 250, 1950, 2073, 3999, 4100, 6025, 6150};
    const struct {
        const char* name;
        std::size_t bins;  // the length as the file tells it (raw AAC: guessed from the bit rate)
        long late;         // bins: the encoder's 1024 silent lead-in samples, kept where not marked
    } files[] = {{"tones.mp4", 7000, 0},
                 {"tones.ts", 6985, 2},
                 {"tones.mp3", 7004, 0},
                 {"tones.aac", 6188, 2}};
    for (const auto& file : files) {
        std::vector<Peak> single;
        for (int threads : {1, 2, 3}) {
            SCOPED_TRACE(std::string(file.name) + ", threads " + std::to_string(threads));
            DecodeOptions options;
            options.threads = threads;
            const Decoded got = decode(media(file.name), options);
            ASSERT_EQ(got.result.status, DecodeStatus::Complete) << got.result.message;
            EXPECT_EQ(got.result.info.bins, file.bins);
            EXPECT_EQ(got.result.info.channels, 2);
            const std::vector<std::size_t> found = edges(got.peaks);
            ASSERT_EQ(found.size(), expected.size());
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const long want = static_cast<long>(expected[i]) + file.late;
                EXPECT_LE(std::abs(static_cast<long>(found[i]) - want), 1)
                    << "edge " << i << " at bin " << found[i] << ", expected " << want;
            }
            // Silence is silence, a burst peaks near half of full scale (0.5 mixed down).
            EXPECT_LE(got.peaks[500].max, 64);
            EXPECT_NEAR(got.peaks[150].max, 16384, 1200);
            EXPECT_NEAR(got.peaks[150].min, -16384, 1200);
            for (std::size_t bin = 0; bin < 6980; ++bin) ASSERT_TRUE(got.peaks[bin].known()) << bin;
            if (threads == 1)
                single = got.peaks;
            else
                EXPECT_EQ(got.peaks, single);  // the split decodes settle before their first bin
        }
    }
}

TEST(Peaks, SpeechSamplesTheSameHoweverTheFileIsCut) {
    NEED_MEDIA(media("tones.mp4"));
    for (const char* name : {"tones.mp4", "tones.ts", "tones.mp3", "tones.aac"}) {
        std::vector<std::int16_t> single;
        for (int threads : {1, 2, 3}) {
            SCOPED_TRACE(std::string(name) + ", threads " + std::to_string(threads));
            std::vector<std::int16_t> samples;
            PeakSink sink;
            sink.speech = [&](std::span<const std::int16_t> got) {
                samples.insert(samples.end(), got.begin(), got.end());
            };
            DecodeOptions options;
            options.threads = threads;
            const DecodeResult result = DecodePeaks(media(name), sink, options);
            ASSERT_EQ(result.status, DecodeStatus::Complete) << result.message;
            const double seconds = static_cast<double>(samples.size()) / kSpeechRate;
            EXPECT_NEAR(seconds, 70.0, 0.1);  // the files' length, whatever their headers say
            // Silence before the first burst (1.00 s), the burst at about half of full scale.
            const auto loudest = [&](double from, double to) {
                int high = 0;
                for (auto i = std::size_t(from * kSpeechRate); i < std::size_t(to * kSpeechRate); ++i)
                    high = std::max(high, std::abs(int(samples.at(i))));
                return high;
            };
            EXPECT_LE(loudest(0.2, 0.9), 64);
            EXPECT_NEAR(loudest(1.2, 2.3), 16384, 1500);
            if (threads == 1)
                single = samples;
            else
                EXPECT_TRUE(samples == single) << "the cut changed the samples from "
                    << std::mismatch(samples.begin(), samples.end(), single.begin(), single.end()).first - samples.begin();
        }
    }
}

TEST(Peaks, CancelStopsEveryThreadSoon) {
    const std::string tones = media("tones.mp4");
    NEED_MEDIA(tones);
    std::atomic<bool> cancel{false};
    DecodeOptions options;
    options.threads = 2;
    options.chunkBins = 100;
    const Decoded got = decode(tones, options, 1, &cancel);
    EXPECT_EQ(got.result.status, DecodeStatus::Cancelled);
    EXPECT_LT(got.result.binsReported, 3000u);
}

TEST(Peaks, FilesWithoutDecodableAudio) {
    const std::string noAudio = media("noaudio.mp4");
    NEED_MEDIA(noAudio);
    const TempFolder folder;
    const struct {
        std::string path;
        DecodeStatus status;
    } cases[] = {
        {noAudio, DecodeStatus::NoAudio},
        {media("unplayable.mp4"), DecodeStatus::Failed},
        {(testDataFolder() / "missing.mp4").string(), DecodeStatus::Failed},
        // A header claiming 2,000,000,000 Hz: 8000 samples would be 4 microseconds.
        {wavClaiming(folder, 2000000000, 8000), DecodeStatus::Failed},
    };
    for (const auto& c : cases) {
        const Decoded got = decode(c.path);
        EXPECT_EQ(got.result.status, c.status) << c.path;
        EXPECT_FALSE(got.result.message.empty()) << c.path;
        EXPECT_EQ(got.calls, 0) << c.path;
    }
}

TEST(Peaks, MemoryGivesTheFilesPeaks) {
    const std::string tones = media("tones.mp4");
    NEED_MEDIA(tones);
    const std::string bytes = TempFolder::read(tones);
    std::vector<Peak> fromMemory;
    PeakSink sink;
    sink.peaks = [&](std::size_t first, std::span<const Peak> peaks) {
        if (fromMemory.size() < first + peaks.size()) fromMemory.resize(first + peaks.size());
        std::copy(peaks.begin(), peaks.end(), fromMemory.begin() + static_cast<long>(first));
    };
    DecodeOptions options;
    options.threads = 2;
    const auto result = DecodePeaksFromMemory(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, sink, options);
    ASSERT_EQ(result.status, DecodeStatus::Complete) << result.message;
    EXPECT_EQ(fromMemory, decode(tones).peaks);
    // Truncated and damaged bytes end in a status, never in a crash.
    for (std::size_t size : {std::size_t{0}, std::size_t{100}, bytes.size() / 2}) {
        std::string damaged = bytes.substr(0, size);
        for (std::size_t i = 4000; i < damaged.size(); i += 997) damaged[i] = static_cast<char>(~damaged[i]);
        DecodePeaksFromMemory({reinterpret_cast<const std::uint8_t*>(damaged.data()), damaged.size()},
                              PeakSink{}, options);
    }
    // Half an MP3 whose header tells the whole length: peaks for half, not to be kept.
    const std::string mp3 = TempFolder::read(media("tones.mp3"));
    const auto half = DecodePeaksFromMemory(
        {reinterpret_cast<const std::uint8_t*>(mp3.data()), mp3.size() / 2}, PeakSink{}, options);
    EXPECT_EQ(half.status, DecodeStatus::Incomplete) << half.binsReported;
}

TEST(PeakCacheTest, HitOnlyForTheSameFileUnchanged) {
    TempFolder folder;
    const auto media = folder.write("film.mp4", "0123456789");
    const auto key = KeyForFile(media);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->size, 10u);
    const PeakCache cache(folder.path() / "cache" / "peaks");
    std::vector<Peak> peaks = {{-5, 7}, {}, {-32768, 32767}};
    EXPECT_FALSE(cache.load(*key));
    ASSERT_TRUE(cache.store(*key, peaks));
    EXPECT_EQ(cache.load(*key), peaks);

    const struct {
        const char* change;
        CacheKey key;
    } misses[] = {
        {"size", {key->path, key->size + 1, key->mtimeNs}},
        {"time", {key->path, key->size, key->mtimeNs + 1}},
        {"path", {key->path + "x", key->size, key->mtimeNs}},
    };
    for (const auto& miss : misses) EXPECT_FALSE(cache.load(miss.key)) << miss.change;

    // A damaged or shortened file reads as a miss.
    const auto file = cache.fileFor(*key);
    std::string bytes = TempFolder::read(file);
    for (const std::string& broken : {bytes.substr(0, bytes.size() - 1), bytes + "x", "TIRPEAK0" + bytes.substr(8)}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << broken;
        EXPECT_FALSE(cache.load(*key));
    }
}

TEST(PeakCacheTest, FolderFollowsXdg) {
    // The variables are put back afterwards, whatever they held.
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"XDG_CACHE_HOME", "HOME"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("XDG_CACHE_HOME", "/var/cache-x", 1);
    EXPECT_EQ(DefaultCacheFolder(), std::filesystem::path("/var/cache-x/tirelle/peaks"));
    setenv("XDG_CACHE_HOME", "relative", 1);  // not absolute: ignored, as the XDG rules say
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(DefaultCacheFolder(), std::filesystem::path("/home/u/.cache/tirelle/peaks"));
    for (const auto& [name, value] : saved)
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
}

TEST(Peaks, ForgedSizesDoNotTakeTheMemoryTheyClaim) {
    // 60 bytes of WAV whose INFO item says it holds nearly 2 GB: the demuxer would allocate and
    // clear all of it before finding the bytes missing.
    std::string bytes;
    const auto put = [&](std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    };
    bytes += "RIFF";
    put(0x7ffffff0);
    bytes += "WAVEfmt ";
    put(16), put(0x00010001), put(8000), put(16000), put(0x00100002);
    bytes += "LIST";
    put(0x7fffffe0);
    bytes += "INFOISFT";
    put(0x7a000000);
    bytes += "Lavf";
    const auto peakMegabytes = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss / 1024;
    };
    const long before = peakMegabytes();
    DecodePeaksFromMemory({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                          PeakSink{}, DecodeOptions{});
    EXPECT_LT(peakMegabytes() - before, 1024);
}
