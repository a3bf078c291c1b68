#pragma once
// A store in a fresh temporary folder as the program opens it: the connection, its undo history
// and the working dataset recording into it.

#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"

namespace tirelle::testing {

struct StoreWithHistory {
    StoreWithHistory() {
        connection.open(folder.path());
        history.open(connection);
        sub.setConnection(&connection);
        sub.setCommandText(store::kSelectAllSql);
        sub.setHistory(&history);
        sub.open();
    }

    TempFolder folder;
    store::Connection connection;
    store::History history;
    store::Dataset sub;
};

}  // namespace tirelle::testing
