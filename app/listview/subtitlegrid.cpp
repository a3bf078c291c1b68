// The subtitle list: settings, layout, scrolling and the dataset's notifications.

#include "app/listview/subtitlegrid.h"

#include <QFontMetrics>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "app/listview/celleditor.h"
#include "app/ui/guard.h"
#include "app/ui/scaling.h"

namespace tirelle::listview {

namespace {
// Column widths in pixels at the design density of 120 pixels per inch.
constexpr int kDesignWidths[SubtitleGrid::kColumnCount] = {102, 94, 127};
constexpr double kDesignDpi = 120.0;
}  // namespace

SubtitleGrid::SubtitleGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    // The right button is handled here: its press makes the row current, its release opens
    // the menu (a drag of a title with it moves the column instead).
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_InputMethodEnabled);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(1);

    columns_ = {GridColumn{store::Column::STime, QStringLiteral("开始"), 0},
                GridColumn{store::Column::ETime, QStringLiteral("结束"), 0},
                GridColumn{store::Column::SubText, QStringLiteral("文本"), 0}};
    // Scaled by running total, so the widths add up to the scaled sum; the indicator column
    // keeps its 11 pixels.
    const double factor = logicalDpiY() / kDesignDpi;
    int designSum = 0;
    int scaledSum = 0;
    for (int i = 0; i < kColumnCount; ++i) {
        designSum += kDesignWidths[i];
        const int total = static_cast<int>(std::lround(designSum * factor));
        columns_[i].width = std::max(1, total - scaledSum);
        scaledSum = total;
    }

    listFont_ = ui::songti(9);
    titleFont_ = ui::songti(9);
    editor_ = new CellEditor(this, viewport());
    editor_->hide();
    relayout();
}

SubtitleGrid::~SubtitleGrid() {
    if (dataset_) dataset_->removeObserver(this);
}

// --- the dataset link

void SubtitleGrid::setDataset(store::Dataset* dataset) {
    if (dataset == dataset_) return;
    closeEditor();
    if (dataset_) dataset_->removeObserver(this);
    dataset_ = dataset;
    if (dataset_) dataset_->addObserver(this);
    datasetChanged();
}

store::Dataset* SubtitleGrid::dataset() const {
    return dataset_;
}

bool SubtitleGrid::live() const {
    return dataset_ && dataset_->active();
}

int SubtitleGrid::rowCount() const {
    return live() ? dataset_->rowCount() : 0;
}

int SubtitleGrid::currentRow() const {
    return live() ? dataset_->currentRow() : -1;
}

void SubtitleGrid::datasetChanged() {
    shownCurrent_ = currentRow();
    // An editor open on the current row stays open when that row is still current (the text
    // typed so far is kept); anything else closes it.
    if (isEditing()) {
        const bool same = shownCurrent_ == editorRow_ && shownCurrent_ >= 0 &&
                          shownCurrent_ < rowCount() &&
                          dataset_->rowAt(shownCurrent_).aid == editorAid_;
        if (!same) closeEditor();
    }
    updateScrollBars();
    scrollToCurrent(false);
    placeEditor();
    requestRepaint();
}

void SubtitleGrid::currentChanged(bool centre) {
    shownCurrent_ = currentRow();
    if (isEditing() && editorRow_ != shownCurrent_) closeEditor();
    updateScrollBars();
    scrollToCurrent(centre);
    requestRepaint();
}

void SubtitleGrid::rowChanged(int row) {
    if (row < topRow_ || row >= topRow_ + visibleRowCount() + 1) return;
    requestRepaint();
}

void SubtitleGrid::stateChanged() {
    requestRepaint();
}

void SubtitleGrid::updateRecord() {
    // The pending row is about to be posted or dropped from elsewhere (a locate of the preview,
    // a requery, a command's post): the editor's typed text goes into it first.
    writeEditor();
}

// --- settings

void SubtitleGrid::setPopupMenu(QMenu* menu) {
    popup_ = menu;
}

void SubtitleGrid::setListFont(const QFont& font) {
    listFont_ = font;
    relayout();
}

QFont SubtitleGrid::listFont() const {
    return listFont_;
}

void SubtitleGrid::setListColor(const QColor& color) {
    listColor_ = color;
    QPalette colours = editor_->palette();
    colours.setColor(QPalette::Text, listColor());
    editor_->setPalette(colours);
    requestRepaint();
}

QColor SubtitleGrid::listColor() const {
    return listColor_.isValid() ? listColor_ : palette().color(QPalette::Text);
}

void SubtitleGrid::setTitleFont(const QFont& font) {
    titleFont_ = font;
    relayout();
}

QFont SubtitleGrid::titleFont() const {
    return titleFont_;
}

