#pragma once
// The subtitle list `DBGridEh1`: a view of the working dataset through its observer interface.
// It holds no data of its own: its rows, current row and states are the dataset's.

#include <QAbstractScrollArea>
#include <QFont>

class QMenu;

namespace tirelle::store {
class Dataset;
}

namespace tirelle::listview {

class SubtitleGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit SubtitleGrid(QWidget* parent = nullptr);
    ~SubtitleGrid() override;

    // The link to the working dataset (`DataSource1`); nullptr detaches. Not owned.
    void setDataset(store::Dataset* dataset);
    store::Dataset* dataset() const;

    // Context menu opened by the right button (`PopupMenu1`). Not owned.
    void setPopupMenu(QMenu* menu);

    // Cell font (not the title row's); lays the list out again.
    void setListFont(const QFont& font);
    QFont listFont() const;
    // Text lines per data row and pixels added to them; negative values are stored as 0.
    void setRowLines(int lines);
    int rowLines() const;
    void setRowHeight(int pixels);
    int rowHeight() const;
    // Resulting heights in pixels.
    int dataRowHeight() const;
    int titleRowHeight() const;

    // Current column, 0..2 (STime, ETime, SubText) in display order.
    int currentColumn() const;

signals:
    // A click on a data cell of an existing row (not the indicator, titles or editor).
    void cellClick(int column);
    // Ctrl+F: open the find dialog with this search text.
    void findRequested(const QString& text);

private:
    store::Dataset* dataset_ = nullptr;
    QMenu* popup_ = nullptr;
    QFont listFont_;
    int rowLines_ = 3;
    int rowHeight_ = 2;
    int currentColumn_ = 0;
};

}  // namespace tirelle::listview
