#include "app/widgets.h"

#include <QLayout>
#include <QMouseEvent>
#include <QPainter>

namespace tirelle::app {

ToggleButton::ToggleButton(const QString& caption, QWidget* parent) : QToolButton(parent) {
    setText(caption);
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(false);
    // A click flips the state before clicked() reaches the handler; a flip to down, however it
    // happens, releases the other buttons of the group without their handlers.
    connect(this, &QToolButton::toggled, this, [this](bool down) {
        if (down) releaseOthers();
    });
}

void ToggleButton::setDown(bool down) {
    setChecked(down);  // setChecked never emits clicked(), so no handler runs
}

void ToggleButton::joinGroup(ToggleButton* a, ToggleButton* b) {
    a->group_.append(b);
    b->group_.append(a);
}

void ToggleButton::releaseOthers() {
    for (ToggleButton* other : group_)
        if (other->isChecked()) other->setChecked(false);
}

// --- Splitter

namespace {
// The hatched line drawn over the window while a splitter is dragged.
class HatchLine : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QBrush(Qt::darkGray, Qt::Dense4Pattern));
    }
};
}  // namespace

Splitter::Splitter(Qt::Orientation orientation, QWidget* pane, QWidget* parent)
    : QWidget(parent), orientation_(orientation), pane_(pane) {
    setCursor(orientation == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    if (orientation == Qt::Horizontal)
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    else
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int Splitter::along(const QPoint& parentPoint) const {
    return orientation_ == Qt::Horizontal ? parentPoint.x() : parentPoint.y();
}

int Splitter::sizeForPosition(int position) const {
    // position: where the bar's leading edge would stand, in the parent's coordinates.
    QWidget* parent = parentWidget();
    const int total = orientation_ == Qt::Horizontal ? parent->width() : parent->height();
    const int bar = orientation_ == Qt::Horizontal ? width() : height();
    int size = total - position - bar;
    const int largest = total - bar - minSize_;  // the other side keeps minSize_
    if (size > largest) size = largest;
    if (size <= minSize_) size = 0;  // dragged to minSize_ or less: closes
    return size;
}

void Splitter::moveTo(int paneSize) {
    const int old = orientation_ == Qt::Horizontal ? pane_->width() : pane_->height();
    if (orientation_ == Qt::Horizontal)
        pane_->setFixedWidth(paneSize);
    else
        pane_->setFixedHeight(paneSize);
    if (QWidget* parent = parentWidget(); parent && parent->layout()) parent->layout()->activate();
    if (paneSize != old) emit moved();
}

void Splitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    dragOffset_ = orientation_ == Qt::Horizontal ? event->position().toPoint().x()
                                                 : event->position().toPoint().y();
    if (!line_) line_ = new HatchLine(parentWidget());
    line_->setGeometry(geometry());
    line_->show();
    line_->raise();
}

void Splitter::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const int position = along(mapToParent(event->position().toPoint())) - dragOffset_;
    const int size = sizeForPosition(position);
    QRect place = geometry();
    QWidget* parent = parentWidget();
    if (orientation_ == Qt::Horizontal)
        place.moveLeft(parent->width() - size - width());
    else
        place.moveTop(parent->height() - size - height());
    line_->setGeometry(place);
}

void Splitter::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    if (line_) line_->hide();
    moveTo(sizeForPosition(along(mapToParent(event->position().toPoint())) - dragOffset_));
}

void Splitter::paintEvent(QPaintEvent*) {}

}  // namespace tirelle::app
