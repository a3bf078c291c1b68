// The picture measure and the cut finder on pictures drawn here: cuts between scenes, similar
// and dark ones included, are found on their frame; motion, a pan, fades, flashes and a
// dissolve are not cuts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "shots/finder.h"

namespace tirelle::shots {
namespace {

using Plane = std::vector<std::uint8_t>;

// A scene: a few soft blobs and stripes drawn from `seed`, seen from `dx` pixels across.
Plane Scene(int seed, double dx = 0, double gain = 1, double lift = 0, bool mirrored = false) {
    Plane plane(kPictureWidth * kPictureHeight);
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x) {
            const double u = (mirrored ? kPictureWidth - 1 - x : x) + dx;
            double v = 0;
            for (int k = 1; k <= 4; ++k) {
                const double a = (seed * 37 + k * 11) % 17 / 17.0 + 0.2;
                const double b = (seed * 53 + k * 7) % 13 / 13.0 + 0.1;
                v += std::sin(u * a * 0.4 + y * b * 0.5 + seed + k) * 30 / k;
                v += std::cos(u * b * 0.3 - y * a * 0.35 + seed * k) * 25 / k;
            }
            const double value = (128 + v) * gain + lift;
            plane[y * kPictureWidth + x] = static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
        }
    return plane;
}

Plane Blend(const Plane& a, const Plane& b, double share) {
    Plane mixed(a.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        mixed[i] = static_cast<std::uint8_t>(std::lround(a[i] * (1 - share) + b[i] * share));
    return mixed;
}

Picture Make(const Plane& plane) {
    return Picture(plane.data(), kPictureWidth);
}

struct Case {
    const char* name;
    std::function<Plane(int frame)> film;  // 100 frames at 25 fps; every scene drifts a little
    std::vector<int> cuts;                 // frames that begin a new shot
    std::function<bool(int frame)> given = [](int) { return true; };  // frames decoded
    std::vector<bool> gapBefore = {};
};

TEST(CutFinder, FindsCutsOnTheirFrameAndNothingInMotionFadesOrFlashes) {
    const auto drift = [](int f) { return f * 0.3; };
    const Case cases[] = {
        {"a cut", [&](int f) { return f < 50 ? Scene(1, drift(f)) : Scene(2, drift(f)); }, {50}},
        {"the same scene mirrored", [&](int f) { return Scene(3, drift(f), 1, 0, f >= 40); }, {40}},
        {"dark after dark",
         [&](int f) { return f < 60 ? Scene(4, drift(f), 0.15) : Scene(5, drift(f), 0.15); },
         {60}},
        {"two cuts a second apart",
         [&](int f) {
             return Scene(f < 30 ? 6 : f < 55 ? 7 : 8, drift(f));
         },
         {30, 55}},
        {"a steady pan", [](int f) { return Scene(9, f * 1.5); }, {}},
        {"a fast pan", [](int f) { return Scene(22, f * 3.0); }, {}},
        {"a new shot that settles after its first frames",
         [&](int f) {
             if (f < 50) return Scene(23, drift(f));
             return Blend(Scene(24, drift(f)), Scene(25, drift(f)), 1 - std::pow(0.5, f - 49));
         },
         {50}},
        {"a fade out and in",
         [&](int f) {
             const double gain = f < 50 ? std::clamp((50 - f) / 12.0, 0.0, 1.0)
                                        : std::clamp((f - 49) / 12.0, 0.0, 1.0);
             return Scene(f < 50 ? 10 : 11, drift(f), gain);
         },
         {}},
        {"a white flash",
         [&](int f) {
             return f == 40 || f == 41 ? Plane(kPictureWidth * kPictureHeight, 235)
                                       : Scene(12, drift(f));
         },
         {}},
        {"a brightness flash",
         [&](int f) { return Scene(13, drift(f), 1, f >= 40 && f < 43 ? 70 : 0); },
         {}},
        {"a dissolve",
         [&](int f) {
             return Blend(Scene(14, drift(f)), Scene(15, drift(f)),
                          std::clamp((f - 40) / 25.0, 0.0, 1.0));
         },
         {}},
        // As when an encoder codes the dissolve's first frame anew.
        {"a dissolve that begins with a jump",
         [&](int f) {
             const double share = f < 40 ? 0 : std::min(1.0, 0.25 + (f - 40) / 40.0);
             return Blend(Scene(26, drift(f)), Scene(27, drift(f)), share);
         },
         {}},
        {"every other frame left out but around the cut",
         [&](int f) { return f < 51 ? Scene(16, drift(f)) : Scene(17, drift(f)); },
         {51},
         [](int f) { return f % 2 == 0 || f == 51; },
         {false}},
        {"the frame before the cut left out",
         [&](int f) { return f < 51 ? Scene(18, drift(f)) : Scene(19, drift(f)); },
         {51},
         [](int f) { return f % 2 == 1; },
         {true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CutFinder finder(1 / 25.0);
        for (int f = 0; f < 100; ++f) {
            if (c.given(f)) finder.add(f / 25.0, Make(c.film(f)));
        }
        finder.finish();
        std::vector<int> found;
        std::vector<bool> gaps;
        for (const FoundCut& cut : finder.cuts()) {
            found.push_back(static_cast<int>(std::lround(cut.time * 25)));
            gaps.push_back(cut.gapBefore);
        }
        EXPECT_EQ(found, c.cuts);
        if (!c.gapBefore.empty()) {
            EXPECT_EQ(gaps, c.gapBefore);
        }
    }
}

TEST(PictureChange, SmallForTheSameSceneMovedOrRelitLargeForAnother) {
    const Picture scene = Make(Scene(20));
    const struct {
        const char* name;
        Plane other;
        double low, high;  // the change lies between
    } cases[] = {
        {"the same", Scene(20), 0, 0.01},
        {"moved by a pixel", Scene(20, 1), 0, 0.12},
        {"moved by three pixels", Scene(20, 3), 0, 0.3},
        {"half as bright", Scene(20, 0, 0.5), 0, 0.05},
        {"lifted by 40", Scene(20, 0, 1, 40), 0, 0.05},
        {"mirrored", Scene(20, 0, 1, 0, true), 0.4, 2},
        {"another scene", Scene(21), 0.4, 2},
    };
    for (const auto& c : cases) {
        const double change = PictureChange(scene, Make(c.other));
        EXPECT_GE(change, c.low) << c.name;
        EXPECT_LE(change, c.high) << c.name;
    }
}

}  // namespace
}  // namespace tirelle::shots
