#include "app/checkwatcher.h"

#include <vector>

namespace tirelle::app {

QString ProblemLabel(checks::ProblemKind kind) {
    QString label;
    switch (kind) {
        case checks::ProblemKind::LineLength: label = QStringLiteral("单行过长"); break;
        case checks::ProblemKind::Lines: label = QStringLiteral("行数过多"); break;
        case checks::ProblemKind::Short: label = QStringLiteral("显示过短"); break;
        case checks::ProblemKind::Long: label = QStringLiteral("显示过长"); break;
        case checks::ProblemKind::ReadingSpeed: label = QStringLiteral("阅读速度过快"); break;
        case checks::ProblemKind::Overlap: label = QStringLiteral("与下一条重叠"); break;
        case checks::ProblemKind::Gap: label = QStringLiteral("与下一条间隔过小"); break;
    }
    const std::string_view name = checks::KindName(kind);
    return label + QStringLiteral(" (") +
           QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())) +
           QLatin1Char(')');
}

CheckWatcher::CheckWatcher(store::Dataset& sub, const CodePage& codePage, QObject* parent)
    : QObject(parent), sub_(sub), checker_(std::make_unique<checks::TimingChecker>(codePage)) {
    sub_.addObserver(this);
    recheckAll();
}

CheckWatcher::~CheckWatcher() {
    detach();
}

void CheckWatcher::detach() {
    if (attached_) sub_.removeObserver(this);
    attached_ = false;
}

void CheckWatcher::setSettings(const checks::CheckSettings& settings) {
    checker_->setSettings(settings);
    emit problemsChanged();
}

QString CheckWatcher::marksOf(std::int64_t aid) const {
    std::vector<checks::Problem> problems;
    checker_->problemsOf(aid).appendTo(aid, problems);
    QStringList lines;
    for (const checks::Problem& problem : problems)
        lines << ProblemLabel(problem.kind) + QStringLiteral("：") +
                     QString::fromStdString(checks::ValueText(problem.hundredths));
    return lines.join(QLatin1Char('\n'));
}

void CheckWatcher::recheckAll() {
    pendingRow_ = -1;
    checkedVersion_ = sub_.contentVersion();
    if (!sub_.active()) {
        checker_->reset({});
    } else if (const int inserting = sub_.insertRow(); inserting >= 0) {
        // A row being built is no subtitle yet.
        std::vector<store::SubRecord> rows(sub_.rows().begin(), sub_.rows().end());
        rows.erase(rows.begin() + inserting);
        checker_->reset(rows);
    } else {
        checker_->reset(sub_.rows());
    }
    emit problemsChanged();
}

void CheckWatcher::recheckRow(int row) {
    if (row < 0 || row >= sub_.rowCount()) return;
    const store::SubRecord& record = sub_.rowAt(row);
    checker_->update({&record, 1}, {});
    // Told even when no row's problems changed: the row may have moved in start order, and
    // the panel's places with it.
    emit problemsChanged();
}

void CheckWatcher::datasetChanged() {
    // A walk of the cursor (the preview looking at the next row on every seek) ends with a
    // datasetChanged() that changed no row: the problems stay as they are.
    if (sub_.contentVersion() == checkedVersion_) return;
    // The start of an insert adds only the blank row being built, which is no subtitle yet:
    // the rows held stay as they are, and the new one is checked once posted.
    if (sub_.insertRow() >= 0 &&
        checker_->rowCount() + 1 == static_cast<std::size_t>(sub_.rowCount())) {
        if (sub_.contentVersion() == checkedVersion_ + 1) checkedVersion_ = sub_.contentVersion();
        return;
    }
    recheckAll();
}

void CheckWatcher::rowChanged(int row) {
    // Each row change is counted once: when it is the only change since the rows were last in
    // step, they are in step again once the row is checked (now, or once it is posted).
    const bool inStep = sub_.contentVersion() == checkedVersion_ + 1;
    // A row in edit shows what is typed, not what is stored: it is checked once posted.
    if (sub_.state() == store::DatasetState::Browse) {
        recheckRow(row);
        if (row == pendingRow_) pendingRow_ = -1;
    } else {
        pendingRow_ = row;
    }
    if (inStep) checkedVersion_ = sub_.contentVersion();
}

void CheckWatcher::rowRemoved(int row, std::int64_t aid) {
    // Only when the delete is the one change since the rows were last in step do the rows held
    // stay the table's, less this one.
    if (sub_.contentVersion() != checkedVersion_ + 1 || sub_.insertRow() >= 0 ||
        checker_->rowCount() != static_cast<std::size_t>(sub_.rowCount()) + 1) {
        recheckAll();
        return;
    }
    checkedVersion_ = sub_.contentVersion();
    if (pendingRow_ == row) pendingRow_ = -1;
    else if (pendingRow_ > row) --pendingRow_;
    checker_->update({}, {&aid, 1});
    emit problemsChanged();
}

void CheckWatcher::stateChanged() {
    if (sub_.state() != store::DatasetState::Browse || pendingRow_ < 0) return;
    const int row = pendingRow_;
    pendingRow_ = -1;
    recheckRow(row);
}

}  // namespace tirelle::app
