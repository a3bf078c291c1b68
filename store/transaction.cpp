#include "store/transaction.h"

#include <sqlite3.h>

#include "store/connection.h"
#include "store/errors.h"

namespace tirelle::store {

Transaction::Transaction(Connection& connection, std::string errorPrefix)
    : connection_(connection), errorPrefix_(std::move(errorPrefix)) {
    nested_ = connection_.inTransaction();
    connection_.execute(nested_ ? "savepoint work" : "begin", errorPrefix_);
}

Transaction::~Transaction() {
    if (done_ || !open()) return;
    // Nothing to report from a destructor: a rollback that fails leaves the transaction to the
    // engine, which drops it when the connection closes.
    sqlite3_exec(connection_.handle(), nested_ ? "rollback to work; release work" : "rollback",
                 nullptr, nullptr, nullptr);
    if (nested_) connection_.noteRollback();
}

bool Transaction::open() const {
    return connection_.inTransaction();
}

void Transaction::commit() {
    if (done_) return;
    connection_.execute(nested_ ? "release work" : "commit", errorPrefix_);
    done_ = true;
}

bool Transaction::commitWhatWasDone() noexcept {
    if (done_) return true;
    if (!open()) return false;
    if (sqlite3_exec(connection_.handle(), nested_ ? "release work" : "commit", nullptr, nullptr,
                     nullptr) != SQLITE_OK)
        return false;
    done_ = true;
    return true;
}

}  // namespace tirelle::store
