#pragma once
// The subtitle list `DBGridEh1`: a view of the working dataset through its observer interface.
// It holds no data of its own: its rows, current row and states are the dataset's.
//
// Layout: a fixed title row on top, a fixed 11-pixel indicator column on the left, then the
// three data columns "开始" (STime), "结束" (ETime) and "文本" (SubText). Every row is
// dataRowHeight() pixels high, the line below it included; every column is columnWidth()
// pixels wide, the line at its right included. The data scroll by whole rows vertically and
// by pixels horizontally.

#include <QAbstractScrollArea>
#include <QFont>
#include <array>
#include <functional>

#include "app/listview/rowlayout.h"
#include "store/dataset.h"

class QMenu;

namespace tirelle::listview {

class CellEditor;

class SubtitleGrid : public QAbstractScrollArea, private store::DatasetObserver {
    Q_OBJECT
public:
    explicit SubtitleGrid(QWidget* parent = nullptr);
    ~SubtitleGrid() override;

    // The link to the working dataset (`DataSource1`); nullptr detaches. Not owned; the
    // dataset must outlive the link (detach before destroying it).
    void setDataset(store::Dataset* dataset);
    store::Dataset* dataset() const;

    // Context menu opened by the right button (`PopupMenu1`). Not owned.
    void setPopupMenu(QMenu* menu);

    // Marks on rows, as their indicator cell tinted and its tooltip: the text for a row, empty
    // for a row without a mark. Asked for the rows painted and for a tooltip; nullptr: none.
    // Whoever changes the marks outside a change of the rows calls markRowsChanged().
    using RowMarks = std::function<QString(const store::SubRecord&)>;
    void setRowMarks(RowMarks marks);
    void markRowsChanged();
    // The colour of a marked indicator cell.
    static QColor markColor();

    // Cell font (not the title row's) and the in-place editor's; lays the list out again and
    // widens the two time columns where a whole time code would not fit in the new font.
    void setListFont(const QFont& font);
    QFont listFont() const;
    // Text colour of the cells and the in-place editor; invalid: the palette's text colour.
    void setListColor(const QColor& color);
    QColor listColor() const;
    // Font of the title row; lays the list out again.
    void setTitleFont(const QFont& font);
    QFont titleFont() const;
    // Text lines per data row and pixels added to them; negative values are stored as 0.
    // Setting the value already held does nothing; any other value lays the list out again,
    // which rewrites both settings (see rowlayout.h).
    void setRowLines(int lines);
    int rowLines() const;
    void setRowHeight(int pixels);
    int rowHeight() const;
    // Resulting heights in pixels.
    int dataRowHeight() const;
    int titleRowHeight() const;
    // True when the rows are tall enough for cells to wrap (and the editor to hold lines).
    bool wrapsText() const;

    // Where font metrics come from; nullptr: measureFont(). For fonts with known metrics in
    // tests. Lays the list out again.
    void setMetricsSource(std::function<TextMetrics(const QFont&)> source);

    // --- columns, by place in display order 0..2 (the indicator column not counted)
    static constexpr int kColumnCount = 3;
    static constexpr int kIndicatorWidth = 11;
    store::Column columnField(int place) const;
    QString columnTitle(int place) const;
    int columnWidth(int place) const;
    void setColumnWidth(int place, int pixels);  // at least 1 pixel
    // Moves the column at place `from` to place `to`; the current column follows its column.
    void moveColumn(int from, int to);
    // Data columns lying entirely inside the viewport at the moment.
    int fullyVisibleColumnCount() const;

    // Current column, 0..2 in display order.
    int currentColumn() const;
    void setCurrentColumn(int place);

    // --- rows
    // First data row in view; setTopRow scrolls (clamped so the view stays filled), e.g. to
    // put back a remembered screen position.
    int topRow() const { return topRow_; }
    void setTopRow(int row);
    // Data rows that fit entirely into the viewport (at least 1).
    int visibleRowCount() const;
    // Viewport rectangle of a cell (place -1 = indicator), also when it is out of view.
    QRect cellRect(int row, int place) const;
    QRect titleRect(int place) const;

    // --- in-place editor
    bool isEditing() const { return editorRow_ >= 0; }
    CellEditor* editor() const { return editor_; }

    // Writes the open editor's text into its field when the user changed it, and leaves the
    // editor open: for whatever is about to complete or post the pending edit. Throws what
    // setting the field throws.
    void commitEditorText();

