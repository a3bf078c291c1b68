#include "app/toolform.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/statusline.h"
#include "app/ui/guard.h"
#include "app/ui/textcodec.h"
#include "base/timecode.h"
#include "store/dataset.h"
#include "tools/filesteps.h"
#include "tools/operations.h"
#include "tools/reports.h"

namespace tirelle::app {

TToolForm* ToolForm = nullptr;

TToolForm::TToolForm(ToolContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setObjectName(QStringLiteral("ToolForm"));
    setModal(true);

    SaveDialog1 = ui::srtSaveDialog();
    OpenDialog2 = ui::srtOpenDialog();
    OpenDialog3 = ui::srtOpenDialog();
    OpenDialog3.name = QStringLiteral("OpenDialog3");

    buildPages();
    connectHandlers();
    connectSync();
}

void TToolForm::connectHandlers() {
    const auto on = [this](QPushButton* button, void (TToolForm::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { ui::guarded([&] { (this->*handler)(); }); });
    };
    on(BitBtn1, &TToolForm::BitBtn1Click);
    on(BitBtn2, &TToolForm::BitBtn2Click);
    on(BitBtn3, &TToolForm::BitBtn3Click);
    on(BitBtn4, &TToolForm::BitBtn4Click);
    on(BitBtn5, &TToolForm::BitBtn5Click);
    on(BitBtn6, &TToolForm::BitBtn6Click);
    // The scale page fills its boxes each time it becomes visible: by a tab switch here, and
    // when the window opens on it (showEvent).
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        if (isVisible() && PageControl1->widget(index) == TabSheet2)
            ui::guarded([this] { TabSheet2Show(); });
    });
}

void TToolForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (PageControl1->currentWidget() == TabSheet2) ui::guarded([this] { TabSheet2Show(); });
}

void TToolForm::showPage(int page) {
    if (context_.stopCapture) context_.stopCapture();
    PageControl1->setCurrentIndex(page);
    exec();
}

void TToolForm::report(const std::string& utf8) {
    if (context_.status) context_.status->report(utf8);
}

void TToolForm::finish() {
    ui::dialogs().notice(this, QStringLiteral("ok"));
    close();
}

store::Dataset& TToolForm::sub() const {
    return context_.steps->sub();
}

void TToolForm::BitBtn1Click() {
    double seconds = 0;
    if (!ReadNumber(ui::fromQString(Edit1->text()), seconds)) seconds = 0;
    // 0 or an empty store: nothing, no message box.
    if (!context_.steps->shift(seconds)) return report(tools::UnchangedReport(tools::kShiftStep));
    report(tools::ShiftReport(seconds, sub().recordCount()));
    finish();
}

void TToolForm::TabSheet2Show() {
    const auto texts = tools::FirstAndLastStart(sub());
    if (!texts) return;
    Label3->setText(QStringLiteral("第一句时间") + ui::toQString(texts->first));
    Edit2->setText(ui::toQString(texts->first));
    Label4->setText(QStringLiteral("最后一句时间") + ui::toQString(texts->last));
    Edit3->setText(ui::toQString(texts->last));
}

void TToolForm::BitBtn2Click() {
    if (!context_.steps->scale(ui::boxSeconds(Edit2), ui::boxSeconds(Edit3)))
        return report(tools::UnchangedReport(tools::kScaleStep));
    report(tools::ScaleReport(SecondsToTimeCode(ui::boxSeconds(Edit2)),
                              SecondsToTimeCode(ui::boxSeconds(Edit3)), sub().recordCount()));
    finish();
}

void TToolForm::BitBtn6Click() {
    const std::string prefix = ui::fromQString(Edit7->text());
    const std::string suffix = ui::fromQString(Edit8->text());
    if (!context_.steps->wrap(prefix, suffix))
        return report(tools::UnchangedReport(tools::kWrapStep));
    report(tools::WrapReport(sub().recordCount()));
    finish();
}

void TToolForm::BitBtn3Click() {
    if (sub().isEmpty()) return;
    if (!ui::dialogs().runFileDialog(this, SaveDialog1)) return;
    context_.steps->split(ui::boxSeconds(Edit4), ui::localPath(SaveDialog1.fileName));
    report(tools::SplitReport(SecondsToTimeCode(ui::boxSeconds(Edit4)),
                              shownName(SaveDialog1.fileName)));
    finish();
}

void TToolForm::BitBtn5Click() {
    if (ui::dialogs().runFileDialog(this, OpenDialog2)) Edit6->setText(OpenDialog2.fileName);
}

void TToolForm::BitBtn4Click() {
    if (Edit6->text().isEmpty()) return;
    const QString file = Edit6->text();
    std::optional<srt::ReadEncoding> read;
    const auto tell = [&](const srt::ReadEncoding& encoding) {
        read = encoding;
        if (context_.status) context_.status->showRead(encoding, file);
    };
    const int before = sub().recordCount();
    const bool merged = context_.steps->merge({ui::localPath(file), std::nullopt},
                                              ui::boxSeconds(Edit5), MemoF, tell);
    srt::LineList().swap(MemoF);  // the lines matter only during the command
    if (!merged) return report(tools::UnchangedReport(tools::kMergeStep));
    // A converted file keeps the note on its encoding, told again after the step's own.
    if (read && read->converted && context_.status)
        context_.status->showRead(*read, file);
    else
        report(tools::MergedReport(sub().recordCount() - before, shownName(file)));
    finish();
}

}  // namespace tirelle::app
