#include "shots/picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tirelle::shots {

namespace {

constexpr int kWidth = kPictureWidth;
constexpr int kHeight = kPictureHeight;
constexpr int kSearch = Picture::kSearch;
// Contrast below this many grey levels is noise on a flat picture, not shape.
constexpr double kContrastFloor = 4.0;
// Blocks matched on their own, two side by side at a time: as wide as one SSE2 half-register.
constexpr int kBlockWidth = 8;
constexpr int kBlockHeight = 6;
static_assert(kWidth % (2 * kBlockWidth) == 0 && kHeight % kBlockHeight == 0);
constexpr int kBlocks = (kWidth / kBlockWidth) * (kHeight / kBlockHeight);
// What a block's match costs per pixel of shift, in the units of BlockDifference (about 0.08
// of the contrast on each pixel of the block). Without it a new shot with a busy texture finds
// some shifted place of the old one that matches by chance nearly as well as real motion does.
constexpr int kShiftCost = 150;

// Sums of absolute differences of two blocks side by side of `after`, at (x0, y0) and
// (x0 + kBlockWidth, y0), and the blocks of `before` at the same places shifted by (dx, dy).
std::array<int, 2> BlockDifferences(const Picture& before, const Picture& after, int x0, int y0,
                                    int dx, int dy) {
#if defined(__SSE2__)
    // One register holds both blocks' rows; the sum of each half is its block's.
    __m128i sum = _mm_setzero_si128();
    for (int y = y0; y < y0 + kBlockHeight; ++y) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(after.row(y) + x0));
        const __m128i b =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(before.row(y + dy) + x0 + dx));
        sum = _mm_add_epi64(sum, _mm_sad_epu8(a, b));
    }
    return {_mm_cvtsi128_si32(sum), _mm_cvtsi128_si32(_mm_unpackhi_epi64(sum, sum))};
#else
    std::array<int, 2> sums{};
    for (int y = y0; y < y0 + kBlockHeight; ++y) {
        const std::uint8_t* a = after.row(y) + x0;
        const std::uint8_t* b = before.row(y + dy) + x0 + dx;
        for (int x = 0; x < 2 * kBlockWidth; ++x) sums[x / kBlockWidth] += std::abs(a[x] - b[x]);
    }
    return sums;
#endif
}

}  // namespace

Picture::Picture(const std::uint8_t* luma, int stride) {
    // A little blur first ([1 4 6 4 1] each way): textures that move by a fraction of a pixel
    // (grain, noise, fine patterns) would otherwise change more than the shapes of the shot.
    // The blurred picture is kept in 1/256 grey levels, the edges repeated.
    std::array<int, kWidth * kHeight> across;
    for (int y = 0; y < kHeight; ++y) {
        const std::uint8_t* in = luma + static_cast<std::ptrdiff_t>(y) * stride;
        auto at = [in](int x) { return static_cast<int>(in[std::clamp(x, 0, kWidth - 1)]); };
        for (int x = 0; x < kWidth; ++x)
            across[y * kWidth + x] =
                at(x - 2) + 4 * at(x - 1) + 6 * at(x) + 4 * at(x + 1) + at(x + 2);
    }
    std::array<int, kWidth * kHeight> blurred;
    std::int64_t sum = 0;
    for (int y = 0; y < kHeight; ++y) {
        auto row = [&across](int r) { return &across[std::clamp(r, 0, kHeight - 1) * kWidth]; };
        const int *r0 = row(y - 2), *r1 = row(y - 1), *r2 = row(y), *r3 = row(y + 1),
                  *r4 = row(y + 2);
        for (int x = 0; x < kWidth; ++x) {
            const int v = r0[x] + 4 * r1[x] + 6 * r2[x] + 4 * r3[x] + r4[x];
            blurred[y * kWidth + x] = v;
            sum += v;
        }
    }
    constexpr double kPixels = kWidth * kHeight;
    const double mean = static_cast<double>(sum) / kPixels;
    double squares = 0;
    for (const int v : blurred) squares += (v - mean) * (v - mean);
    mean_ = mean / 256;
    contrast_ = std::sqrt(squares / kPixels) / 256;

    // Fixed point: 16 fractional bits.
    const auto scale = static_cast<std::int64_t>(
        std::lround(65536.0 * kScale / (256 * std::max(contrast_, kContrastFloor))));
    const auto offset = static_cast<std::int64_t>(std::llround(mean * static_cast<double>(scale)));
    std::array<std::uint8_t, kWidth * kHeight> shape;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        const std::int64_t q = ((blurred[i] * scale - offset + 32768) >> 16) + 128;
        shape[i] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(q, 0, 255));
    }
    for (int y = -kSearch; y < kHeight + kSearch; ++y) {
        const std::uint8_t* from = &shape[std::clamp(y, 0, kHeight - 1) * kWidth];
        std::uint8_t* to = shape_.data() + static_cast<std::size_t>((y + kSearch) * kStride);
        std::fill(to, to + kSearch, from[0]);
        std::copy(from, from + kWidth, to + kSearch);
        std::fill(to + kSearch + kWidth, to + kStride, from[kWidth - 1]);
    }
    empty_ = false;
}

double PictureChange(const Picture& before, const Picture& after) {
    if (before.empty() || after.empty()) return 0;
    std::int64_t total = 0;
    for (int y0 = 0; y0 < kHeight; y0 += kBlockHeight)
        for (int x0 = 0; x0 < kWidth; x0 += 2 * kBlockWidth) {
            std::array<int, 2> best = {std::numeric_limits<int>::max(),
                                       std::numeric_limits<int>::max()};
            for (int dy = -kSearch; dy <= kSearch; ++dy)
                for (int dx = -kSearch; dx <= kSearch; ++dx) {
                    const std::array<int, 2> sums = BlockDifferences(before, after, x0, y0, dx, dy);
                    const int cost = kShiftCost * (std::abs(dx) + std::abs(dy));
                    best[0] = std::min(best[0], sums[0] + cost);
                    best[1] = std::min(best[1], sums[1] + cost);
                }
            total += best[0] + best[1];
        }
    return static_cast<double>(total) /
           (static_cast<double>(kBlocks) * kBlockWidth * kBlockHeight * Picture::kScale);
}

}  // namespace tirelle::shots
