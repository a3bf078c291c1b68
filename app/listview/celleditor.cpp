#include "app/listview/celleditor.h"

#include <QKeyEvent>
#include <QTextCursor>

#include "app/listview/subtitlegrid.h"

namespace tirelle::listview {

CellEditor::CellEditor(SubtitleGrid* grid, QWidget* parent) : QPlainTextEdit(parent), grid_(grid) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(false);
    // The text starts where the cell's text does: 2 pixels from the left, 1 from the top.
    document()->setDocumentMargin(1);
    setViewportMargins(1, 0, 1, 0);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setMultiLine(false);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (quiet_ || userChanged_) return;
        userChanged_ = true;
        emit firstChange();
    });
    connect(this, &CellEditor::firstChange, grid_, [this] { grid_->editorFirstChange(); });
}

void CellEditor::setMultiLine(bool multiLine) {
    multiLine_ = multiLine;
    setLineWrapMode(multiLine ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void CellEditor::setTextQuietly(const QString& text) {
    quiet_ = true;
    setPlainText(text);
    quiet_ = false;
    userChanged_ = false;
}

void CellEditor::selectAllText() {
    selectAll();
}

void CellEditor::caretToEnd() {
    moveCursor(QTextCursor::End);
}

bool CellEditor::isListKey(const QKeyEvent* event) const {
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const bool ctrl = mods & Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return !ctrl;  // Ctrl+Enter belongs to the text
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return !(mods & (Qt::ControlModifier | Qt::AltModifier));
        case Qt::Key_Insert:
            return mods == Qt::NoModifier;  // Shift+Insert pastes, Ctrl+Insert copies
        case Qt::Key_Delete:
            return mods == Qt::ControlModifier;
        case Qt::Key_Up:
        case Qt::Key_Down:
            return !multiLine_;
        case Qt::Key_F:
        case Qt::Key_Apostrophe:
            return ctrl;
        default:
            return false;
    }
}

bool CellEditor::event(QEvent* event) {
    // Tab is a key of the list, not a character or a focus move.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

void CellEditor::keyPressEvent(QKeyEvent* event) {
    if (isListKey(event)) {
        event->accept();
        grid_->editorKey(event);
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:  // Ctrl+Enter: a line break in a multi-line editor, nothing otherwise
            if (multiLine_) insertPlainText(QStringLiteral("\n"));
            event->accept();
            return;
        case Qt::Key_F2:
            caretToEnd();
            event->accept();
            return;
        default:
            QPlainTextEdit::keyPressEvent(event);
    }
}

void CellEditor::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (isVisible()) grid_->editorLostFocus(event->reason());
}

void CellEditor::wheelEvent(QWheelEvent* event) {
    grid_->wheelEvent(event);
}

void CellEditor::mousePressEvent(QMouseEvent* event) {
    QPlainTextEdit::mousePressEvent(event);
}

}  // namespace tirelle::listview
