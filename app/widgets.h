#pragma once
// Small controls of the main window whose behaviour Qt does not give as such.

#include <QTimer>
#include <QToolButton>
#include <QWidget>

class QRubberBand;

namespace tirelle::app {

// A two-state speed button. A click by the user flips it and then emits clicked() (the click
// handler sees the new state); setDown() by the program flips it silently. It takes no keyboard
// focus. Buttons joined with joinGroup() form a group in which at most one is down and all may be
// up: setting one down, by a click or by the program, sends the others up without their handlers.
class ToggleButton : public QToolButton {
    Q_OBJECT
public:
    explicit ToggleButton(const QString& caption, QWidget* parent = nullptr);
    bool isDown() const { return isChecked(); }
    void setDown(bool down);
    static void joinGroup(ToggleButton* a, ToggleButton* b);

private:
    void releaseOthers();
    QList<ToggleButton*> group_;
};

// A splitter bar that resizes the pane on its far side when the mouse is released; a hatched
// line shows the new place while dragging. The other side keeps at least `minSize` pixels and
// the pane closes completely when dragged to `minSize` or less. Emits moved() when the pane's
// size changed.
class Splitter : public QWidget {
    Q_OBJECT
public:
    // Horizontal: a vertical bar that changes the pane's width (pane on the right).
    // Vertical: a horizontal bar that changes the pane's height (pane below).
    Splitter(Qt::Orientation orientation, QWidget* pane, QWidget* parent = nullptr);
    void setMinSize(int pixels) { minSize_ = pixels; }
    // The pane's size after a drag that ended at `position` (bar coordinates of the parent).
    int sizeForPosition(int position) const;
    // Applies a new pane size as a finished drag would; emits moved() when it changed.
    void moveTo(int paneSize);

signals:
    void moved();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int along(const QPoint& parentPoint) const;
    Qt::Orientation orientation_;
    QWidget* pane_;
    int minSize_ = 30;
    bool dragging_ = false;
    int dragOffset_ = 0;
    QWidget* line_ = nullptr;
};

// A timer with the Enabled semantics of a classic form timer: enabling a disabled timer starts
// a fresh period; enabling an enabled one or disabling a disabled one changes nothing.
class FormTimer : public QTimer {
    Q_OBJECT
public:
    using QTimer::QTimer;
    bool enabled() const { return isActive(); }
    void setEnabled(bool on) {
        if (on && !isActive()) start();
        if (!on && isActive()) stop();
    }
};

}  // namespace tirelle::app
