#include "app/checkspanel.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "app/checkwatcher.h"
#include "app/ui/guard.h"
#include "checks/fix.h"
#include "checks/rules.h"

namespace tirelle::app {

// The problems with what the list shows of their rows, in start order.
class ProblemModel : public QAbstractTableModel {
public:
    struct Entry {
        checks::Problem problem;
        int position = 0;  // in start order, from 1
        double start = 0;  // seconds
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(std::vector<Entry> entries) {
        beginResetModel();
        entries_ = std::move(entries);
        endResetModel();
    }
    const Entry& entry(int index) const { return entries_[static_cast<std::size_t>(index)]; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(entries_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        return text(index.row(), index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
        static const char* const titles[] = {"行", "开始", "问题", "值"};
        return QString::fromUtf8(titles[section]);
    }
    QString text(int row, int column) const {
        const Entry& e = entry(row);
        switch (column) {
            case 0: return QString::number(e.position);
            case 1: return QString::fromStdString(checks::TimeCodeOf(e.start));
            case 2: return ProblemLabel(e.problem.kind);
            default: return QString::fromStdString(checks::ValueText(e.problem.hundredths));
        }
    }

private:
    std::vector<Entry> entries_;
};

TChecksPanel::TChecksPanel(ChecksContext context, QWidget* parent)
    : QDockWidget(QStringLiteral("检查"), parent), context_(std::move(context)) {
    setObjectName(QStringLiteral("ChecksPanel"));
    auto* body = new QWidget(this);
    ProfileBox = new QComboBox(body);
    ProfileBox->setObjectName(QStringLiteral("ProfileBox"));
    for (const checks::Profile& profile : checks::Profiles())
        ProfileBox->addItem(QString::fromLatin1(profile.name.data(),
                                                static_cast<qsizetype>(profile.name.size())));
    ProfileBox->setCurrentText(QString::fromLatin1(checks::DefaultProfile().name.data(),
                                                   static_cast<qsizetype>(checks::DefaultProfile().name.size())));
    FixButton = new QPushButton(QStringLiteral("修复"), body);
    FixButton->setObjectName(QStringLiteral("FixButton"));
    FixButton->setAutoDefault(false);
    CountLabel = new QLabel(body);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    model_ = new ProblemModel(this);
    ProblemList = new QTableView(body);
    ProblemList->setObjectName(QStringLiteral("ProblemList"));
    ProblemList->setModel(model_);
    ProblemList->setSelectionBehavior(QAbstractItemView::SelectRows);
    ProblemList->setSelectionMode(QAbstractItemView::SingleSelection);
    ProblemList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ProblemList->verticalHeader()->hide();
    ProblemList->verticalHeader()->setDefaultSectionSize(ProblemList->fontMetrics().height() + 4);
    ProblemList->horizontalHeader()->setStretchLastSection(true);
    // The kind column as wide as its longest text (measured once: a list of many problems
    // is never measured row by row).
    int kindWidth = 0;
    for (int kind = 0; kind < checks::kProblemKinds; ++kind)
        kindWidth = std::max(kindWidth, ProblemList->fontMetrics().horizontalAdvance(
                                            ProblemLabel(static_cast<checks::ProblemKind>(kind))));
    ProblemList->setColumnWidth(2, kindWidth + 16);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("规则"), body));
    top->addWidget(ProfileBox, 1);
    top->addWidget(FixButton);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(CountLabel);
    layout->addWidget(ProblemList, 1);
    setWidget(body);

    connect(ProfileBox, &QComboBox::currentIndexChanged, this,
            [this] { ui::guarded([this] { ProfileBoxChange(); }); });
    connect(FixButton, &QPushButton::clicked, this, [this] { ui::guarded([this] { FixButtonClick(); }); });
    connect(ProblemList, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        ui::guarded([&] { ProblemListDblClick(index.row()); });
    });
    connect(context_.watcher, &CheckWatcher::problemsChanged, this, [this] { scheduleRefresh(); });
}

TChecksPanel::~TChecksPanel() = default;

int TChecksPanel::listedCount() const {
    return model_->rowCount();
}

QStringList TChecksPanel::listedRow(int index) const {
    QStringList texts;
    for (int column = 0; column < 4; ++column) texts << model_->text(index, column);
    return texts;
}

void TChecksPanel::showEvent(QShowEvent* event) {
    QDockWidget::showEvent(event);
    refresh();
}

void TChecksPanel::scheduleRefresh() {
    if (refreshPending_ || isHidden()) return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] { ui::guarded([this] { refresh(); }); });
}

void TChecksPanel::refresh() {
    refreshPending_ = false;
    const std::vector<checks::Problem> problems = context_.watcher->checker().problems();
    const store::Dataset& sub = *context_.sub;
    // Each problem's row: its place in start order and its start.
    std::unordered_map<std::int64_t, std::pair<int, double>> places;
    if (!problems.empty() && sub.active()) {
        const std::span<const store::SubRecord> rows = sub.rows();
        const int inserting = sub.insertRow();
        std::vector<store::SubRecord> held;
        std::span<const store::SubRecord> checked = rows;
        if (inserting >= 0) {
            held.assign(rows.begin(), rows.end());
            held.erase(held.begin() + inserting);
            checked = held;
        }
        const std::vector<std::size_t> order = checks::StartOrder(checked);
        places.reserve(order.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            places.emplace(checked[order[k]].aid,
                           std::pair{static_cast<int>(k) + 1, checked[order[k]].SubSort});
    }
    std::vector<ProblemModel::Entry> entries;
    entries.reserve(problems.size());
    for (const checks::Problem& problem : problems) {
        const auto found = places.find(problem.aid);
        if (found == places.end()) continue;
        entries.push_back({problem, found->second.first, found->second.second});
    }
    model_->setEntries(std::move(entries));
    CountLabel->setText(QStringLiteral("%1 个问题").arg(problems.size()));
}

void TChecksPanel::ProfileBoxChange() {
    const checks::Profile* profile = checks::FindProfile(ProfileBox->currentText().toStdString());
    if (!profile) return;
    checks::CheckSettings settings = context_.watcher->settings();
    settings.profile = *profile;
    context_.watcher->setSettings(settings);
}

void TChecksPanel::FixButtonClick() {
    const std::size_t changed =
        checks::ApplyTimingFix(*context_.sub, context_.history, context_.watcher->settings());
    if (context_.tell)
        context_.tell(changed ? QStringLiteral("已修复 %1 条字幕的时间").arg(changed)
                              : QStringLiteral("没有可以修复的时间问题"));
}

void TChecksPanel::ProblemListDblClick(int index) {
    if (index < 0 || index >= model_->rowCount()) return;
    const ProblemModel::Entry& entry = model_->entry(index);
    const double start = entry.start;
    if (!context_.sub->locate("aid", entry.problem.aid)) return;
    if (context_.seek) context_.seek(start);
}

}  // namespace tirelle::app