void SubtitleGrid::setRowLines(int lines) {
    lines = std::max(0, lines);
    if (lines == rowLines_) return;
    rowLines_ = lines;
    relayout();
}

int SubtitleGrid::rowLines() const {
    return rowLines_;
}

void SubtitleGrid::setRowHeight(int pixels) {
    pixels = std::max(0, pixels);
    if (pixels == rowHeight_) return;
    rowHeight_ = pixels;
    relayout();
}

int SubtitleGrid::rowHeight() const {
    return rowHeight_;
}

int SubtitleGrid::dataRowHeight() const {
    return layout_.rowPixels;
}

int SubtitleGrid::titleRowHeight() const {
    return titleHeight_;
}

bool SubtitleGrid::wrapsText() const {
    return layout_.wraps;
}

void SubtitleGrid::setMetricsSource(std::function<TextMetrics(const QFont&)> source) {
    metricsSource_ = std::move(source);
    relayout();
}

void SubtitleGrid::relayout() {
    auto measure = [this](const QFont& font) {
        return metricsSource_ ? metricsSource_(font) : measureFont(font);
    };
    layout_ = layoutRows(measure(listFont_), rowLines_, rowHeight_);
    rowLines_ = layout_.rowLines;
    rowHeight_ = layout_.rowHeight;
    titleHeight_ = titleRowPixels(measure(titleFont_));
    editor_->setFont(listFont_);
    editor_->setMultiLine(layout_.wraps);
    fitTimeColumns();
    updateScrollBars();
    scrollToCurrent(false);
    placeEditor();
    requestRepaint();
}

// --- columns

void SubtitleGrid::fitTimeColumns() {
    // A whole time code in the list's font, each digit as wide as the font's widest one, with
    // the cell's insets (2 left, 3 right with the line). Columns only grow, so a width the user
    // chose stays when it is enough.
    const QFontMetrics metrics(listFont_);
    QChar widest = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit)
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(digit);
    QString sample = QStringLiteral("00:00:00,000");
    sample.replace(QLatin1Char('0'), widest);
    const int needed = metrics.horizontalAdvance(sample) + 6;
    for (GridColumn& column : columns_)
        if (column.field == store::Column::STime || column.field == store::Column::ETime)
            column.width = std::max(column.width, needed);
}

store::Column SubtitleGrid::columnField(int place) const {
    return columns_.at(static_cast<std::size_t>(place)).field;
}

QString SubtitleGrid::columnTitle(int place) const {
    return columns_.at(static_cast<std::size_t>(place)).title;
}

int SubtitleGrid::columnWidth(int place) const {
    return columns_.at(static_cast<std::size_t>(place)).width;
}

void SubtitleGrid::setColumnWidth(int place, int pixels) {
    columns_.at(static_cast<std::size_t>(place)).width = std::max(1, pixels);
    updateScrollBars();
    placeEditor();
    requestRepaint();
}

void SubtitleGrid::moveColumn(int from, int to) {
    if (from < 0 || from >= kColumnCount || to < 0 || to >= kColumnCount || from == to) return;
    const store::Column current = columns_[static_cast<std::size_t>(currentColumn_)].field;
    const GridColumn moved = columns_[static_cast<std::size_t>(from)];
    if (from < to)
        std::move(columns_.begin() + from + 1, columns_.begin() + to + 1, columns_.begin() + from);
    else
        std::move_backward(columns_.begin() + to, columns_.begin() + from,
                           columns_.begin() + from + 1);
    columns_[static_cast<std::size_t>(to)] = moved;
    for (int i = 0; i < kColumnCount; ++i)
        if (columns_[static_cast<std::size_t>(i)].field == current) currentColumn_ = i;
    placeEditor();
    requestRepaint();
}

int SubtitleGrid::fullyVisibleColumnCount() const {
    const int right = viewport()->width();
    int count = 0;
    for (int i = 0; i < kColumnCount; ++i) {
        const int left = columnLeft(i);
        if (left >= kIndicatorWidth && left + columnWidth(i) <= right) ++count;
    }
    return count;
}

int SubtitleGrid::currentColumn() const {
    return currentColumn_;
}

void SubtitleGrid::setCurrentColumn(int place) {
    place = std::clamp(place, 0, kColumnCount - 1);
    if (place == currentColumn_) return;
    if (isEditing()) {
        writeEditor();
        closeEditor();
    }
    currentColumn_ = place;
    ensureColumnVisible(place);
    requestRepaint();
}

// --- geometry

int SubtitleGrid::dataWidth() const {
    int sum = 0;
    for (const GridColumn& column : columns_) sum += column.width;
    return sum;
}

int SubtitleGrid::columnLeft(int place) const {
    int x = kIndicatorWidth - horizontalScrollBar()->value();
    for (int i = 0; i < place; ++i) x += columns_[static_cast<std::size_t>(i)].width;
    return x;
}

