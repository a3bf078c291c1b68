// Opening an SRT file into the store and saving the store as an SRT file: the window asks its
// questions and dialogs, the tools library does the work.

#include <QFile>
#include <QFileInfo>

#include "app/srtform.h"
#include "app/ui/textcodec.h"
#include "tools/srtfiles.h"

namespace tirelle::app {

namespace {

void postPendingEdit(store::Dataset& dataset) {
    if (dataset.state() == store::DatasetState::Edit ||
        dataset.state() == store::DatasetState::Insert)
        dataset.post();
}

}  // namespace

void TSrtForm::N6Click() {
    OpenSubtitles(std::nullopt);
}

void TSrtForm::OpenSubtitleFile(const QString& fileName) {
    OpenSubtitles(fileName);
}

void TSrtForm::OpenSubtitles(const std::optional<QString>& named) {
    postPendingEdit(Sub);
    if (!Sub.isEmpty() && Sub.recordCount() > 0 &&
        ui::dialogs().question(this, QStringLiteral("是否另存现有字幕?")))
        N9Click();  // saved or cancelled, the open goes on

    if (named)
        OpenDialog2.fileName = *named;  // and offered by the dialog next time
    else if (!ui::dialogs().runFileDialog(this, OpenDialog2))
        return;
    srt::ReadEncoding encoding;
    MemoF = tools::LoadSubtitleLines(ui::localPath(OpenDialog2.fileName), ui::codePage(), &encoding);
    ShowReadEncoding(encoding, OpenDialog2.fileName);
    // The whole replacement is one step of the history; when a block fails, what was posted
    // before it stays and can be undone as well.
    store::RunAsStep(UndoHistory, "打开字幕文件", [this] {
        tools::ImportSrt(Sub, MemoF);
        return true;
    });
}

void TSrtForm::ShowReadEncoding(const srt::ReadEncoding& encoding, const QString& fileName) {
    if (!encoding.converted) {
        ShowStatus(QString());
        return;
    }
    QString text = QStringLiteral("已按 %1 编码读取：%2")
                       .arg(QString::fromStdString(srt::DisplayName(encoding.name)),
                            QFileInfo(fileName).fileName());
    if (encoding.replaced > 0)
        text += QStringLiteral("（%1 处无法转换，已替换）").arg(encoding.replaced);
    ShowStatus(text);
}

void TSrtForm::N9Click() {
    postPendingEdit(Sub);
    if (Sub.isEmpty()) {
        ui::dialogs().notice(this, QStringLiteral("没找到可保存的文本~"));
        return;
    }
    if (!ui::dialogs().runFileDialog(this, SaveDialog1)) return;
    StopCapture();
    tools::ExportSrt(Sub, MemoF, ui::localPath(SaveDialog1.fileName));
}

}  // namespace tirelle::app
