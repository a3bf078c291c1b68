#include "store/dataset.h"

#include <sqlite3.h>

#include <exception>
#include <limits>

#include "store/datasetrows.h"
#include "store/errors.h"
#include "store/fieldvalue.h"
#include "store/history.h"
#include "store/transaction.h"

namespace tirelle::store {

namespace {

// Queued appends go to the table this many to a statement: past about a hundred rows the
// statement's own cost no longer shows, and its parameters stay far below the engine's limit.
// A remainder smaller than this is written row by row.
constexpr int kBatchRows = 128;

std::string BatchInsertSql() {
    std::string sql = "insert into Sub (aid, STime, ETime, SubText, SubSort, SubSortEnd) values ";
    for (int row = 0; row < kBatchRows; ++row) sql += row == 0 ? "(?,?,?,?,?,?)" : ",(?,?,?,?,?,?)";
    return sql;
}

// The aid the engine gives the next row: one above the greatest aid held, and with
// AUTOINCREMENT above the greatest it ever gave (its sequence). A store made elsewhere may have
// no sequence table at all.
constexpr const char* kNextAidSql =
    "select max(ifnull((select max(aid) from Sub), 0), "
    "ifnull((select seq from sqlite_sequence where name = 'Sub' collate nocase), 0)) + 1";
constexpr const char* kNextAidWithoutSequenceSql = "select ifnull(max(aid), 0) + 1 from Sub";


}  // namespace

using namespace fieldvalue;
using namespace datasetrows;

BatchedAppends::~BatchedAppends() noexcept(false) {
    if (--dataset_.batchDepth_ > 0) return;
    if (std::uncaught_exceptions() == unwinding_) {
        dataset_.flushAppends();  // finish() was not called: its error is the caller's to see
        return;
    }
    try {
        dataset_.flushAppends();
    } catch (...) {
        // Another failure unwinds: that one is what the caller reports.
    }
}

bool Dataset::queuesPost() const {
    // A row that is an undo step of its own is written at its post, where the step records it.
    return batchDepth_ > 0 && state_ == DatasetState::Insert && current_ == rowCount() - 1 &&
           (queued_ == 0 || queuedBegin_ + queued_ == current_) &&
           (!history_ || history_->recording());
}

void Dataset::queuePost() {
    const auto at = static_cast<std::size_t>(current_);
    rows_[at] = std::move(pending_);
    rows_[at].nulls |= Bit(Column::Aid);  // given when written
    if (queued_ == 0) queuedBegin_ = current_;
    ++queued_;
    // The row's aid, given later, is above every aid before it: only its key can break the order.
    if (ordered_ && at > 0 && CompareKeys(rows_[at], rows_[at - 1]) < 0) ordered_ = false;
    setBrowsing();
    eof_ = bof_ = false;
    notifyRow(current_);
    notifyState();
    if (queued_ >= kBatchRows * 8) flushAppends();  // memory for the statements stays small
}

void Dataset::flushAppends() {
    if (queued_ == 0) return;
    ++contentVersion_;  // the rows get their aids
    const int begin = queuedBegin_;
    const int count = queued_;
    queued_ = 0;
    int stored = 0;
    try {
        writeQueued(begin, count, stored);
    } catch (...) {
        if (stored < count) restoreRefusedAppend(begin + stored);
        throw;
    }
}

void Dataset::writeQueued(int begin, int count, int& done) {
    sqlite3* db = connection_ && connection_->isOpen() ? connection_->handle() : nullptr;
    if (!db) throw datasetError(name_, kConnectionClosedMessage);
    if (!batchInsertStatement_.valid() || batchInsertStatement_.database() != db) {
        batchInsertStatement_ = Statement(db, BatchInsertSql(), name_);
        try {
            nextAidStatement_ = Statement(db, kNextAidSql, name_);
        } catch (const DatabaseError&) {
            nextAidStatement_ = Statement(db, kNextAidWithoutSequenceSql, name_);
        }
    }
    Statement& insert = batchInsertStatement_;
    while (count - done >= kBatchRows) {
        nextAidStatement_.step();
        const std::int64_t first = nextAidStatement_.columnInt64(0);
        nextAidStatement_.reset();
        // Near the largest aid the engine picks its own way (or fails): row by row it decides.
        if (first <= 0 || first > std::numeric_limits<std::int64_t>::max() - kBatchRows) break;
        const bool wasStored = stampBeforeWrite();
        bool written = false;
        {
            // A transaction of its own (a savepoint inside the caller's) around the statement:
            // a row it refuses, or one that a trigger of the table skips, takes the whole
            // statement back, and the rows are then written one by one to find the one that
            // fails, as their own posts would have.
            Transaction batch(*connection_, name_);
            std::exception_ptr refused;
            try {
                for (int k = 0; k < kBatchRows; ++k) {
                    insert.bindInt64(6 * k + 1, first + k);
                    BindRow(insert, rows_[static_cast<std::size_t>(begin + done + k)], 6 * k + 2);
                }
                while (insert.step()) {
                }
                written = sqlite3_changes(db) == kBatchRows;
            } catch (const DatabaseError&) {
                refused = std::current_exception();
            }
            insert.reset();
            if (!batch.open()) {
                // The engine ended the whole transaction (a RAISE(ROLLBACK)): nothing is left to
                // keep or to write on its own.
                stampAfterWrite(false);
                if (refused) std::rethrow_exception(refused);
                throw datasetError(name_, "the transaction ended while rows were written");
            }
            if (written) batch.commit();  // when that fails, the destructor takes the rows back
        }
        if (!written) break;
        stampAfterWrite(wasStored);
        for (int k = 0; k < kBatchRows; ++k) {
            SubRecord& row = rows_[static_cast<std::size_t>(begin + done + k)];
            row.aid = first + k;
            row.nulls &= ~Bit(Column::Aid);
        }
        done += kBatchRows;
    }
    if (done == count) return;
    Statement& single = cached(insertStatement_, kInsertSql);
    for (; done < count; ++done) {
        SubRecord& row = rows_[static_cast<std::size_t>(begin + done)];
        const bool wasStored = stampBeforeWrite();
        if (single.run([&](Statement& s) { BindRow(s, row, 1); }) != 1)
            throw datasetError(name_, kSkippedInsertMessage);
        stampAfterWrite(wasStored);
        row.aid = sqlite3_last_insert_rowid(db);
        row.nulls &= ~Bit(Column::Aid);
    }
}

void Dataset::restoreRefusedAppend(int row) {
    pending_ = std::move(rows_[static_cast<std::size_t>(row)]);
    rows_.resize(static_cast<std::size_t>(row) + 1);
    rows_[static_cast<std::size_t>(row)] = NewRecord();
    rowBeforeInsert_ = row - 1;
    eofBeforeInsert_ = bofBeforeInsert_ = row == 0;
    current_ = row;
    eof_ = bof_ = false;
    state_ = DatasetState::Insert;
    modified_ = true;
    notifyState();
    notifyChanged();
}

}  // namespace tirelle::store
