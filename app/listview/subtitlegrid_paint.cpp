// The subtitle list: drawing the titles, the indicator column and the visible rows.

#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <string_view>

#include "app/listview/celleditor.h"
#include "app/listview/subtitlegrid.h"
#include "app/ui/textcodec.h"

namespace tirelle::listview {

namespace {

// Thin lines at the right and bottom edge of a cell; the rectangle includes them.
void drawCellLines(QPainter& painter, const QRect& rect, const QColor& color) {
    painter.setPen(color);
    painter.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
    painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
}

QColor lineColor(const QPalette& palette) {
    return palette.color(QPalette::Mid);
}

// The part of a cell's bytes that its row can show. A cell shows at most `lines` lines of
// `width` pixels and no glyph is narrower than a pixel, so at most lines x width characters
// are seen. Cut after twice that, a text looks the same in the cell as the whole of it: a word
// that crosses the cut and starts where it could be seen is wider than a line either way, so it
// is placed alike. Laying out only this part keeps painting a row fast however long its text
// is (a subtitle of many megabytes); a character takes at most 4 bytes.
std::string_view shownPart(std::string_view bytes, int lines, int width) {
    // No screen is 65536 pixels across; the bound only keeps the product in range.
    constexpr int kMost = 1 << 16;
    const auto shownLines = static_cast<std::size_t>(std::clamp(lines, 1, kMost));
    const auto shownWidth = static_cast<std::size_t>(std::clamp(width, 0, kMost));
    const std::size_t characters = 2 * shownLines * (shownWidth + 1);
    return bytes.substr(0, std::min(bytes.size(), 4 * characters));
}

}  // namespace

void SubtitleGrid::requestRepaint() {
    // A whole-view repaint is asked for many times per row while rows are appended and posted;
    // one pending request covers them all, and each request costs a walk up the widget tree.
    if (repaintPending_) return;
    viewport()->update();
    // A hidden view drops the request; it paints in full when it is shown.
    repaintPending_ = viewport()->isVisible() && viewport()->updatesEnabled();
}

void SubtitleGrid::paintEvent(QPaintEvent* event) {
    repaintPending_ = false;
    QPainter painter(viewport());
    const QPalette& pal = palette();
    painter.fillRect(event->rect(), pal.color(QPalette::Base));

    const int rows = rowCount();
    if (rows > 0) {
        // Only the rows that reach into the viewport are drawn.
        const int first = std::max(topRow_, rowAtY(event->rect().top()));
        const int last = std::min(rows - 1, rowAtY(event->rect().bottom()));
        // The current cell is highlighted only while the list itself has the focus and its
        // updates are not suspended.
        const bool focus = hasFocus() && !dataset_->controlsDisabled();
        for (int row = first; row <= last; ++row)
            paintRow(painter, row, focus && row == shownCurrent_);
    }
    paintTitles(painter);
}

void SubtitleGrid::paintTitles(QPainter& painter) {
    const QPalette& pal = palette();
    const QColor face = pal.color(QPalette::Button);
    const QColor lines = lineColor(pal);
    painter.setFont(titleFont_);

    const QRect corner = titleRect(-1);
    // Titles scroll with the data but never under the indicator column.
    painter.save();
    painter.setClipRect(QRect(kIndicatorWidth, 0, viewport()->width(), titleHeight_));
    for (int place = 0; place < kColumnCount; ++place) {
        const QRect rect = titleRect(place);
        if (rect.right() < kIndicatorWidth || rect.left() > viewport()->width()) continue;
        painter.fillRect(rect, face);
        painter.setPen(pal.color(QPalette::ButtonText));
        painter.drawText(rect.adjusted(2, 1, -3, -1),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, columnTitle(place));
        drawCellLines(painter, rect, lines);
    }
    // The rest of the title row right of the last column.
    const int end = columnLeft(kColumnCount);
    if (end < viewport()->width())
        painter.fillRect(QRect(end, 0, viewport()->width() - end, titleHeight_), face);
    painter.restore();

    painter.fillRect(corner, face);
    drawCellLines(painter, corner, lines);
}

void SubtitleGrid::paintRow(QPainter& painter, int row, bool highlight) {
    const QPalette& pal = palette();
    const QColor lines = lineColor(pal);
    const store::SubRecord& record = dataset_->rowAt(row);

    const QRect indicator = cellRect(row, -1);
    const bool marked = marks_ && row != dataset_->insertRow() && !marks_(record).isEmpty();
    painter.fillRect(indicator, marked ? markColor() : pal.color(QPalette::Button));
    if (row == shownCurrent_) paintIndicator(painter, indicator);
    drawCellLines(painter, indicator, lines);

    painter.save();
    painter.setClipRect(QRect(kIndicatorWidth, titleHeight_, viewport()->width(),
                              viewport()->height() - titleHeight_));
    painter.setFont(listFont_);
    const int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs |
                          (layout_.wraps ? Qt::TextWordWrap : Qt::TextSingleLine);
    for (int place = 0; place < kColumnCount; ++place) {
        const QRect rect = cellRect(row, place);
        if (rect.right() < kIndicatorWidth || rect.left() > viewport()->width()) continue;
        const bool current = highlight && place == currentColumn_ && !isEditing();
        painter.fillRect(rect, pal.color(current ? QPalette::Highlight : QPalette::Base));
        // Text inset 2 pixels left and right, 1 from the top; lines below the row's bottom
        // edge are clipped away.
        const QRect textRect = rect.adjusted(2, 1, -3, -1);
        painter.save();
        painter.setClipRect(textRect, Qt::IntersectClip);
        painter.setPen(current ? pal.color(QPalette::HighlightedText) : listColor());
        // A line is at least a pixel high, so the cell's height bounds its lines as well.
        const int lines = layout_.wraps ? std::min(layout_.rowLines, textRect.height() + 1) : 1;
        painter.drawText(textRect, textFlags,
                         ui::toDisplay(shownPart(fieldBytes(record, columnField(place)), lines,
                                                 textRect.width())));
        painter.restore();
        if (current) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = rect.adjusted(0, 0, -1, -1);
            option.backgroundColor = pal.color(QPalette::Highlight);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
        }
        drawCellLines(painter, rect, lines);
    }
    const int end = columnLeft(kColumnCount);
    if (end < viewport()->width()) {
        const QRect rest = cellRect(row, 0);
        painter.fillRect(QRect(end, rest.top(), viewport()->width() - end, rest.height()),
                         pal.color(QPalette::Base));
    }
    painter.restore();
}

