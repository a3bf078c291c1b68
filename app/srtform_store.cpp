// The main window's side of the subtitle store: opening it and the derivation before each post.

#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "store/statements.h"

namespace tirelle::app {

void TSrtForm::openStore() {
    UndoHistory.close();
    ADOConn.close();
    DBGridEh1->setDataset(&Sub);  // the list follows the dataset (empty while it is closed)
    ADOConn.open(store::StoreFolder(folder_));
    Sub.close();
    Sub.setCommandText(store::kSelectAllSql);
    Sub.open();
    // Without its history the store still works; the failure is reported all the same.
    Sub.setHistory(&UndoHistory);
    UndoHistory.open(ADOConn);
    refreshEditMenu();
}

void TSrtForm::SubBeforePost(store::Dataset& dataset) {
    store::DeriveSortKeys(dataset);
}

}  // namespace tirelle::app
