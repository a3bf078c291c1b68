// The subtitle list: the in-place editor and what the list does when the focus leaves it.

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTextCursor>

#include "app/listview/celleditor.h"
#include "app/listview/subtitlegrid.h"
#include "app/ui/guard.h"
#include "app/ui/textcodec.h"

namespace tirelle::listview {

const std::string& SubtitleGrid::fieldBytes(const store::SubRecord& record, store::Column column) {
    switch (column) {
        case store::Column::STime:
            return record.STime;
        case store::Column::ETime:
            return record.ETime;
        default:
            return record.SubText;
    }
}

bool SubtitleGrid::canEdit() const {
    return live() && dataset_->canModify() && currentRow() >= 0 && currentRow() < rowCount();
}

void SubtitleGrid::openEditor(Caret caret) {
    if (!canEdit()) return;
    const int row = currentRow();
    if (!isEditing()) {
        ensureColumnVisible(currentColumn_);
        scrollToCurrent(false);
        editorRow_ = row;
        const store::SubRecord& record = dataset_->rowAt(row);
        editorAid_ = record.aid;
        editorOriginal_ = ui::toDisplay(fieldBytes(record, columnField(currentColumn_)));
        editor_->setTextQuietly(editorOriginal_);
        placeEditor();
        editor_->show();
        editor_->setFocus(Qt::OtherFocusReason);
    }
    if (caret == Caret::SelectAll)
        editor_->selectAllText();
    else
        editor_->caretToEnd();
    requestRepaint();
}

void SubtitleGrid::placeEditor() {
    if (!isEditing()) return;
    // Over the cell, the lines at its right and bottom edge left visible, and never over the
    // indicator column.
    QRect cell = cellRect(editorRow_, currentColumn_).adjusted(0, 0, -1, -1);
    cell.setLeft(std::max(cell.left(), kIndicatorWidth));
    editor_->setGeometry(cell);
}

void SubtitleGrid::writeEditor() {
    if (!isEditing() || !live()) return;
    const QString text = editor_->text();
    // A text the user did not change is never written back: the stored bytes stay as they are.
    // A change typed and undone again is no change either, so the next keystroke counts as
    // the first change once more and puts the row back into edit state.
    if (text == editorOriginal_) {
        editor_->clearUserChanged();
        return;
    }
    if (dataset_->state() == store::DatasetState::Browse) dataset_->edit();
    dataset_->fieldByName(store::columnName(columnField(currentColumn_)))
        .setAsString(ui::fromDisplay(text));
    editorOriginal_ = text;
    editor_->clearUserChanged();
}

void SubtitleGrid::commitEditorText() {
    writeEditor();
}

void SubtitleGrid::closeEditor() {
    if (!isEditing()) return;
    const bool hadFocus = editor_->hasFocus();
    editorRow_ = -1;
    if (hadFocus) setFocus(Qt::OtherFocusReason);
    editor_->hide();
    requestRepaint();
}

void SubtitleGrid::editorFirstChange() {
    // The first change to the text puts the row into edit state.
    ui::guarded([this] {
        if (isEditing() && live() && dataset_->state() == store::DatasetState::Browse)
            dataset_->edit();
    });
}

void SubtitleGrid::editorKey(QKeyEvent* event) {
    ui::guarded([&] {
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        switch (event->key()) {
            case Qt::Key_Escape:
                editorEscape();
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                writeEditor();
                closeEditor();
                return;
            case Qt::Key_F:
                if (ctrl) {
                    QString selected = editor_->textCursor().selectedText();
                    selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
                    emit findRequested(selected);
                    return;
                }
                break;
            case Qt::Key_Apostrophe:
                if (ctrl) {
                    copyFromAbove();
                    return;
                }
                break;
            default:
                break;
        }
        // Keys that leave the cell: the text goes into the field first.
        writeEditor();
        closeEditor();
        handleKey(event);
    });
}

void SubtitleGrid::editorEscape() {
    if (editor_->text() != editorOriginal_) {
        // Only the typed text is undone; the row's pending change stays.
        editor_->setTextQuietly(editorOriginal_);
        closeEditor();
        return;
    }
    closeEditor();
    if (live()) keyEscape();
}

void SubtitleGrid::editorLostFocus(Qt::FocusReason reason) {
    // A popup menu or another window taking the focus does not leave the list.
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) return;
    QWidget* now = QApplication::focusWidget();
    if (now == this || now == editor_ || now == viewport()) return;
    leaveList();
}

void SubtitleGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    requestRepaint();
}

void SubtitleGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    requestRepaint();
    editorLostFocus(event->reason());
}

void SubtitleGrid::leaveList() {
    ui::guarded([this] {
        writeEditor();
        closeEditor();
        if (live() && dataset_->state() == store::DatasetState::Insert && !dataset_->modified())
            dataset_->cancel();  // an untouched new row does not outlive the visit
    });
}

void SubtitleGrid::inputMethodEvent(QInputMethodEvent* event) {
    // Text composed by an input method: like a typed character, it opens the editor and
    // replaces the cell's text.
    ui::guarded([&] {
        if (event->commitString().isEmpty() && event->preeditString().isEmpty()) return;
        if (!canEdit()) return;
        openEditor(Caret::SelectAll);
        QInputMethodEvent copy(event->preeditString(), event->attributes());
        copy.setCommitString(event->commitString(), event->replacementStart(),
                             event->replacementLength());
        QCoreApplication::sendEvent(editor_, &copy);
    });
    event->accept();
}

}  // namespace tirelle::listview
