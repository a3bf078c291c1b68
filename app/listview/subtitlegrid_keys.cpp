// The subtitle list: the keyboard while no cell is being edited.

#include <QCoreApplication>
#include <QKeyEvent>

#include "app/listview/celleditor.h"
#include "app/listview/subtitlegrid.h"

#include <functional>
#include "app/ui/dialogs.h"
#include "app/ui/guard.h"

namespace tirelle::listview {

namespace {
constexpr Qt::KeyboardModifiers kModifierMask =
    Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier;

bool isTypedText(const QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint();
}
}  // namespace

bool SubtitleGrid::event(QEvent* event) {
    // Tab and Shift+Tab move between cells instead of leaving the list; Alt+Tab and Ctrl+Tab
    // stay with the system.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void SubtitleGrid::keyPressEvent(QKeyEvent* event) {
    bool handled = true;
    ui::guarded([&] { handled = handleKey(event); });
    if (handled)
        event->accept();
    else
        event->ignore();
}

bool SubtitleGrid::handleKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & kModifierMask;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    const int key = event->key();
    const bool open = live();

    switch (key) {
        case Qt::Key_Up:
            if (!open) return true;
            if (ctrl)
                moveToRow(topRow_);
            else
                keyUp();
            return true;
        case Qt::Key_Down:
            if (!open) return true;
            if (ctrl)
                moveToRow(std::min(topRow_ + visibleRowCount() - 1, rowCount() - 1));
            else
                keyDown();
            return true;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            if (!open) return true;
            const bool down = key == Qt::Key_PageDown;
            if (ctrl) {
                moveToRow(down ? std::min(topRow_ + visibleRowCount() - 1, rowCount() - 1)
                               : topRow_);
                return true;
            }
            pageBy(down ? visibleRowCount() : -visibleRowCount());
            return true;
        }
        case Qt::Key_Home:
        case Qt::Key_End:
            if (!open) return true;
            if (ctrl) {
                if (key == Qt::Key_Home)
                    dataset_->first();
                else
                    dataset_->last();
            } else {
                setCurrentColumn(key == Qt::Key_Home ? 0 : kColumnCount - 1);
            }
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (!open) return true;
            if (ctrl)
                setCurrentColumn(key == Qt::Key_Left ? 0 : kColumnCount - 1);
            else
                setCurrentColumn(currentColumn_ + (key == Qt::Key_Left ? -1 : 1));
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (alt || ctrl) return false;
            if (open) moveColumnBy(key == Qt::Key_Backtab || (mods & Qt::ShiftModifier) ? -1 : 1);
            return true;
        case Qt::Key_Insert:
            // Shift+Insert and Ctrl+Insert are clipboard keys: nothing in the list.
            if (open && mods == Qt::NoModifier && dataset_->canModify()) dataset_->insert();
            return true;
        case Qt::Key_Delete:
            if (open && mods == Qt::ControlModifier) askDelete();
            return true;  // Delete alone does nothing in the list
        case Qt::Key_Escape:
            if (open) keyEscape();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (open && !ctrl) openEditor(Caret::SelectAll);
            return true;
        case Qt::Key_F2:
            if (open) openEditor(Caret::End);
            return true;
        case Qt::Key_Apostrophe:
            if (ctrl) {
                if (open) copyFromAbove();
                return true;
            }
            break;
        case Qt::Key_F:
            if (ctrl) {
                if (open) emit findRequested(QString());
                return true;
            }
            break;
        case Qt::Key_Backspace:
            if (open && mods == Qt::NoModifier && canEdit()) {
                openEditor(Caret::SelectAll);
                forwardToEditor(event);
            }
            return true;
        default:
            break;
    }
    if (isTypedText(event)) {
        // A typed character replaces the whole text of the cell.
        if (open && canEdit()) {
            openEditor(Caret::SelectAll);
            forwardToEditor(event);
        }
        return true;
    }
    // Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+A and the rest do nothing in the list.
    return ctrl;
}

void SubtitleGrid::forwardToEditor(QKeyEvent* event) {
    if (!isEditing()) return;
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                   event->isAutoRepeat(), event->count());
    QCoreApplication::sendEvent(editor_, &copy);
}