QColor SubtitleGrid::markColor() {
    return QColor(235, 120, 80);
}

void SubtitleGrid::paintIndicator(QPainter& painter, const QRect& cell) {
    // A black 6 x 11 picture centred vertically at the right of the column (the line at the
    // column's right edge excluded).
    const int x = cell.right() - 6;
    const int y = cell.top() + (cell.height() - 1 - 11) / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::black);
    switch (dataset_->state()) {
        case store::DatasetState::Edit:  // I-beam
            painter.drawLine(x + 1, y + 1, x + 5, y + 1);
            painter.drawLine(x + 3, y + 1, x + 3, y + 9);
            painter.drawLine(x + 1, y + 9, x + 5, y + 9);
            break;
        case store::DatasetState::Insert:  // asterisk
            painter.drawLine(x + 3, y + 2, x + 3, y + 8);
            painter.drawLine(x, y + 3, x + 6, y + 7);
            painter.drawLine(x, y + 7, x + 6, y + 3);
            break;
        default: {  // solid right-pointing triangle
            const QPolygon triangle(
                {QPoint(x + 1, y + 1), QPoint(x + 5, y + 5), QPoint(x + 1, y + 9)});
            painter.drawPolygon(triangle);
            break;
        }
    }
    painter.restore();
}

}  // namespace tirelle::listview
