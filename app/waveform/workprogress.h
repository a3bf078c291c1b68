#pragma once
// What the background work on the open video (its audio and speech, its cuts) has done so far,
// at the right of the status bar: a label saying what runs, a bar with the share done and a
// button that stops it. Hidden while nothing runs.

#include <QWidget>

class QLabel;
class QProgressBar;
class QToolButton;

namespace tirelle::app {

class WorkProgress : public QWidget {
    Q_OBJECT
public:
    explicit WorkProgress(QWidget* parent = nullptr);

    // Shows `what` with `share` (0 to 1) done; an empty `what` hides the whole widget.
    void show(const QString& what, double share);

    QLabel* label() const { return label_; }
    QProgressBar* bar() const { return bar_; }
    QToolButton* cancelButton() const { return cancel_; }

signals:
    void cancelRequested();

private:
    QLabel* label_;
    QProgressBar* bar_;
    QToolButton* cancel_;
};

}  // namespace tirelle::app
