#include "app/toolform.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/ui/guard.h"
#include "app/ui/textcodec.h"
#include "base/timecode.h"
#include "store/dataset.h"
#include "store/history.h"
#include "tools/operations.h"
#include "tools/srtfiles.h"

namespace tirelle::app {

TToolForm* ToolForm = nullptr;

TToolForm::TToolForm(ToolContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setObjectName(QStringLiteral("ToolForm"));
    setModal(true);

    SaveDialog1.kind = ui::FileDialog::Kind::Save;
    SaveDialog1.name = QStringLiteral("SaveDialog1");
    SaveDialog1.filters = {QStringLiteral("srt文件 (*.srt)")};
    SaveDialog1.defaultSuffix = QStringLiteral("srt");
    OpenDialog2.kind = ui::FileDialog::Kind::Open;
    OpenDialog2.name = QStringLiteral("OpenDialog2");
    OpenDialog2.filters = {QStringLiteral("Srt文件  (*.srt)"), QStringLiteral("所有文件 (*)")};

    buildPages();
    connectHandlers();
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

void TToolForm::finish() {
    ui::dialogs().notice(this, QStringLiteral("ok"));
    close();
}

template <class Operation>
bool TToolForm::asStep(const char* label, Operation operation) {
    if (!context_.history) return operation();
    bool changed = false;
    store::RunAsStep(*context_.history, label, [&] { return changed = operation(); });
    return changed;
}

void TToolForm::BitBtn1Click() {
    double seconds = 0;
    if (!ReadNumber(ui::fromQString(Edit1->text()), seconds)) seconds = 0;
    if (seconds == 0 || context_.sub->isEmpty()) return;  // nothing to do, nothing to record
    if (asStep("时间平移", [&] { return tools::ShiftAll(*context_.sub, seconds); })) finish();
}

void TToolForm::TabSheet2Show() {
    const auto texts = tools::FirstAndLastStart(*context_.sub);
    if (!texts) return;
    Label3->setText(QStringLiteral("第一句时间") + ui::toQString(texts->first));
    Edit2->setText(ui::toQString(texts->first));
    Label4->setText(QStringLiteral("最后一句时间") + ui::toQString(texts->last));
    Edit3->setText(ui::toQString(texts->last));
}

void TToolForm::BitBtn2Click() {
    if (context_.sub->isEmpty()) return;
    const double newFirst = ui::boxSeconds(Edit2);
    const double newLast = ui::boxSeconds(Edit3);
    if (asStep("时间缩放", [&] { return tools::ScaleAll(*context_.sub, newFirst, newLast); }))
        finish();
}

void TToolForm::BitBtn6Click() {
    if (context_.sub->isEmpty()) return;
    const std::string prefix = ui::fromQString(Edit7->text());
    const std::string suffix = ui::fromQString(Edit8->text());
    if (asStep("批量设置字体", [&] { return tools::WrapAll(*context_.sub, prefix, suffix); }))
        finish();
}

void TToolForm::BitBtn3Click() {
    if (context_.sub->isEmpty()) return;
    if (!ui::dialogs().runFileDialog(this, SaveDialog1)) return;
    const srt::LineList lines = tools::SplitAfter(*context_.sub, ui::boxSeconds(Edit4));
    tools::WriteSubtitleLines(ui::localPath(SaveDialog1.fileName), lines);
    finish();
}

void TToolForm::BitBtn5Click() {
    if (ui::dialogs().runFileDialog(this, OpenDialog2)) Edit6->setText(OpenDialog2.fileName);
}

void TToolForm::BitBtn4Click() {
    if (Edit6->text().isEmpty() || context_.sub->isEmpty()) return;
    const double offset = ui::boxSeconds(Edit5);
    srt::ReadEncoding encoding;
    MemoF = tools::LoadSubtitleLines(ui::localPath(Edit6->text()), ui::codePage(), &encoding);
    if (context_.showReadEncoding) context_.showReadEncoding(encoding, Edit6->text());
    if (asStep("合并字幕", [&] { return tools::MergeBlocks(*context_.sub, MemoF, offset); }))
        finish();
}

}  // namespace tirelle::app
