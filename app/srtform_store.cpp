// The main window's side of the subtitle store: opening it and the derivation before each post.

#include <QLabel>
#include <QStatusBar>

#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "store/statements.h"

namespace tirelle::app {

void TSrtForm::openStore() {
    UndoHistory.close();
    ADOConn.close();
    DBGridEh1->setDataset(&Sub);  // the list follows the dataset (empty while it is closed)
    const std::filesystem::path file = store::StoreFolder(folder_) / store::kStoreFileName;
    // Until the store is open, the window says it has none; a failure below leaves it so.
    showStoreState(QStringLiteral("字幕库未能打开：") + QString::fromStdString(file.string()), false);
    ADOConn.open(file.parent_path());
    showStoreState(ADOConn.readOnly()
                       ? QStringLiteral("字幕库只读：") + QString::fromStdString(file.string())
                       : QString(),
                   ADOConn.readOnly());
    Sub.close();
    Sub.setCommandText(store::kSelectAllSql);
    Sub.open();
    // Without its history the store still works; the failure is reported all the same.
    Sub.setHistory(&UndoHistory);
    UndoHistory.open(ADOConn);
    refreshEditMenu();
}

void TSrtForm::showStoreState(const QString& text, bool readOnly) {
    if (!storeState_) {
        storeState_ = new QLabel(statusBar());
        storeState_->setObjectName(QStringLiteral("StoreState"));
        statusBar()->addPermanentWidget(storeState_);
    }
    storeState_->setText(text);
    storeState_->setVisible(!text.isEmpty());
    setWindowTitle(readOnly ? QStringLiteral("Tirelle 0.91（只读）") : QStringLiteral("Tirelle 0.91"));
}

void TSrtForm::SubBeforePost(store::Dataset& dataset) {
    store::DeriveSortKeys(dataset);
}

}  // namespace tirelle::app
