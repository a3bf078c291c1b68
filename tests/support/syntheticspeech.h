#pragma once
// Films made of numbers for the sync's tests and benchmark: subtitles timed exactly to the
// speech, the speech as a detector finds it (edges off by tens of milliseconds, pauses inside a
// sentence, sentences missed, noise taken for speech, stretches of music taken for speech), and
// the three ways a file for another release is off (an offset, a frame-rate stretch, a jump).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "sync/mapping.h"

namespace tirelle::testing {

struct DetectorNoise {
    double jitter = 0.03;        // standard deviation of each edge, seconds
    double splitShare = 0.3;     // sentences with a pause inside
    double missedShare = 0.08;   // sentences not found at all
    double spuriousShare = 0.1;  // pauses where noise is taken for speech
    int musicStretches = 2;      // 10 to 30 s taken for speech as a whole
};

struct SyntheticFilm {
    std::vector<sync::Interval> truth;   // every line as it belongs, by start
    std::vector<sync::Interval> speech;  // what the detector gives, by start, not overlapping
    double duration = 0;                 // seconds
    std::size_t middle = 0;              // the first line after the quiet scene
};

// `lines` sentences of 0.8 to 4.5 s with pauses of 0.12 to 4.2 s (1,500 of them fill about
// two hours), and after the middle one a scene of 50 s with speech but no subtitles, where a
// release may have been cut.
inline SyntheticFilm MakeFilm(std::uint32_t seed, int lines, const DetectorNoise& noise = {}) {
    std::mt19937 random(seed);
    const auto uniform = [&](double a, double b) {
        return std::uniform_real_distribution<double>(a, b)(random);
    };
    SyntheticFilm film;
    std::vector<sync::Interval> unsubtitled;
    double t = uniform(20, 30);  // titles first: no file moved 18 s earlier starts before 0
    for (int i = 0; i < lines; ++i) {
        if (i == lines / 2) {
            film.middle = static_cast<std::size_t>(i);
            for (double s = t + 2; s < t + 46; s += uniform(3, 8))
                unsubtitled.push_back({s, s + uniform(0.8, 2.5)});
            t += 50;
        }
        const double length = uniform(0.8, 4.5);
        film.truth.push_back({t, t + length});
        t += length + uniform(0.12, 4.2);
    }
    film.duration = t + uniform(5, 20);

    std::normal_distribution<double> edge(0, noise.jitter);
    const auto jittered = [&](double x) {
        return x + std::clamp(edge(random), -3 * noise.jitter, 3 * noise.jitter);
    };
    std::vector<sync::Interval> found = unsubtitled;
    for (std::size_t i = 0; i < film.truth.size(); ++i) {
        const sync::Interval& line = film.truth[i];
        if (uniform(0, 1) < noise.missedShare) continue;
        const double a = jittered(line.start), b = jittered(line.end);
        if (b - a > 1.2 && uniform(0, 1) < noise.splitShare) {
            const double pause = uniform(a + 0.4, b - 0.6);
            found.push_back({a, pause});
            found.push_back({pause + uniform(0.1, 0.3), b});
        } else {
            found.push_back({a, b});
        }
        if (i + 1 < film.truth.size()) {
            const double gapFrom = line.end + 0.15, gapTo = film.truth[i + 1].start - 0.15;
            if (gapTo - gapFrom > 0.5 && uniform(0, 1) < noise.spuriousShare) {
                const double s = uniform(gapFrom, gapTo - 0.3);
                found.push_back({s, std::min(gapTo, s + uniform(0.2, 0.6))});
            }
        }
    }
    for (int m = 0; m < noise.musicStretches; ++m) {
        const double s = uniform(0, film.duration - 30);
        found.push_back({s, s + uniform(10, 30)});
    }
    std::sort(found.begin(), found.end(),
              [](const sync::Interval& x, const sync::Interval& y) { return x.start < y.start; });
    for (const sync::Interval& s : found) {
        if (!film.speech.empty() && s.start <= film.speech.back().end)
            film.speech.back().end = std::max(film.speech.back().end, s.end);
        else
            film.speech.push_back(s);
    }
    return film;
}

enum class Distortion { Offset, Stretch, Jump };

// The truth as a file for another release: every line `offset` seconds off; or timed on a
// 25 frames per second release (the film runs at 23.976) and then off by `offset`; or off by
// `offset` with the lines after the quiet scene `jump` seconds further off (negative: the
// release the file was made for lacked part of the scene).
inline std::vector<sync::Interval> Distort(const SyntheticFilm& film, Distortion distortion,
                                           double offset, double jump = 0) {
    std::vector<sync::Interval> file;
    for (std::size_t i = 0; i < film.truth.size(); ++i) {
        double shift = offset;
        double scale = 1;
        if (distortion == Distortion::Stretch) scale = 23.976 / 25;
        if (distortion == Distortion::Jump && i >= film.middle) shift += jump;
        file.push_back({film.truth[i].start * scale + shift, film.truth[i].end * scale + shift});
    }
    return file;
}

// Errors of every edge after the mapping, against the truth, in seconds.
inline std::vector<double> EdgeErrors(const SyntheticFilm& film,
                                      const std::vector<sync::Interval>& file,
                                      const sync::Mapping& mapping) {
    std::vector<double> errors;
    for (std::size_t i = 0; i < file.size(); ++i) {
        errors.push_back(std::abs(mapping.map(file[i].start, file[i].start) - film.truth[i].start));
        errors.push_back(std::abs(mapping.map(file[i].end, file[i].start) - film.truth[i].end));
    }
    return errors;
}

inline double ShareWithin(const std::vector<double>& errors, double limit) {
    if (errors.empty()) return 0;
    return static_cast<double>(
               std::count_if(errors.begin(), errors.end(), [&](double e) { return e <= limit; })) /
           static_cast<double>(errors.size());
}

inline double MedianOf(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace tirelle::testing
