// The main window's side of the subtitle store: opening it and the derivation before each post.

#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "store/statements.h"

namespace tirelle::app {

void TSrtForm::openStore() {
    ADOConn.close();
    DBGridEh1->setDataset(&Sub);  // the list follows the dataset (empty while it is closed)
    ADOConn.open(store::StoreFolder(folder_));
    Sub.close();
    Sub.setCommandText(store::kSelectAllSql);
    Sub.open();
}

void TSrtForm::SubBeforePost(store::Dataset& dataset) {
    store::DeriveSortKeys(dataset);
}

}  // namespace tirelle::app
