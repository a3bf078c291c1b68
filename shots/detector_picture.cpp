// The small grey picture of a decoded frame: the luma plane averaged over boxes where it is
// 8-bit planar (most video, summed with SSE2 where there is), else through the scaler.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "shots/detector_input.h"

namespace tirelle::shots::detectordetail {

namespace {

// Formats whose first plane is the luma, one byte a pixel.
bool EightBitLuma(int format) {
    switch (static_cast<AVPixelFormat>(format)) {
        case AV_PIX_FMT_YUV420P:
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUV422P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUV444P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUV440P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUV411P:
        case AV_PIX_FMT_YUV410P:
        case AV_PIX_FMT_YUVA420P:
        case AV_PIX_FMT_NV12:
        case AV_PIX_FMT_NV21:
        case AV_PIX_FMT_GRAY8:
            return true;
        default:
            return false;
    }
}

// sums[x] += row[x] for x < width (sums has room for 16 more).
void AddRow(const std::uint8_t* row, std::uint16_t* sums, int width) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= width; x += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        auto* low = reinterpret_cast<__m128i*>(sums + x);
        auto* high = reinterpret_cast<__m128i*>(sums + x + 8);
        _mm_storeu_si128(low, _mm_add_epi16(_mm_loadu_si128(low), _mm_unpacklo_epi8(bytes, zero)));
        _mm_storeu_si128(high,
                         _mm_add_epi16(_mm_loadu_si128(high), _mm_unpackhi_epi8(bytes, zero)));
    }
#endif
    for (; x < width; ++x) sums[x] = static_cast<std::uint16_t>(sums[x] + row[x]);
}

}  // namespace

Picture Input::picture() {
    if (const int w = frame_->width, h = frame_->height;
        w >= kPictureWidth && h >= kPictureHeight && EightBitLuma(frame_->format)) {
        const std::uint8_t* luma = frame_->data[0];
        const int stride = frame_->linesize[0];
        // Column sums of one band of rows in 16 bits: 257 rows of 255 at most.
        if ((h + kPictureHeight - 1) / kPictureHeight > 257) return scaled();
        columns_.resize(static_cast<std::size_t>(w + 16));
        for (int oy = 0; oy < kPictureHeight; ++oy) {
            // The rows of the band summed down each column, then the columns of each box
            // summed across.
            const int y0 = oy * h / kPictureHeight;
            const int y1 = (oy + 1) * h / kPictureHeight;
            std::fill(columns_.begin(), columns_.end(), std::uint16_t{0});
            for (int y = y0; y < y1; ++y)
                AddRow(luma + static_cast<std::ptrdiff_t>(y) * stride, columns_.data(), w);
            for (int ox = 0; ox < kPictureWidth; ++ox) {
                const int x0 = ox * w / kPictureWidth;
                const int x1 = (ox + 1) * w / kPictureWidth;
                unsigned sum = 0;
                for (int x = x0; x < x1; ++x) sum += columns_[static_cast<std::size_t>(x)];
                const unsigned count = static_cast<unsigned>((y1 - y0) * (x1 - x0));
                small_[static_cast<std::size_t>(oy * kPictureWidth + ox)] =
                    static_cast<std::uint8_t>((sum + count / 2) / count);
            }
        }
        return Picture(small_.data(), kPictureWidth);
    }
    return scaled();
}

Picture Input::scaled() {
    scaler_ = sws_getCachedContext(
        scaler_, frame_->width, frame_->height, static_cast<AVPixelFormat>(frame_->format),
        kPictureWidth, kPictureHeight, AV_PIX_FMT_GRAY8, SWS_AREA, nullptr, nullptr, nullptr);
    if (!scaler_) throw Failure{DetectStatus::Failed, "the picture cannot be scaled"};
    std::uint8_t* planes[4] = {small_.data(), nullptr, nullptr, nullptr};
    int strides[4] = {kPictureWidth, 0, 0, 0};
    sws_scale(scaler_, frame_->data, frame_->linesize, 0, frame_->height, planes, strides);
    return Picture(small_.data(), kPictureWidth);
}

}  // namespace tirelle::shots::detectordetail
