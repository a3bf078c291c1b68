// Opening an SRT file into the store and saving the store as an SRT file.

#include <QFile>
#include <QFileInfo>

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
    srt::ReadEncoding encoding;
    MemoF = srt::LoadTextLines(localPath(OpenDialog2.fileName), ui::codePage(), &encoding);
    ShowReadEncoding(encoding, OpenDialog2.fileName);

    ADOCmd.setCommandText(store::kDeleteAllSql);
    ADOCmd.execute();
    Sub.requery();

    // One append and one post per block. The posts are grouped into one transaction, since
    // committing each one costs far more than the insert itself; when a block fails, what was
    // posted before it is committed and stays in the store, then the error ends the command.
    ADOConn.execute("begin", Sub.name());
    try {
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
        if (ADOConn.inTransaction()) ADOConn.execute("commit", Sub.name());
        throw;
    }
    ADOConn.execute("commit", Sub.name());
    Sub.requery();
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
