#pragma once
// The in-place editor of the subtitle list: a plain-text box laid over the current cell. It
// wraps and holds several lines when the list's rows do, and stays on one line otherwise.
// Keys that leave the cell, and the list's own commands, go back to the list.

#include <QPlainTextEdit>

namespace tirelle::listview {

class SubtitleGrid;

class CellEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    // Owned by the grid's viewport.
    CellEditor(SubtitleGrid* grid, QWidget* parent);

    // Multi-line: wraps at the cell's width, Up/Down move between lines, Ctrl+Enter breaks the
    // line. Single-line: no wrapping, Up/Down leave the cell, Ctrl+Enter does nothing.
    void setMultiLine(bool multiLine);
    bool multiLine() const { return multiLine_; }

    // Replaces the text without counting as a change by the user.
    void setTextQuietly(const QString& text);
    // True once the user changed the text since it was last set.
    bool userChanged() const { return userChanged_; }
    void clearUserChanged() { userChanged_ = false; }

    QString text() const { return toPlainText(); }
    void selectAllText();
    void caretToEnd();

signals:
    // The first change by the user since the text was last set.
    void firstChange();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // True when the key belongs to the list rather than to the text.
    bool isListKey(const QKeyEvent* event) const;

    SubtitleGrid* grid_;
    bool multiLine_ = false;
    bool quiet_ = false;
    bool userChanged_ = false;
};

}  // namespace tirelle::listview
