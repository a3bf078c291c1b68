#pragma once
// Changes of the dataset's rows in one transaction: a few rows (RunInTransaction), or many rows
// at once (the open's import, the merge, the tools' walks: RunBulkChange, with the bound on the
// longest duration recomputed once from every row before the commit instead of raised by a
// trigger on every row).

#include <exception>

#include "store/connection.h"
#include "store/dataset.h"
#include "store/transaction.h"

namespace tirelle::store {

// Drops a pending change and reads every row again; when even that fails, the dataset is
// closed rather than left showing rows that may not be stored.
void RereadDataset(Dataset& dataset) noexcept;

// Runs work() inside one transaction. When the work fails, what it did before the failure is
// committed (see commitWhatWasDone) and the error goes on. When nothing of it could be kept,
// the dataset is read again (RereadDataset), so it never shows rows that are not stored.
template <class Work>
void RunInTransaction(Connection& connection, Dataset& dataset, Work&& work) {
    Transaction transaction(connection, dataset.name());
    try {
        work();
    } catch (...) {
        if (!transaction.commitWhatWasDone()) RereadDataset(dataset);
        throw;
    }
    try {
        transaction.commit();
    } catch (...) {
        RereadDataset(dataset);
        throw;
    }
}

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
