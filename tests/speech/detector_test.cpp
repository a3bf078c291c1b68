// The speech detector on the generated films with known speech, files without speech, the
// same spans however the decoding is cut; and the spans' cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "speech/analysis.h"
#include "speech/cache.h"
#include "speech/detector.h"
#include "speech/load.h"
#include "tests/support/tempfolder.h"

namespace tirelle::speech {

void PrintTo(SpeechStatus status, std::ostream* out) { *out << "status " << static_cast<int>(status); }

namespace {

using testing::TempFolder;
using testing::testDataFolder;

std::string media(const std::string& name) {
    const auto path = testDataFolder() / name;
    return std::filesystem::exists(path) ? path.string() : std::string();
}

#define NEED_MEDIA(path) \
    if ((path).empty()) GTEST_SKIP() << "run scripts/make-test-media first"

// 1 when a found onset (or offset) lies within 100 ms of `at`.
int NearestEdgeWithin(const SpeechSpans& spans, double at, bool onset) {
    for (const SpeechSpan& span : spans)
        if (std::abs((onset ? span.start : span.end) - at) <= 0.1) return 1;
    return 0;
}

AudioAnalysis analyse(const std::string& path, int threads = 0) {
    waveform::DecodeOptions options;
    options.threads = threads;
    return AnalyseAudio(path, {}, options);
}

TEST(SpeechDetector, EdgesOfTheKnownSentences) {
    NEED_MEDIA(media("speech/speech-20db.mp4"));
    // Share of true edges with a found edge of the same kind within 100 ms, per film.
    const struct {
        const char* film;
        double share;
    } cases[] = {{"speech-20db", 0.97},      {"speech-13db-music", 0.9}, {"speech-7db", 0.9},
                 {"speech-15db-music", 0.9}, {"speech-10db-pad", 0.9}};
    for (const auto& c : cases) {
        const AudioAnalysis got = analyse(media(std::string("speech/") + c.film + ".mp4"));
        ASSERT_EQ(got.status, SpeechStatus::Found) << c.film << ": " << got.message;
        std::ifstream truth(testDataFolder() / "speech" / (std::string(c.film) + ".spans"));
        double start = 0, end = 0;
        int edges = 0, near = 0;
        while (truth >> start >> end) {
            edges += 2;
            near += NearestEdgeWithin(got.spans, start, true) + NearestEdgeWithin(got.spans, end, false);
        }
        ASSERT_GT(edges, 60) << c.film;
        EXPECT_GE(near, c.share * edges) << c.film << ": " << near << " of " << edges;
    }
}

// Measures of ten seconds: a background 40 dB under a sound from 3 s to 5 s whose level, per
// millisecond, is given by `level` (dB over the background, from the sound's start in ms), as
// the voice detector hears a voice throughout.
template <class Level>
SpeechMeasures MeasuresOf(Level level) {
    SpeechMeasures m;
    const auto fine = [](double db) { return static_cast<std::uint8_t>(std::lround(2 * (db + 110))); };
    for (int ms = 0; ms < 10000; ++ms) {
        const bool sounding = ms >= 3000 && ms < 5000;
        m.voiceFine.push_back(fine(-60 + (sounding ? level(ms - 3000) : 0) + (ms % 3 == 0 ? 1 : 0)));
        m.hissFine.push_back(fine(-70));
        if (ms % 10 == 9) {
            double power = 0;
            for (int k = ms - 9; k <= ms; ++k) power += std::pow(10.0, (m.voiceFine[k] / 2.0 - 110) / 10);
            m.voiceBand.push_back(static_cast<float>(10 * std::log10(power / 10)));
            m.hissBand.push_back(-70);
            m.voiced.push_back(sounding ? 1 : 0);
        }
    }
    return m;
}

TEST(FindSpans, SpeechRisesAndFallsAHeldSoundDoesNot) {
    const struct {
        const char* name;
        SpeechMeasures measures;
        std::size_t spans;
    } cases[] = {
        // Syllables of 170 ms with dips of 80 ms between, 20 dB down.
        {"syllables", MeasuresOf([](int ms) { return ms % 250 < 170 ? 40.0 : 20.0; }), 1},
        // A chord whose notes beat: its 10 ms levels flicker by 8 dB, its 40 ms level holds.
        {"a held chord", MeasuresOf([](int ms) { return ms % 20 < 10 ? 44.0 : 36.0; }), 0},
        {"a hum", MeasuresOf([](int) { return 40.0; }), 0},
    };
    for (const auto& c : cases) {
        const SpeechSpans spans = FindSpans(c.measures);
        ASSERT_EQ(spans.size(), c.spans) << c.name;
        if (c.spans == 1) {
            EXPECT_NEAR(spans[0].start, 3.0, 0.02) << c.name;
            EXPECT_NEAR(spans[0].end, 5.0, 0.1) << c.name;
        }
    }
}

// The band levels of a 300 Hz to 3.4 kHz band (two high-pass and two low-pass sections) and
// one above 3.4 kHz (two high-pass), each section on its own, one after the other.
std::array<std::vector<double>, 2> BandPowersPerMs(const std::vector<std::int16_t>& samples) {
    struct Biquad {
        double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        Biquad(double hz, bool high) {
            const double w = 2 * std::numbers::pi * hz / 16000,
                         alpha = std::sin(w) / std::sqrt(2.0);
            const double c = std::cos(w), a0 = 1 + alpha;
            b1 = (high ? -(1 + c) : 1 - c) / a0, b0 = b2 = (high ? 1 + c : 1 - c) / 2 / a0;
            a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
        }
        double operator()(double x) {
            const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            return x2 = x1, x1 = x, y2 = y1, y1 = y;
        }
    };
    std::vector<Biquad> voice = {{300, true}, {300, true}, {3400, false}, {3400, false}};
    std::vector<Biquad> hiss = {{3400, true}, {3400, true}};
    std::array<std::vector<double>, 2> powers;
    for (std::size_t i = 0; i + 16 <= samples.size(); i += 16) {
        double v2 = 0, h2 = 0;
        for (std::size_t k = i; k < i + 16; ++k) {
            double v = samples[k] / 32768.0, h = v;
            for (Biquad& b : voice) v = b(v);
            for (Biquad& b : hiss) h = b(h);
            v2 += v * v, h2 += h * h;
        }
        powers[0].push_back(v2 / 16), powers[1].push_back(h2 / 16);
    }
    return powers;
}

TEST(SpeechDetector, BandLevelsOfEachMillisecond) {
    // Tones in and above the voice band that start and stop at random samples, fed in pieces
    // that split the frames anywhere.
    std::vector<std::int16_t> samples(3 * SpeechDetector::kRate);
    std::mt19937 random(7);
    bool on = true;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (random() % 40 == 0) on = !on;
        const double t = static_cast<double>(i) / SpeechDetector::kRate;
        samples[i] =
            on ? static_cast<std::int16_t>(6000 * std::sin(2 * std::numbers::pi * 900 * t) +
                                           3000 * std::sin(2 * std::numbers::pi * 5200 * t))
               : 0;
    }
    const auto powers = BandPowersPerMs(samples);
    const auto halfDb = [](double power) {
        return std::clamp(std::lround(20 * std::log10(power) + 220), 0L, 255L);
    };
    for (const auto instructions :
         {SpeechDetector::Instructions::Widest, SpeechDetector::Instructions::Baseline}) {
        SCOPED_TRACE(instructions == SpeechDetector::Instructions::Widest ? "widest" : "baseline");
        SpeechDetector detector(instructions);
        for (std::size_t at = 0; at < samples.size(); at += 997)
            detector.feed(
                std::span(samples).subspan(at, std::min<std::size_t>(997, samples.size() - at)));
        const SpeechMeasures& m = detector.measures();
        ASSERT_EQ(m.voiced.size(), samples.size() / 160);
        ASSERT_EQ(m.voiceFine.size(), powers[0].size());
        for (std::size_t ms = 0; ms < powers[0].size(); ++ms) {
            ASSERT_NEAR(m.voiceFine[ms], halfDb(powers[0][ms]), 1) << ms << " ms";
            ASSERT_NEAR(m.hissFine[ms], halfDb(powers[1][ms]), 1) << ms << " ms";
        }
        for (std::size_t f = 0; f < m.voiced.size(); ++f) {
            double voice = 0, hiss = 0;
            for (std::size_t ms = f * 10; ms < f * 10 + 10; ++ms)
                voice += powers[0][ms], hiss += powers[1][ms];
            // Silence is -110 dB.
            ASSERT_NEAR(m.voiceBand[f], std::max(-110.0, 10 * std::log10(voice / 10)), 0.01) << f;
            ASSERT_NEAR(m.hissBand[f], std::max(-110.0, 10 * std::log10(hiss / 10)), 0.01) << f;
        }
    }
}

TEST(SpeechDetector, TheSameSpansHoweverTheDecodingIsCut) {
    const std::string film = media("speech/speech-13db-music.mp4");
    NEED_MEDIA(film);
    const AudioAnalysis one = analyse(film, 1);
    for (int threads : {2, 3}) EXPECT_EQ(analyse(film, threads).spans, one.spans) << threads << " threads";
}

TEST(SpeechDetector, FilesWithoutSpeech) {
    NEED_MEDIA(media("noaudio.mp4"));
    const struct {
        std::string path;
        SpeechStatus status;
    } cases[] = {
        {media("noaudio.mp4"), SpeechStatus::NoAudio},
        {media("unplayable.mp4"), SpeechStatus::Failed},
        {media("tones.mp4"), SpeechStatus::NoSpeech},           // bursts of one steady tone
        {media("speech/silence.mp4"), SpeechStatus::NoSpeech},  // an hour of it
        {media("speech/music.mp4"), SpeechStatus::NoSpeech},    // chords that fade out and in
        {media("speech/music-pad.mp4"), SpeechStatus::NoSpeech},  // held chords
    };
    for (const auto& c : cases) {
        const AudioAnalysis got = analyse(c.path);
        EXPECT_EQ(got.status, c.status) << c.path;
        EXPECT_TRUE(got.spans.empty()) << c.path;
        if (c.status == SpeechStatus::NoAudio || c.status == SpeechStatus::Failed) {
            EXPECT_FALSE(got.message.empty()) << c.path;
        }
    }
}

TEST(SpeechCacheTest, SpansComeBackOnlyWhole) {
    TempFolder folder;
    const auto key = waveform::KeyForFile(folder.write("film.mp4", "0123456789"));
    ASSERT_TRUE(key);
    const SpeechCache cache(folder.path() / "cache");
    const SpeechSpans spans = {{1.25, 2.5, 0.75f}, {3.0, 4.125, 1.0f}};
    EXPECT_FALSE(cache.load(*key));
    ASSERT_TRUE(cache.store(*key, spans));
    EXPECT_EQ(cache.load(*key), spans);
    // The peaks of the same key live beside, in a file of their own.
    EXPECT_NE(cache.fileFor(*key), waveform::PeakCache(folder.path() / "cache").fileFor(*key));

    const std::string bytes = TempFolder::read(cache.fileFor(*key));
    const struct {
        const char* name;
        std::string bytes;
    } broken[] = {
        {"shortened", bytes.substr(0, bytes.size() - 1)},
        {"longer", bytes + "x"},
        {"another version", "TIRSPCH0" + bytes.substr(8)},
        {"empty", ""},
    };
    for (const auto& b : broken) {
        std::ofstream(cache.fileFor(*key), std::ios::binary | std::ios::trunc) << b.bytes;
        EXPECT_FALSE(cache.load(*key)) << b.name;
    }
    // Spans out of order, overlapping or not numbers are refused as well.
    for (const SpeechSpans& bad : {SpeechSpans{{2, 3}, {1, 4}}, SpeechSpans{{1, 3}, {2, 4}},
                                   SpeechSpans{{NAN, 1}}, SpeechSpans{{1, 2, 2.0f}}})
        EXPECT_FALSE(ParseSpans(SerializeSpans(bad)));
}

TEST(LoadSpeechTest, DecodedOnceThenFromTheCache) {
    const std::string film = media("speech/speech-20db.mp4");
    NEED_MEDIA(film);
    TempFolder folder;
    const LoadedSpeech first = LoadSpeech(film, folder.path(), &AnalyseAudio, "");
    ASSERT_EQ(first.status, SpeechStatus::Found) << first.message;
    EXPECT_FALSE(first.fromCache);
    // No decoder the second time: the cache has the spans, and the peaks too.
    const LoadedSpeech second = LoadSpeech(film, folder.path(), nullptr, "no module");
    EXPECT_TRUE(second.fromCache);
    EXPECT_EQ(second.spans, first.spans);
    EXPECT_TRUE(waveform::PeakCache(folder.path()).load(*waveform::KeyForFile(film)));
    const LoadedSpeech missing = LoadSpeech(media("tones.mp4"), folder.path(), nullptr, "no module");
    EXPECT_EQ(missing.status, SpeechStatus::Failed);
    EXPECT_EQ(missing.message, "no module");
}

}  // namespace
}  // namespace tirelle::speech