int SubtitleGrid::visibleRowCount() const {
    const int rowPixels = std::max(1, layout_.rowPixels);
    return std::max(1, (viewport()->height() - titleHeight_) / rowPixels);
}

QRect SubtitleGrid::cellRect(int row, int place) const {
    const long long y = titleHeight_ + static_cast<long long>(row - topRow_) * layout_.rowPixels;
    const int top = static_cast<int>(std::clamp<long long>(y, -(1LL << 30), 1LL << 30));
    if (place < 0) return QRect(0, top, kIndicatorWidth, layout_.rowPixels);
    return QRect(columnLeft(place), top, columnWidth(place), layout_.rowPixels);
}

QRect SubtitleGrid::titleRect(int place) const {
    if (place < 0) return QRect(0, 0, kIndicatorWidth, titleHeight_);
    return QRect(columnLeft(place), 0, columnWidth(place), titleHeight_);
}

int SubtitleGrid::rowAtY(int y) const {
    if (y < titleHeight_) return -1;
    return topRow_ + (y - titleHeight_) / std::max(1, layout_.rowPixels);
}

int SubtitleGrid::placeAtX(int x) const {
    if (x < kIndicatorWidth) return -1;
    for (int i = 0; i < kColumnCount; ++i) {
        const int left = columnLeft(i);
        if (x >= left && x < left + columnWidth(i)) return i;
    }
    return kColumnCount;
}

int SubtitleGrid::resizeEdgeAt(int x) const {
    // A few pixels either side of a column's right edge grab that edge.
    constexpr int kGrip = 3;
    for (int i = kColumnCount - 1; i >= 0; --i) {
        const int edge = columnLeft(i) + columnWidth(i);
        if (edge >= kIndicatorWidth && std::abs(x - edge) <= kGrip) return i;
    }
    return -1;
}

// --- scrolling

void SubtitleGrid::updateScrollBars() {
    const int visible = visibleRowCount();
    QScrollBar* v = verticalScrollBar();
    const int maximum = std::max(0, rowCount() - visible);
    {
        // A range that already scrolls and only grows changes nothing of the frame's layout:
        // the scroll area's relayout, queued for every change of range, is left out, so a walk
        // that adds rows one at a time does not lay the list out again for each row.
        const bool onlyGrows = v->minimum() == 0 && v->maximum() > 0 && maximum >= v->maximum();
        const QSignalBlocker quiet(onlyGrows ? v : nullptr);
        v->setRange(0, maximum);
    }
    v->setPageStep(visible);
    QScrollBar* h = horizontalScrollBar();
    const int room = std::max(0, viewport()->width() - kIndicatorWidth);
    h->setRange(0, std::max(0, dataWidth() - room));
    h->setPageStep(std::max(1, room));
    topRow_ = v->value();
}

void SubtitleGrid::setTopRow(int row) {
    verticalScrollBar()->setValue(row);  // clamped to the range; scrollContentsBy follows
    topRow_ = verticalScrollBar()->value();
}

void SubtitleGrid::scrollToCurrent(bool centre) {
    const int current = shownCurrent_;
    if (current < 0) return;
    const int visible = visibleRowCount();
    if (centre)
        setTopRow(current - (visible - 1) / 2);
    else if (current < topRow_)
        setTopRow(current);
    else if (current >= topRow_ + visible)
        setTopRow(current - visible + 1);
}

void SubtitleGrid::ensureColumnVisible(int place) {
    QScrollBar* h = horizontalScrollBar();
    int left = 0;
    for (int i = 0; i < place; ++i) left += columnWidth(i);
    const int width = columnWidth(place);
    const int room = std::max(0, viewport()->width() - kIndicatorWidth);
    if (left < h->value())
        h->setValue(left);
    else if (left + width > h->value() + room)
        h->setValue(std::min(left, left + width - room));
}

void SubtitleGrid::scrollContentsBy(int, int) {
    topRow_ = verticalScrollBar()->value();
    if (isEditing()) {
        // Scrolled away from the cell being edited: its text goes into the field and the
        // editor closes, so it never covers the titles or the indicator column.
        const QRect cell = cellRect(editorRow_, currentColumn_);
        const bool rowShown = cell.top() >= titleHeight_ && cell.bottom() < viewport()->height();
        const bool columnShown =
            cell.right() >= kIndicatorWidth && cell.left() < viewport()->width();
        if (!rowShown || !columnShown)
            ui::guarded([this] {
                writeEditor();
                closeEditor();
            });
    }
    placeEditor();
    requestRepaint();
}

void SubtitleGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    scrollToCurrent(false);
    placeEditor();
}

}  // namespace tirelle::listview
