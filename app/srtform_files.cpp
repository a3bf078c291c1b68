// Opening an SRT file into the store and saving the store as an SRT file.

#include <QFile>

#include "app/srtform.h"
#include "app/ui/textcodec.h"
#include "store/statements.h"

namespace tirelle::app {

namespace {

std::filesystem::path localPath(const QString& fileName) {
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

void postPendingEdit(store::Dataset& dataset) {
    if (dataset.state() == store::DatasetState::Edit ||
        dataset.state() == store::DatasetState::Insert)
        dataset.post();
}

}  // namespace

void TSrtForm::N6Click() {
    postPendingEdit(Sub);
    if (!Sub.isEmpty() && Sub.recordCount() > 0 &&
        ui::dialogs().question(this, QStringLiteral("是否另存现有字幕?")))
        N9Click();  // saved or cancelled, the open goes on

    if (!ui::dialogs().runFileDialog(this, OpenDialog2)) return;
    MemoF = srt::LoadTextLines(localPath(OpenDialog2.fileName), ui::codePage());

    // The whole replacement is one step of the history and one transaction, since committing
    // each post costs far more than the insert itself; when a block fails, what was posted
    // before it is committed (and can be undone) and stays in the store, then the error ends
    // the command.
    store::UndoStep step(UndoHistory, "打开字幕文件", store::Record::WholeTable);
    try {
        ADOCmd.setCommandText(store::kDeleteAllSql);
        ADOCmd.execute();
        Sub.requery();

        srt::ReadSrtBlocks(MemoF, [this](const std::string& start, const std::string& end,
                                         const std::string& text) {
            Sub.append();
            Sub.fieldByName("STime").setAsString(start);
            Sub.fieldByName("ETime").setAsString(end);
            Sub.fieldByName("SubText").setAsString(text);
            Sub.post();
        });
    } catch (...) {
        // Unless the engine has already rolled the transaction back, what was posted stays.
        step.commit();
        throw;
    }
    step.commit();
    Sub.requery();
}

void TSrtForm::N9Click() {
    postPendingEdit(Sub);
    if (Sub.isEmpty()) {
        ui::dialogs().notice(this, QStringLiteral("没找到可保存的文本~"));
        return;
    }
    if (!ui::dialogs().runFileDialog(this, SaveDialog1)) return;
    StopCapture();
    Sub.requery();

    MemoF.clear();
    {
        store::SuspendedUpdates walk(Sub);
        Sub.first();
        int number = 1;
        while (!Sub.eof()) {
            srt::AppendSrtBlock(MemoF, number, Sub.fieldByName("STime").asString(),
                                Sub.fieldByName("ETime").asString(),
                                Sub.fieldByName("SubText").asString());
            Sub.next();
            ++number;
        }
    }
    srt::WriteTextLines(localPath(SaveDialog1.fileName), MemoF);
}

}  // namespace tirelle::app
