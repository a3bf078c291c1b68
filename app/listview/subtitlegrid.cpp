#include "app/listview/subtitlegrid.h"

#include <QFontMetrics>
#include <QMenu>

#include "store/dataset.h"

namespace tirelle::listview {

// First cut: holds the settings; drawing and interaction follow.
SubtitleGrid::SubtitleGrid(QWidget* parent) : QAbstractScrollArea(parent) {}

SubtitleGrid::~SubtitleGrid() = default;

void SubtitleGrid::setDataset(store::Dataset* dataset) {
    dataset_ = dataset;
    viewport()->update();
}

store::Dataset* SubtitleGrid::dataset() const {
    return dataset_;
}

void SubtitleGrid::setPopupMenu(QMenu* menu) {
    popup_ = menu;
}

void SubtitleGrid::setListFont(const QFont& font) {
    listFont_ = font;
    viewport()->update();
}

QFont SubtitleGrid::listFont() const {
    return listFont_;
}

void SubtitleGrid::setRowLines(int lines) {
    rowLines_ = lines < 0 ? 0 : lines;
}

int SubtitleGrid::rowLines() const {
    return rowLines_;
}

void SubtitleGrid::setRowHeight(int pixels) {
    rowHeight_ = pixels < 0 ? 0 : pixels;
}

int SubtitleGrid::rowHeight() const {
    return rowHeight_;
}

int SubtitleGrid::dataRowHeight() const {
    return QFontMetrics(listFont_).height() * rowLines_ + rowHeight_;
}

int SubtitleGrid::titleRowHeight() const {
    return QFontMetrics(font()).height() + 2;
}

int SubtitleGrid::currentColumn() const {
    return currentColumn_;
}

}  // namespace tirelle::listview