    // Deletes the current row for the delete command, after its question: closes the editor
    // (its text is not written), discards a new row not yet stored (nothing else is deleted),
    // and deletes any other row without storing a pending change. Nothing while the dataset
    // is not open. Throws what the dataset throws.
    void deleteCurrentRow();
    // Runs `ask` (a question shown while the timer and the player go on) and, when it agrees,
    // deletes the row that was current when it was asked, as deleteCurrentRow does. Nothing on an
    // empty or closed dataset (nothing is asked), nor when that row was a new row that is gone.
    void deleteIfAgreed(const std::function<bool()>& ask);

signals:
    // A click on a data cell of an existing row (not the indicator, titles or editor).
    void cellClick(int column);
    // Ctrl+F: open the find dialog with this search text.
    void findRequested(const QString& text);

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    friend class CellEditor;

    struct GridColumn {
        store::Column field;
        QString title;
        int width;
    };
    enum class Drag { None, Resize, MovePending, Move };

    // DatasetObserver
    void datasetChanged() override;
    void currentChanged(bool centre) override;
    void rowChanged(int row) override;
    void stateChanged() override;
    void updateRecord() override;

    static const std::string& fieldBytes(const store::SubRecord& record, store::Column column);
    bool live() const;  // linked to an open dataset
    int rowCount() const;
    int currentRow() const;

    // Layout and scrolling (subtitlegrid.cpp).
    void relayout();
    void fitTimeColumns();
    void requestRepaint();  // the whole view, coalesced until the next paint
    void updateScrollBars();
    void scrollToCurrent(bool centre);
    void ensureColumnVisible(int place);
    int columnLeft(int place) const;  // viewport x, horizontal scroll applied
    int dataWidth() const;
    int rowAtY(int y) const;        // -1 above the data, rowCount() or more below
    int placeAtX(int x) const;      // -1 indicator, kColumnCount right of the columns
    int resizeEdgeAt(int x) const;  // place whose right edge is under x, or -1

    // Painting (subtitlegrid_paint.cpp).
    void paintTitles(QPainter& painter);
    void paintRow(QPainter& painter, int row, bool highlight);
    void paintIndicator(QPainter& painter, const QRect& rect);

    // Keys (subtitlegrid_keys.cpp). Each returns after acting; errors propagate to guarded().
    bool handleKey(QKeyEvent* event);  // false: not a key of the list
    void keyUp();
    void keyDown();
    void moveColumnBy(int step);  // Tab / Shift+Tab with the row wrap
    void askDelete();             // Ctrl+Delete
    void moveToRow(int target);   // the pressed or aimed-at row becomes current
    void pageBy(int distance);
    void forwardToEditor(QKeyEvent* event);
    void keyEscape();
    void copyFromAbove();  // Ctrl+'
    void moveRows(int distance);

    // The in-place editor (subtitlegrid_edit.cpp).
    bool canEdit() const;
    enum class Caret { SelectAll, End };
    void openEditor(Caret caret);
    void placeEditor();
    void writeEditor();  // the editor's text into the field, when the user changed it
    void closeEditor();  // hides it; the text is not written
    void editorFirstChange();
    void editorKey(QKeyEvent* event);  // a key of the list pressed in the editor
    void editorEscape();
    void editorLostFocus(Qt::FocusReason reason);
    void leaveList();  // focus went elsewhere: write, drop an untouched new row

    // Mouse (subtitlegrid_mouse.cpp).
    void pressCell(int row, int place, Qt::MouseButton button);
    void openPopup(const QPoint& globalPos);

    store::Dataset* dataset_ = nullptr;
    QMenu* popup_ = nullptr;
    RowMarks marks_;
    QFont listFont_;
    QFont titleFont_;
    QColor listColor_;
    std::function<TextMetrics(const QFont&)> metricsSource_;
    int rowLines_ = 3;
    int rowHeight_ = 2;
    RowLayout layout_;
    int titleHeight_ = 0;
    std::array<GridColumn, kColumnCount> columns_;
    int currentColumn_ = 0;
    bool repaintPending_ = false;
    int topRow_ = 0;
    int shownCurrent_ = -1;  // current row as last notified

    CellEditor* editor_ = nullptr;
    int editorRow_ = -1;
    std::int64_t editorAid_ = 0;
    QString editorOriginal_;  // the field's text as the editor showed it at opening

    Drag drag_ = Drag::None;
    Qt::MouseButton dragButton_ = Qt::NoButton;
    int dragPlace_ = -1;
    int dragStartX_ = 0;
    int dragStartWidth_ = 0;
    bool pressOnData_ = false;  // the left press landed on a data cell of an existing row
    bool pressOpened_ = false;  // that press opened the editor
    bool pressFailed_ = false;  // the press's move failed
    int wheelRest_ = 0;         // angle delta not yet worth a notch
};

}  // namespace tirelle::listview
