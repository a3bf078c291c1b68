#pragma once
// A change of many rows at once (the open's import, the merge, the tools' walks): one
// transaction, with the bound on the longest duration recomputed once from every row before
// the commit instead of raised by a trigger on every row.

#include <exception>

#include "store/connection.h"
#include "store/dataset.h"
#include "store/transaction.h"

namespace tirelle::store {

// Runs work() like RunInTransaction: when it fails, what it did before the failure is kept
// (committed, with the bound put right first) and the error goes on; when nothing of it can be
// kept, the transaction is rolled back and the dataset read again.
template <class Work>
void RunBulkChange(Connection& connection, Dataset& dataset, Work&& work) {
    std::exception_ptr failure;
    bool reread = false;
    {
        Transaction transaction(connection, dataset.name());
        connection.suspendSpanTriggers(dataset.name());
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
            bool kept = false;
            try {
                if (transaction.open()) {
                    connection.resumeSpanTriggers(dataset.name());
                    kept = transaction.commitWhatWasDone();
                }
            } catch (...) {
            }
            reread = !kept;
        }
        if (!failure) {
            try {
                connection.resumeSpanTriggers(dataset.name());
                transaction.commit();
            } catch (...) {
                failure = std::current_exception();
                reread = true;
            }
        }
    }  // rolled back here unless committed: the triggers and the bound are as they were
    if (reread) RereadDataset(dataset);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tirelle::store
