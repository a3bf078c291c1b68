#include "sync/correlation.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <mutex>

namespace tirelle::sync {

namespace {

// FFTW's planner is shared by the whole process and not thread-safe; executing a plan is, on
// arrays of the alignment fftw_malloc gives. Making a plan costs more than running it (its
// twiddle factors), so the plans of each size are kept for the life of the process.
struct Plans {
    fftw_plan forward = nullptr;   // real to half-complex
    fftw_plan backward = nullptr;  // half-complex to real
};

// Destroyed at exit with the plans it holds, and FFTW's planner memory with them.
struct PlanCache {
    std::mutex planner;
    std::map<std::size_t, Plans> plans;
    ~PlanCache() {
        for (auto& [size, made] : plans) {
            if (made.forward) fftw_destroy_plan(made.forward);
            if (made.backward) fftw_destroy_plan(made.backward);
        }
        fftw_cleanup();
    }
};

const Plans& PlansFor(std::size_t n) {
    static PlanCache cache;
    std::lock_guard lock(cache.planner);
    auto [at, made] = cache.plans.try_emplace(n);
    if (made) {
        double* real = fftw_alloc_real(n);
        fftw_complex* half = fftw_alloc_complex(n / 2 + 1);
        if (!real || !half) {
            fftw_free(real);
            fftw_free(half);
            cache.plans.erase(at);
            throw std::bad_alloc();
        }
        const int size = static_cast<int>(n);
        at->second.forward = fftw_plan_dft_r2c_1d(size, real, half, FFTW_ESTIMATE);
        at->second.backward = fftw_plan_dft_c2r_1d(size, half, real, FFTW_ESTIMATE);
        fftw_free(real);
        fftw_free(half);
    }
    return at->second;
}

template <class T>
struct FftwBuffer {
    explicit FftwBuffer(std::size_t n) : data(static_cast<T*>(fftw_malloc(sizeof(T) * n))) {
        if (!data) throw std::bad_alloc();
    }
    ~FftwBuffer() { fftw_free(data); }
    FftwBuffer(const FftwBuffer&) = delete;
    FftwBuffer& operator=(const FftwBuffer&) = delete;
    T* data;
};

// A size FFTW transforms fast, a product of 2 and 3, at least n (few sizes, so few plans).
std::size_t FastSize(std::size_t n) {
    for (std::size_t size = std::max<std::size_t>(n, 16);; ++size) {
        std::size_t rest = size;
        for (const std::size_t f : {2, 3})
            while (rest % f == 0) rest /= f;
        if (rest == 1) return size;
    }
}

// Samples intervals from `origin` into bins of `step` seconds: each bin holds the share of it
// they cover (intervals that overlap one another add up).
void Sample(const std::vector<Interval>& intervals, double origin, double step, double* bins,
            std::size_t count) {
    std::fill(bins, bins + count, 0.0);
    const double last = static_cast<double>(count);
    for (const Interval& i : intervals) {
        const double a = std::clamp((i.start - origin) / step, 0.0, last);
        const double b = std::clamp((i.end - origin) / step, 0.0, last);
        if (!(b > a)) continue;
        const auto first = static_cast<std::size_t>(a);
        const auto end = static_cast<std::size_t>(b);
        if (first == end) {
            bins[first] += b - a;
            continue;
        }
        bins[first] += static_cast<double>(first + 1) - a;
        for (std::size_t k = first + 1; k < end && k < count; ++k) bins[k] += 1;
        if (end < count) bins[end] += b - static_cast<double>(end);
    }
}

}  // namespace

struct Correlator::Transform {
    double origin = 0;
    std::size_t n = 0;
    // The film's speech, and its starts and its ends as one count in the bin each falls in.
    std::vector<std::complex<double>> spans, starts, ends;
};

Correlator::Correlator(const Coverage& coverage, double filmEnd, double density, double step,
                       double edgeWindow, double edgeWeight)
    : coverage_(coverage),
      filmEnd_(filmEnd),
      density_(density),
      step_(step),
      edgeWindow_(edgeWindow),
      edgeWeight_(edgeWeight) {}

Correlator::~Correlator() = default;

const Correlator::Transform& Correlator::filmTransform(double origin, std::size_t n) const {
    if (cached_ && cached_->origin == origin && cached_->n == n) return *cached_;
    auto transform = std::make_unique<Transform>();
    transform->origin = origin;
    transform->n = n;
    FftwBuffer<double> film(n);
    FftwBuffer<fftw_complex> spectrum(n / 2 + 1);
    const auto keep = [&](std::vector<std::complex<double>>& into) {
        fftw_execute_dft_r2c(PlansFor(n).forward, film.data, spectrum.data);
        const auto* c = reinterpret_cast<const std::complex<double>*>(spectrum.data);
        into.assign(c, c + n / 2 + 1);
    };
    // Only the film's own time holds speech.
    std::vector<Interval> inFilm;
    for (const Interval& s : coverage_.spans())
        if (s.end > 0 && s.start < filmEnd_)
            inFilm.push_back({std::max(s.start, 0.0), std::min(s.end, filmEnd_)});
    Sample(inFilm, origin, step_, film.data, n);
    keep(transform->spans);
    for (const bool starts : {true, false}) {
        std::fill(film.data, film.data + n, 0.0);
        for (const Interval& s : inFilm) {
            const double bin = std::floor(((starts ? s.start : s.end) - origin) / step_);
            if (bin >= 0 && bin < static_cast<double>(n))
                film.data[static_cast<std::size_t>(bin)] += 1;
        }
        keep(starts ? transform->starts : transform->ends);
    }
    cached_ = std::move(transform);
    return *cached_;
}

OffsetScores Correlator::scores(const std::vector<Interval>& lines, double low, double high) const {
    OffsetScores out;
    out.step = step_;
    if (lines.empty() || !(high >= low)) return out;
    double first = lines.front().start, last = lines.front().end;
    for (const Interval& l : lines) {
        first = std::min(first, l.start);
        last = std::max(last, l.end);
    }
    // Film bins lie on the grid of whole steps, so that every search over the same range
    // shares the film's transform; the lines are sampled from their first start.
    const double origin = std::floor((first + low) / step_ + 1e-9) * step_;
    out.firstOffset = origin - first;
    // The last end's box reaches past the last end.
    const auto lineBins =
        static_cast<std::size_t>(std::ceil((last + edgeWindow_ - first) / step_)) + 1;
    const auto offsets = static_cast<std::size_t>(std::ceil((high - out.firstOffset) / step_)) + 1;
    const std::size_t filmBins = lineBins + offsets;
    // Lags up to filmBins never wrap around the transform's length.
    const std::size_t n = FastSize(std::max(filmBins, reservedBins_));
    const Transform& film = filmTransform(origin, n);

    FftwBuffer<double> sampled(n);
    FftwBuffer<fftw_complex> spectrum(n / 2 + 1);
    const Plans& plans = PlansFor(n);
    // The lines' spans, and a box of the edge window around each start and each end: its
    // correlation with the film's starts counts the starts that meet one.
    std::vector<std::complex<double>> sum(n / 2 + 1);
    std::vector<double> prefix(lineBins + 1, 0.0);
    const auto add = [&](const std::vector<Interval>& intervals,
                         const std::vector<std::complex<double>>& filmSpectrum, double weight) {
        Sample(intervals, first, step_, sampled.data, lineBins);
        std::fill(sampled.data + lineBins, sampled.data + n, 0.0);
        if (&filmSpectrum == &film.spans)  // the time inside the film needs the lines' sums
            for (std::size_t k = 0; k < lineBins; ++k) prefix[k + 1] = prefix[k] + sampled.data[k];
        fftw_execute_dft_r2c(plans.forward, sampled.data, spectrum.data);
        const auto* c = reinterpret_cast<const std::complex<double>*>(spectrum.data);
        for (std::size_t k = 0; k < n / 2 + 1; ++k)
            sum[k] += weight * filmSpectrum[k] * std::conj(c[k]);
    };
    add(lines, film.spans, step_);
    if (edgeWeight_ > 0) {
        std::vector<Interval> boxes;
        boxes.reserve(lines.size());
        for (const bool starts : {true, false}) {
            boxes.clear();
            for (const Interval& l : lines) {
                const double at = starts ? l.start : l.end;
                boxes.push_back({at - edgeWindow_, at + edgeWindow_});
            }
            // (The box of the first start loses what lies before the first start.)
            add(boxes, starts ? film.starts : film.ends, edgeWeight_);
        }
    }
    std::copy(sum.begin(), sum.end(), reinterpret_cast<std::complex<double>*>(spectrum.data));
    fftw_execute_dft_c2r(plans.backward, spectrum.data, sampled.data);

    // Film bins [filmFrom, filmTo) lie inside the film.
    const double filmFrom = std::ceil(-origin / step_);
    const double filmTo = std::floor((filmEnd_ - origin) / step_);
    out.excess.resize(offsets);
    const double scale = 1 / static_cast<double>(n);  // FFTW leaves the 1/n out
    for (std::size_t m = 0; m < offsets; ++m) {
        const double from =
            std::clamp(filmFrom - static_cast<double>(m), 0.0, static_cast<double>(lineBins));
        const double to =
            std::clamp(filmTo - static_cast<double>(m), from, static_cast<double>(lineBins));
        const double inside =
            step_ * (prefix[static_cast<std::size_t>(to)] - prefix[static_cast<std::size_t>(from)]);
        out.excess[m] = sampled.data[m] * scale - density_ * inside;
    }
    return out;
}

std::vector<Peak> Peaks(const OffsetScores& scores, std::size_t count, double separation) {
    const std::vector<double>& e = scores.excess;
    std::vector<std::size_t> maxima;
    for (std::size_t m = 0; m < e.size(); ++m) {
        const bool rises = m == 0 || e[m] > e[m - 1];
        const bool falls = m + 1 == e.size() || e[m] >= e[m + 1];
        if (rises && falls && e[m] > 0) maxima.push_back(m);
    }
    // Only the best few maxima can be chosen: each one taken rules out at most those within the
    // separation on either side of it.
    const std::size_t wanted = std::min(
        maxima.size(), count * (2 * static_cast<std::size_t>(separation / scores.step) + 3));
    std::partial_sort(maxima.begin(), maxima.begin() + static_cast<std::ptrdiff_t>(wanted),
                      maxima.end(), [&](std::size_t a, std::size_t b) { return e[a] > e[b]; });
    maxima.resize(wanted);
    std::vector<Peak> peaks;
    for (const std::size_t m : maxima) {
        if (peaks.size() == count) break;
        const double offset = scores.offset(m);
        const bool near = std::any_of(peaks.begin(), peaks.end(), [&](const Peak& p) {
            return std::abs(p.offset - offset) < separation;
        });
        if (!near) peaks.push_back({offset, e[m]});
    }
    return peaks;
}

}  // namespace tirelle::sync
