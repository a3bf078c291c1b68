#pragma once
// The checks panel (a dock of the main window): every problem of the subtitles with its row
// (the place in start order, from 1), start, kind and value; the profile checked against; "修复"
// for the fix of the mechanical problems as one undo step. A double-click on a problem goes to
// its row and seeks the video there. The list is refreshed once per turn of the event loop
// after the problems change, and only while the panel is shown.

#include <QDockWidget>
#include <functional>

#include "store/dataset.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace tirelle::store {
class History;
}

namespace tirelle::app {

class CheckWatcher;
class ProblemModel;

// What the panel works on; none is owned.
struct ChecksContext {
    store::Dataset* sub = nullptr;
    store::History* history = nullptr;
    CheckWatcher* watcher = nullptr;
    // Goes to the row of `aid` (already located) and seeks the video to `seconds`.
    std::function<void(double seconds)> seek;
    // Tells the outcome of a fix in the status bar.
    std::function<void(const QString&)> tell;
};

class TChecksPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit TChecksPanel(ChecksContext context, QWidget* parent = nullptr);
    ~TChecksPanel() override;

    QComboBox* ProfileBox = nullptr;
    QPushButton* FixButton = nullptr;
    QTableView* ProblemList = nullptr;
    QLabel* CountLabel = nullptr;

    // The problems as listed now (for the tests): rows of row, start, kind, value.
    int listedCount() const;
    QStringList listedRow(int index) const;

    void ProfileBoxChange();
    void FixButtonClick();
    void ProblemListDblClick(int index);
    // Fills the list again from the checker (done by itself after a change while shown).
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void scheduleRefresh();

    ChecksContext context_;
    ProblemModel* model_ = nullptr;
    bool refreshPending_ = false;
};

}  // namespace tirelle::app
