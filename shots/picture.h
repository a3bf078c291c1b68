#pragma once
// A video frame reduced to what telling one shot from the next needs: a small grey picture, its
// brightness taken out, and how far two such pictures are apart once motion is allowed for.
// No media library: the decoder hands over the luma of its scaled frame.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tirelle::shots {

// The size every frame is scaled to.
inline constexpr int kPictureWidth = 64;
inline constexpr int kPictureHeight = 36;

// A frame's small picture, a little blurred. Luma is kept as it departs from the frame's mean
// brightness, in 1/kScale of the frame's contrast (its standard deviation, but never below a
// few grey levels) around 128, so that a fade, which scales the brightness, or a flash that
// lifts it, leave the picture nearly as it was; a dark scene keeps its shapes. The picture is
// padded by kSearch pixels on every side (the edge repeated), so a block can be compared at any
// shift within the search.
class Picture {
public:
    static constexpr int kSearch = 4;  // pixels a block may move between two frames
    static constexpr int kStride = kPictureWidth + 2 * kSearch;
    static constexpr int kRows = kPictureHeight + 2 * kSearch;
    static constexpr int kScale = 40;  // steps per unit of contrast

    Picture() = default;
    // From an 8-bit luma plane of kPictureWidth x kPictureHeight, rows `stride` bytes apart.
    Picture(const std::uint8_t* luma, int stride);

    bool empty() const { return empty_; }
    double meanLuma() const { return mean_; }      // 0..255
    double contrast() const { return contrast_; }  // grey levels, before the floor

    // The normalised luma of row y from x = 0 on (y and x may go kSearch beyond the edges).
    const std::uint8_t* row(int y) const {
        return shape_.data() + static_cast<std::size_t>((y + kSearch) * kStride + kSearch);
    }

private:
    std::array<std::uint8_t, kStride * kRows> shape_{};
    bool empty_ = true;
    double mean_ = 0;
    double contrast_ = 0;
};

// How different `after` is from `before`: 0 for the same picture, a little for it moved by a
// pixel or two, around 1 for unrelated pictures. Each block of `after` is matched to the best
// place in `before` within Picture::kSearch pixels, each pixel of shift costing a little, so
// motion and a steady pan cost little while a new shot matches nowhere.
double PictureChange(const Picture& before, const Picture& after);

}  // namespace tirelle::shots
