// The subtitle list: presses, clicks, column resizing and moving, the wheel, the context menu.

#include <QApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include "app/listview/celleditor.h"
#include "app/listview/subtitlegrid.h"
#include "app/ui/guard.h"

namespace tirelle::listview {

void SubtitleGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    event->accept();
    if (button != Qt::LeftButton && button != Qt::RightButton) return;
    if (!hasFocus() && !editor_->hasFocus()) setFocus(Qt::MouseFocusReason);
    drag_ = Drag::None;
    dragButton_ = button;
    pressOnData_ = false;
    pressOpened_ = false;
    pressFailed_ = false;

    if (pos.y() < titleHeight_) {
        // The title row: an edge resizes its column (left button), a title moves its column.
        const int edge = button == Qt::LeftButton ? resizeEdgeAt(pos.x()) : -1;
        if (edge >= 0) {
            drag_ = Drag::Resize;
            dragPlace_ = edge;
            dragStartX_ = pos.x();
            dragStartWidth_ = columnWidth(edge);
            return;
        }
        const int place = placeAtX(pos.x());
        if (place >= 0 && place < kColumnCount) {
            drag_ = Drag::MovePending;
            dragPlace_ = place;
            dragStartX_ = pos.x();
        }
        return;
    }
    const int row = rowAtY(pos.y());
    const int place = placeAtX(pos.x());
    if (!live() || place < 0 || place >= kColumnCount || row < 0 || row >= rowCount()) return;
    bool done = false;
    ui::guarded([&] {
        pressCell(row, place, button);
        done = true;
    });
    pressOnData_ = done && button == Qt::LeftButton;
    pressFailed_ = !done;
}

void SubtitleGrid::pressCell(int row, int place, Qt::MouseButton button) {
    // An open editor's text goes into its field before anything moves.
    if (isEditing()) {
        writeEditor();
        closeEditor();
    }
    const bool wasCurrent = row == currentRow() && place == currentColumn_;
    moveToRow(row);
    setCurrentColumn(place);
    if (button == Qt::LeftButton && wasCurrent) {
        openEditor(Caret::End);
        pressOpened_ = isEditing();
    }
}

void SubtitleGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like the first.
    mousePressEvent(event);
}

void SubtitleGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    switch (drag_) {
        case Drag::Resize:
            setColumnWidth(dragPlace_, dragStartWidth_ + pos.x() - dragStartX_);
            return;
        case Drag::MovePending:
            if (std::abs(pos.x() - dragStartX_) >= QApplication::startDragDistance()) {
                drag_ = Drag::Move;
                viewport()->setCursor(Qt::DragMoveCursor);
            }
            return;
        case Drag::Move:
            return;
        case Drag::None:
            break;
    }
    // Hovering over a title's right edge shows the resize cursor.
    if (event->buttons() == Qt::NoButton) {
        if (pos.y() < titleHeight_ && resizeEdgeAt(pos.x()) >= 0)
            viewport()->setCursor(Qt::SplitHCursor);
        else
            viewport()->unsetCursor();
    }
}

void SubtitleGrid::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    event->accept();
    const Drag drag = drag_;
    if (button == dragButton_) drag_ = Drag::None;
    viewport()->unsetCursor();

    if (drag == Drag::Move && button == dragButton_) {
        int target = placeAtX(pos.x());
        target = std::clamp(target, 0, kColumnCount - 1);
        moveColumn(dragPlace_, target);
        return;  // the end of a column move neither clicks nor opens the menu
    }
    if (drag == Drag::Resize) return;  // nor does the end of a column resize

    if (button == Qt::RightButton) {
        if (pressFailed_) return;  // the error ended the click: no menu for the wrong row
        openPopup(event->globalPosition().toPoint());
        return;
    }
    if (button != Qt::LeftButton || !pressOnData_ || pressOpened_) return;
    pressOnData_ = false;
    // Released over a data cell of an existing row, not over the editor.
    if (pos.y() < titleHeight_) return;
    if (isEditing() && editor_->geometry().contains(pos)) return;
    const int row = rowAtY(pos.y());
    const int place = placeAtX(pos.x());
    if (!live() || place < 0 || place >= kColumnCount || row < 0 || row >= rowCount()) return;
    emit cellClick(place);
}

void SubtitleGrid::openPopup(const QPoint& globalPos) {
    if (!popup_) return;
    popup_->popup(globalPos);
}

void SubtitleGrid::wheelEvent(QWheelEvent* event) {
    event->accept();
    wheelRest_ += event->angleDelta().y();
    const int notches = wheelRest_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRest_ -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (notches == 0 || !live()) return;
    ui::guarded([&] {
        if (isEditing()) {
            writeEditor();
            closeEditor();
        }
        // Turning the wheel away from the user (positive delta) moves up.
        const int current = currentRow();
        if (current >= 0) moveToRow(current - notches);
    });
}

void SubtitleGrid::setRowMarks(RowMarks marks) {
    marks_ = std::move(marks);
    requestRepaint();
}

void SubtitleGrid::markRowsChanged() {
    requestRepaint();
}

bool SubtitleGrid::viewportEvent(QEvent* event) {
    // A marked row's indicator cell tells its marks.
    if (event->type() == QEvent::ToolTip && marks_ && live()) {
        const QPoint at = static_cast<QHelpEvent*>(event)->pos();
        const int row = rowAtY(at.y());
        QString text;
        if (placeAtX(at.x()) == -1 && row >= 0 && row < rowCount() && row != dataset_->insertRow())
            text = marks_(dataset_->rowAt(row));
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

}  // namespace tirelle::listview
