#define SQLITE_ENABLE_SESSION 1
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include <sqlite3.h>

#include "store/connection.h"
#include "store/history.h"
#include "store/historydetail.h"

namespace tirelle::store {

using namespace historydetail;

UndoStep::UndoStep(History& history, std::string label, Record record)
    : label_(std::move(label)), record_(record) {
    sqlite3* db = history.transactionHandle();
    if (!db || history.recording()) return;  // no store, or joined to the running step
    history.runCached(history.beginStep_, "savepoint undo_step");
    history_ = &history;
    open_ = true;
    records_ = history.isOpen();
    history.recording_ = this;
    if (!records_) return;
    try {
        if (record_ == Record::Given) {
        } else if (record_ == Record::Changes) {
            if (sqlite3session_create(db, "main", &session_) != SQLITE_OK) Fail(db);
            if (sqlite3session_attach(session_, "Sub") != SQLITE_OK) Fail(db);
        } else {
            HistoryWrites writes(*history.connection_, db);
            history.copyTable(firstRow_, lastRow_, true);
            bytes_ = history.accumulator_.bytes;
            recordDigest_ = history.accumulator_.digest;
        }
        changesAtStart_ = sqlite3_total_changes64(db);
    } catch (...) {
        end(false);
        throw;
    }
}

UndoStep::~UndoStep() {
    if (open_) end(false);
}

void UndoStep::commit() {
    finish(nullptr, 0);
}

void UndoStep::commit(const std::string& changes, std::optional<std::uint64_t> digest) {
    finish(&changes, digest.value_or(0));
}

void UndoStep::finish(const std::string* given, std::uint64_t digest) {
    if (!open_) return;
    sqlite3* db = history_->transactionHandle();
    if (!db || sqlite3_get_autocommit(db)) {
        end(false);  // the engine ended the transaction: nothing is left to record
        return;
    }
    try {
        if (!records_) {
        } else if (record_ == Record::Given) {
            if (given && !given->empty()) {
                HistoryWrites writes(*history_->connection_, db);
                history_->append(label_, Record::Changes, *given, 0, -1, 0,
                                 static_cast<std::int64_t>(given->size()), digest);
            }
        } else if (record_ == Record::Changes) {
            int size = 0;
            void* data = nullptr;
            if (sqlite3session_changeset(session_, &size, &data) != SQLITE_OK) Fail(db);
            const std::string changes(static_cast<const char*>(data), static_cast<std::size_t>(size));
            sqlite3_free(data);
            HistoryWrites writes(*history_->connection_, db);
            if (size > 0) history_->append(label_, record_, changes, 0, -1, 0, size, 0);
        } else {
            HistoryWrites writes(*history_->connection_, db);
            history_->append(label_, record_, std::string(), firstRow_, lastRow_,
                             history_->tableDigest(), bytes_, recordDigest_);
        }
        history_->runCached(history_->endStep_, "release undo_step");
    } catch (...) {
        end(false);
        throw;
    }
    end(true);
    if (records_) history_->notify();
}

void UndoStep::commitAfterFailure() noexcept {
    if (!open_) return;
    sqlite3* db = history_->transactionHandle();
    // A given record is only whole with the change whole: a part of it is taken back.
    if (!db || sqlite3_total_changes64(db) == changesAtStart_ || record_ == Record::Given) {
        end(false);
        return;
    }
    try {
        commit();
    } catch (...) {
        // commit() has already ended the step; the change's own failure is what the user sees.
    }
}

void UndoStep::end(bool keep) noexcept {
    if (session_) {
        sqlite3session_delete(session_);
        session_ = nullptr;
    }
    if (!open_) return;
    open_ = false;
    history_->recording_ = nullptr;
    if (keep) return;
    if (sqlite3* db = history_->transactionHandle()) {
        Abandon(db, "undo_step");
        if (history_->connection_) history_->connection_->noteRollback();
        try {
            if (records_) history_->readState();  // counts changed by a step that did not make it
        } catch (...) {
        }
    }
}

}  // namespace tirelle::store
