// Opening an SRT file into the store and saving the store as an SRT file: the window asks its
// questions and dialogs, the file steps do the work.

#include "app/srtform.h"
#include "app/statusline.h"
#include "app/ui/textcodec.h"
#include "tools/reports.h"

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
    std::optional<srt::ReadEncoding> read;
    files_.open({ui::localPath(OpenDialog2.fileName), std::nullopt}, MemoF,
                [&](const srt::ReadEncoding& encoding) {
                    read = encoding;
                    ShowReadEncoding(encoding, OpenDialog2.fileName);
                });
    // The lines matter only during the command; held on, a long file's lines would cost more
    // than its rows in the store.
    srt::LineList().swap(MemoF);
    // A converted file keeps the note on its encoding, told again after the step's own.
    if (read && read->converted)
        ShowReadEncoding(*read, OpenDialog2.fileName);
    else
        status_->report(tools::OpenedReport(Sub.recordCount(), shownName(OpenDialog2.fileName)));
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
    status_->report(tools::SavedReport(Sub.recordCount(), shownName(SaveDialog1.fileName)));
}

}  // namespace tirelle::app
