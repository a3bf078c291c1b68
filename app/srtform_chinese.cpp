// 简繁转换: its item last in the tools menu, its window, and the converted copy a save writes
// beside the file when that window says so.

#include <QAction>
#include <QFile>
#include <QMenu>

#include "app/chineseform.h"
#include "app/srtform.h"
#include "app/statusline.h"
#include "app/ui/textcodec.h"
#include "chinese/conversion.h"
#include "chinese/copy.h"

namespace tirelle::app {

void TSrtForm::createChineseForm() {
    chineseForm_ = new TChineseForm({&Sub, &UndoHistory, status_.get()}, this);
    QMenu* tools = findChild<QMenu*>(QStringLiteral("N10"));
    QAction* item = tools->addAction(QStringLiteral("简繁转换…"));
    item->setObjectName(QStringLiteral("ChineseItem"));
    on(item, &QAction::triggered, [this](bool) { ChineseItemClick(); });
}

void TSrtForm::ChineseItemClick() {
    StopCapture();
    chineseForm_->exec();
}

void TSrtForm::SaveConvertedCopy(const std::filesystem::path& saved) {
    const std::optional<std::string> name = chineseForm_->copyConversion();
    if (!name) return;
    chinese::Converter& converter = chinese::CachedConverter(*name);
    const std::filesystem::path copy = chinese::CopyPath(saved, converter.conversion().target);
    const std::size_t replaced = chinese::WriteConvertedCopy(MemoF, converter, ui::codePage(), copy);
    QString message = QStringLiteral("已同时另存为 ") + QFile::decodeName(copy.filename().string().c_str());
    if (replaced > 0)
        message += QStringLiteral("（%1 个字符无法用当前编码保存，已替换）").arg(replaced);
    ShowStatus(message);
}

}  // namespace tirelle::app
