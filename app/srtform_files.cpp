// Opening an SRT file into the store and saving the store as an SRT file: the window asks its
// questions and dialogs, the file steps do the work.

#include "app/srtform.h"
#include "app/ui/textcodec.h"

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
    // The whole replacement is one step of the history; when a block fails, what was posted
    // before it stays and can be undone as well.
    files_.open({ui::localPath(OpenDialog2.fileName), std::nullopt}, MemoF,
                [this](const srt::ReadEncoding& encoding) {
                    ShowReadEncoding(encoding, OpenDialog2.fileName);
                });
}

void TSrtForm::N9Click() {
    postPendingEdit(Sub);
    if (Sub.isEmpty()) {
        ui::dialogs().notice(this, QStringLiteral("没找到可保存的文本~"));
        return;
    }
    if (!ui::dialogs().runFileDialog(this, SaveDialog1)) return;
    StopCapture();
    const std::filesystem::path path = ui::localPath(SaveDialog1.fileName);
    files_.save(path, MemoF);
    SaveConvertedCopy(path);  // when 简繁转换 asks for one
}

}  // namespace tirelle::app
