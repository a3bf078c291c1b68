#pragma once
// The timing checks of the working dataset, kept up to date as it changes: a post or a delete
// of one row re-checks that row's neighbours in start order (and the row posted), anything
// bigger (an open, a tool, an undo, a fix) every row. Watches the dataset as an observer;
// tells problemsChanged() after every check, at once (the panel coalesces its own refresh).

#include <QObject>
#include <QString>
#include <memory>

#include "base/codepage.h"
#include "checks/checker.h"
#include "store/dataset.h"

namespace tirelle::app {

class CheckWatcher : public QObject, private store::DatasetObserver {
    Q_OBJECT
public:
    // Watches `sub` until destroyed; `sub` must outlive it.
    CheckWatcher(store::Dataset& sub, const CodePage& codePage, QObject* parent = nullptr);
    ~CheckWatcher() override;
    // Stops watching (before the dataset goes); the problems stay as they are.
    void detach();

    const checks::TimingChecker& checker() const { return *checker_; }
    const checks::CheckSettings& settings() const { return checker_->settings(); }
    // Another profile or frame rate: every row is checked again.
    void setSettings(const checks::CheckSettings& settings);

    // The text of a row's problems for its mark, one a line ("阅读速度过快 (cps)：11.5"); empty
    // for a row without one.
    QString marksOf(std::int64_t aid) const;

signals:
    void problemsChanged();

private:
    void datasetChanged() override;
    void currentChanged(bool) override {}
    void rowChanged(int row) override;
    void rowRemoved(int row, std::int64_t aid) override;
    void stateChanged() override;

    void recheckAll();
    void recheckRow(int row);

    store::Dataset& sub_;
    bool attached_ = true;
    std::unique_ptr<checks::TimingChecker> checker_;
    int pendingRow_ = -1;  // a row changed while it was being edited: checked once posted
    std::uint64_t checkedVersion_ = 0;  // the dataset's content version at the last whole check
};

// What a window calls a kind of problem: "阅读速度过快 (cps)".
QString ProblemLabel(checks::ProblemKind kind);

}  // namespace tirelle::app
