#include "app/listview/rowlayout.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace tirelle::listview {

TextMetrics measureFont(const QFont& font) {
    const QFontMetrics fm(font);
    TextMetrics m;
    m.height = fm.height();
    m.textHeight = m.height;  // every line of "Wg" is one font height
    m.externalLeading = std::max(0, fm.leading());
    // The em box is the pixel size; what the height holds beyond it is internal leading.
    m.internalLeading = std::max(0, m.height - QFontInfo(font).pixelSize());
    return m;
}

RowLayout layoutRows(const TextMetrics& metrics, int rowLines, int rowHeight) {
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    const std::int64_t k = kRowMargin;
    const std::int64_t th = std::max(1, metrics.textHeight);
    const std::int64_t lines = std::max(0, rowLines);
    const std::int64_t extra = std::max(0, rowHeight);

    std::int64_t r;
    if (extra > 0 || lines > 0)
        r = extra + (std::int64_t{metrics.height} + metrics.externalLeading) * lines;
    else
        r = th + k;

    // Whole lines only: a remainder up to half a line is dropped, a larger one adds a line, and
    // a row never holds less than one line.
    const std::int64_t q = (r - k) / th;
    const std::int64_t rest = (r - k) % th;
    if (rest <= th / 2 && q != 0)
        r = q * th + k;
    else
        r = (q + 1) * th + k;
    if (r > kMax) r = ((kMax - k) / th) * th + k;  // keep whole lines within an int

    RowLayout out;
    out.rowPixels = static_cast<int>(r);
    out.rowLines = static_cast<int>((r - k) / th);
    out.rowHeight = static_cast<int>(k);
    out.wraps =
        std::int64_t{metrics.height} + metrics.externalLeading + metrics.internalLeading + 2 < r;
    return out;
}

}  // namespace tirelle::listview