void SubtitleGrid::moveToRow(int target) {
    int current = currentRow();
    if (current < 0 || target == current) return;
    target = std::clamp(target, 0, rowCount() - 1);
    if (target == current) return;
    // An untouched new row disappears when the cursor leaves it, and the rows below it move up
    // by one: drop it first so that the row aimed at is the one reached.
    if (dataset_->state() == store::DatasetState::Insert && !dataset_->modified()) {
        dataset_->cancel();
        if (target > current) --target;
        current = currentRow();
        if (current < 0 || target == current) return;
    }
    dataset_->moveBy(target - current);
}

void SubtitleGrid::pageBy(int distance) {
    const int current = currentRow();
    if (current < 0) return;
    // The current row keeps its place on the screen while the page scrolls under it.
    const int offset = current - topRow_;
    moveToRow(current + distance);
    setTopRow(currentRow() - offset);
    scrollToCurrent(false);
}

void SubtitleGrid::keyUp() {
    const int current = currentRow();
    if (current < 0) return;
    if (dataset_->state() == store::DatasetState::Insert && !dataset_->modified() &&
        current == rowCount() - 1) {
        dataset_->cancel();  // the untouched new row at the end goes away
        return;
    }
    if (current == 0) {
        dataset_->prior();  // completes a pending edit and sets the begin flag
        return;
    }
    moveToRow(current - 1);
}

void SubtitleGrid::keyDown() {
    const int current = currentRow();
    if (dataset_->state() == store::DatasetState::Insert && !dataset_->modified()) {
        // An untouched new row: at the end nothing happens; elsewhere it is dropped and the
        // row it was inserted before is current again.
        if (current != rowCount() - 1) dataset_->cancel();
        return;
    }
    if (current == rowCount() - 1) {
        // Down past the last row starts a new row (append first completes a pending edit).
        if (dataset_->canModify()) dataset_->append();
        return;
    }
    moveToRow(current + 1);
}

void SubtitleGrid::moveColumnBy(int step) {
    const int next = currentColumn_ + step;
    if (next >= kColumnCount) {
        keyDown();
        setCurrentColumn(0);
    } else if (next < 0) {
        keyUp();
        setCurrentColumn(kColumnCount - 1);
    } else {
        setCurrentColumn(next);
    }
}

void SubtitleGrid::askDelete() {
    if (!dataset_->canModify()) return;
    deleteIfAgreed([this] {
        return ui::dialogs().confirm(this, QStringLiteral("Confirm"),
                                     QStringLiteral("Delete record?"));
    });
}

void SubtitleGrid::deleteIfAgreed(const std::function<bool()>& ask) {
    if (!live() || dataset_->isEmpty()) return;
    // While the question is up the timer ticks and the player reports, and the preview may
    // move the cursor: the answer is about the row that was current when it was asked.
    const store::Bookmark asked = dataset_->bookmark();
    if (!ask() || dataset_->isEmpty()) return;
    const store::Bookmark now = dataset_->bookmark();
    if (now.row != asked.row || now.aid != asked.aid) {
        // A new row asked about was stored or dropped by that move: it is no longer there to
        // discard. A stored row is found again wherever it now stands.
        if (asked.aid == 0) return;
        if (!dataset_->locate("aid", asked.aid)) return;
    }
    deleteCurrentRow();
}

void SubtitleGrid::deleteCurrentRow() {
    if (!live()) return;
    closeEditor();
    // A new row not yet stored is only discarded; an edited row is deleted without storing
    // its change.
    if (dataset_->state() == store::DatasetState::Insert)
        dataset_->cancel();
    else
        dataset_->remove();
}

void SubtitleGrid::keyEscape() {
    if (dataset_->state() != store::DatasetState::Browse) dataset_->cancel();
}

void SubtitleGrid::copyFromAbove() {
    const int current = currentRow();
    // Nothing on the topmost visible row, even when rows above it are out of view.
    if (!canEdit() || current <= 0 || current == topRow_) return;
    closeEditor();
    const store::Column column = columnField(currentColumn_);
    const std::string value = fieldBytes(dataset_->rowAt(current - 1), column);
    dataset_->edit();
    dataset_->fieldByName(store::columnName(column)).setAsString(value);
    openEditor(Caret::SelectAll);
}

}  // namespace tirelle::listview
