#define SQLITE_ENABLE_SESSION 1
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include "store/history.h"

#include <sqlite3.h>

#include <utility>

#include "store/connection.h"
#include "store/historydetail.h"

namespace tirelle::store {

using namespace historydetail;

namespace {

// One row per step. A Changes step keeps its changeset; a WholeTable step keeps the rowids of
// the table it swaps in (firstRow..lastRow of SubHistoryRows) and the digest of the table it
// expects to find (the one it left when done, the one before it when undone).
constexpr const char* kCreateStepsSql =
    "create table if not exists SubHistory (step INTEGER PRIMARY KEY, label TEXT NOT NULL, "
    "undone INTEGER NOT NULL DEFAULT 0, changes BLOB, firstRow INTEGER, lastRow INTEGER, "
    "digest INTEGER, bytes INTEGER NOT NULL DEFAULT 0, recordDigest INTEGER)";
// Stores made before the record's own digest was kept get the column; their steps keep NULL
// and are checked without it.
constexpr const char* kAddRecordDigestSql = "alter table SubHistory add column recordDigest INTEGER";
// Rows kept for WholeTable steps, in one rowid range per step. Untyped columns keep every
// value exactly as the table gave it.
constexpr const char* kCreateRowsSql =
    "create table if not exists SubHistoryRows (aid, STime, ETime, SubText, SubSort, SubSortEnd)";

// Whether a changeset reads to its end as changes of the six columns of Sub.
bool ChangesetReads(const std::string& changes) {
    if (changes.empty()) return false;
    sqlite3_changeset_iter* it = nullptr;
    if (sqlite3changeset_start(&it, static_cast<int>(changes.size()),
                               const_cast<char*>(changes.data())) != SQLITE_OK) {
        sqlite3changeset_finalize(it);
        return false;
    }
    int rc = SQLITE_ROW;
    bool fits = true;
    while (fits && (rc = sqlite3changeset_next(it)) == SQLITE_ROW) {
        const char* table = nullptr;
        int columns = 0, op = 0, indirect = 0;
        fits = sqlite3changeset_op(it, &table, &columns, &op, &indirect) == SQLITE_OK && table &&
               sqlite3_stricmp(table, "Sub") == 0 && columns == 6;
    }
    const bool done = fits && rc == SQLITE_DONE;
    return sqlite3changeset_finalize(it) == SQLITE_OK && done;
}

int AbortOnConflict(void*, int, sqlite3_changeset_iter*) {
    return SQLITE_CHANGESET_ABORT;
}

}  // namespace

HistoryDamaged historydetail::Damaged(bool undoing, const std::string& label) {
    return HistoryDamaged((undoing ? "无法撤销“" : "无法重做“") + label +
                          "”：历史记录已损坏，字幕保持不变");
}

[[noreturn]] void historydetail::Fail(sqlite3* db) {
    throw datasetError(kName, db ? sqlite3_errmsg(db) : kConnectionClosedMessage);
}

void historydetail::Run(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK) return;
    const std::string message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    throw datasetError(kName, message);
}

void historydetail::Abandon(sqlite3* db, const char* name) noexcept {
    if (sqlite3_get_autocommit(db)) return;
    const std::string back = std::string("rollback to ") + name;
    const std::string release = std::string("release ") + name;
    sqlite3_exec(db, back.c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, release.c_str(), nullptr, nullptr, nullptr);
}

std::int64_t historydetail::SingleInt(sqlite3* db, const std::string& sql) {
    Statement query(db, sql, kName);
    return query.step() ? query.columnInt64(0) : 0;
}

History::History() = default;

History::~History() {
    close();
}

sqlite3* History::db() const {
    return isOpen() ? handle_ : nullptr;
}

bool History::isOpen() const {
    return handle_ && connection_ && connection_->handle() == handle_;
}

sqlite3* History::transactionHandle() const {
    return connection_ ? connection_->handle() : nullptr;
}

void History::open(Connection& connection) {
    close();
    sqlite3* db = connection.handle();
    if (!db) throw datasetError(kName, kConnectionClosedMessage);
    connection_ = &connection;  // steps still give changes their transaction
    if (sqlite3_db_readonly(db, "main") == 1) return;  // nothing can be changed, nothing undone
    Run(db, kCreateStepsSql);
    if (SingleInt(db, "select count(*) from pragma_table_info('SubHistory') "
                      "where name = 'recordDigest'") == 0)
        Run(db, kAddRecordDigestSql);
    Run(db, kCreateRowsSql);
    if (sqlite3_create_function_v2(db, "HistoryRow", 6, SQLITE_UTF8 | SQLITE_DIRECTONLY,
                                   &accumulator_, HistoryRowFunction, nullptr, nullptr,
                                   nullptr) != SQLITE_OK)
        Fail(db);
    handle_ = db;
    readState();
}

void History::close() {
    // The function points at this object: it goes with it.
    if (sqlite3* db = this->db())
        sqlite3_create_function_v2(db, "HistoryRow", 6, SQLITE_UTF8, nullptr, nullptr, nullptr,
                                   nullptr, nullptr);
    connection_ = nullptr;
    handle_ = nullptr;
    for (Statement* statement :
         {&beginStep_, &endStep_, &insertStep_, &oldestStep_, &deleteStep_, &deleteRows_})
        *statement = Statement();
    undoLabel_.clear();
    redoLabel_.clear();
    steps_ = 0;
    bytes_ = 0;
    hasRedo_ = false;
}

void History::readState() {
    sqlite3* db = this->db();
    if (!db) return;
    Statement totals(db, "select count(*), ifnull(sum(bytes), 0), ifnull(max(undone), 0) "
                         "from SubHistory", kName);
    totals.step();
    steps_ = static_cast<int>(totals.columnInt64(0));
    bytes_ = totals.columnInt64(1);
    hasRedo_ = totals.columnInt64(2) != 0;
    Statement undo(db, "select label from SubHistory where undone = 0 order by step desc limit 1",
                   kName);
    undoLabel_ = undo.step() ? undo.columnBytes(0) : std::string();
    Statement redo(db, "select label from SubHistory where undone = 1 order by step limit 1",
                   kName);
    redoLabel_ = redo.step() ? redo.columnBytes(0) : std::string();
}

Statement& History::cached(Statement& statement, const char* sql) {
    sqlite3* db = transactionHandle();
    if (!statement.valid() || statement.database() != db) statement = Statement(db, sql, kName);
    return statement;
}

void History::runCached(Statement& statement, const char* sql) {
    cached(statement, sql).run();
}

void History::notify() {
    if (changed) changed();
}

void History::append(const std::string& label, Record record, const std::string& changes,
                     std::int64_t firstRow, std::int64_t lastRow, std::int64_t digest,
                     std::int64_t bytes, std::uint64_t recordDigest) {
    if (hasRedo_) dropRedoSteps();
    Statement& insert = cached(insertStep_,
                               "insert into SubHistory (label, changes, firstRow, lastRow, "
                               "digest, bytes, recordDigest) values (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    insert.bindText(1, label);
    if (record == Record::Changes) {
        insert.bindBlob(2, changes.data(), static_cast<int>(changes.size()));
        insert.bindNull(3);
        insert.bindNull(4);
        insert.bindNull(5);
    } else {
        insert.bindNull(2);
        insert.bindInt64(3, firstRow);
        insert.bindInt64(4, lastRow);
        insert.bindInt64(5, digest);
    }
    insert.bindInt64(6, bytes);
    // A changeset's digest is worked out here unless the caller gave it.
    insert.bindInt64(7, static_cast<std::int64_t>(record == Record::Changes && recordDigest == 0
                                                      ? BlobDigest(changes)
                                                      : recordDigest));
    try {
        insert.step();
        insert.reset();
    } catch (...) {
        insert.reset();
        throw;
    }
    ++steps_;
    bytes_ += bytes;
    undoLabel_ = label;
    redoLabel_.clear();
    hasRedo_ = false;
    trim();
}

void History::dropRedoSteps() {
    sqlite3* db = this->db();
    {
        Statement dropped(db, "select count(*), ifnull(sum(bytes), 0) from SubHistory where undone = 1",
                          kName);
        dropped.step();
        steps_ -= static_cast<int>(dropped.columnInt64(0));
        bytes_ -= dropped.columnInt64(1);
    }
    Run(db,
        "delete from SubHistoryRows where exists (select 1 from SubHistory h where h.undone = 1 "
        "and SubHistoryRows.rowid between h.firstRow and h.lastRow)");
    Run(db, "delete from SubHistory where undone = 1");
    hasRedo_ = false;
}

void History::trim() {
    while (steps_ > 1 && (steps_ > limits_.steps || bytes_ > limits_.bytes)) {
        Statement& oldest =
            cached(oldestStep_, "select step, firstRow, lastRow, bytes from SubHistory "
                                "order by step limit 1");
        if (!oldest.step()) {
            oldest.reset();
            break;
        }
        const std::int64_t step = oldest.columnInt64(0);
        const bool hasRows = !oldest.isNull(1);
        const std::int64_t firstRow = oldest.columnInt64(1);
        const std::int64_t lastRow = oldest.columnInt64(2);
        const std::int64_t bytes = oldest.columnInt64(3);
        oldest.reset();
        if (hasRows) {
            Statement& rows =
                cached(deleteRows_, "delete from SubHistoryRows where rowid between ?1 and ?2");
            rows.bindInt64(1, firstRow);
            rows.bindInt64(2, lastRow);
            runCached(rows, nullptr);
        }
        Statement& remove = cached(deleteStep_, "delete from SubHistory where step = ?1");
        remove.bindInt64(1, step);
        runCached(remove, nullptr);
        --steps_;
        bytes_ -= bytes;
    }
}

StepResult History::undo() {
    return swap(true);
}

StepResult History::redo() {
    return swap(false);
}

StepResult History::swap(bool undoing) {
    sqlite3* db = this->db();
    if (!db || recording()) return {};
    Run(db, "savepoint undo_history");
    StepResult result;
    StepRow row;
    try {
        // The step is read inside the transaction, so another program's step cannot come
        // between the reading and the swap.
        Statement find(db,
                       undoing ? "select step, label, changes, firstRow, lastRow, digest, "
                                 "recordDigest from SubHistory where undone = 0 "
                                 "order by step desc limit 1"
                               : "select step, label, changes, firstRow, lastRow, digest, "
                                 "recordDigest from SubHistory where undone = 1 "
                                 "order by step limit 1",
                       kName);
        if (find.step()) {
            row.step = find.columnInt64(0);
            row.label = find.columnBytes(1);
            row.hasChanges = !find.isNull(2);
            row.changes = find.columnBytes(2);
            row.hasRange = find.columnType(3) == SQLITE_INTEGER &&
                           find.columnType(4) == SQLITE_INTEGER;
            row.firstRow = find.columnInt64(3);
            row.lastRow = find.columnInt64(4);
            row.hasDigest = find.columnType(5) == SQLITE_INTEGER;
            row.digest = find.columnInt64(5);
            if (find.columnType(6) == SQLITE_INTEGER) row.recordDigest = find.columnInt64(6);
            if (!whole(row)) throw Damaged(undoing, row.label);
            if (row.hasChanges) {
                result = applyChanges(row, undoing);
                Statement mark(db, "update SubHistory set undone = ?1 where step = ?2", kName);
                mark.bindInt64(1, undoing ? 1 : 0);
                mark.bindInt64(2, row.step);
                mark.step();
            } else {
                swapTable(row, undoing);
                result.label = row.label;
            }
            // Rows came back or went: the bound on the longest duration is computed afresh.
            connection_->recomputeSpanBound(kName);
        }
        Run(db, "release undo_history");
    } catch (const HistoryDamaged&) {
        Abandon(db, "undo_history");
        connection_->noteRollback();
        // The subtitles stay as they were; the step, and the steps only it leads to, leave the
        // history so that the user can go on.
        try {
            dropDamaged(row.step, undoing);
        } catch (...) {
        }
        readState();
        notify();
        throw;
    } catch (...) {
        Abandon(db, "undo_history");
        connection_->noteRollback();
        readState();
        throw;
    }
    readState();
    if (!result.label.empty()) notify();
    return result;
}

bool History::whole(const StepRow& row) {
    if (row.hasChanges) {
        if (row.recordDigest &&
            static_cast<std::uint64_t>(*row.recordDigest) != BlobDigest(row.changes))
            return false;
        return ChangesetReads(row.changes);
    }
    if (!row.hasRange || !row.hasDigest || row.lastRow < row.firstRow - 1) return false;
    Statement rows(db(), "select count(*) from SubHistoryRows where rowid between ?1 and ?2",
                   kName);
    rows.bindInt64(1, row.firstRow);
    rows.bindInt64(2, row.lastRow);
    rows.step();
    return rows.columnInt64(0) == row.lastRow - row.firstRow + 1;
}

void History::dropDamaged(std::int64_t step, bool undoing) {
    sqlite3* db = this->db();
    HistoryWrites writes(*connection_, db);
    // Undo: the step and every older one, which only an undo of it could reach. Redo: the step
    // and every undone one after it.
    const std::string dropped = undoing ? "(undone = 0 and step <= ?1)"
                                        : "(undone = 1 and step >= ?1)";
    Run(db, "savepoint history_drop");
    try {
        // A damaged range may reach into the rows of a step that stays: those rows stay.
        Statement rows(db,
                       "delete from SubHistoryRows where exists (select 1 from SubHistory h "
                       "where " + dropped + " and SubHistoryRows.rowid between h.firstRow and "
                       "h.lastRow) and not exists (select 1 from SubHistory k where not " +
                           dropped + " and SubHistoryRows.rowid between k.firstRow and "
                           "k.lastRow)",
                       kName);
        rows.bindInt64(1, step);
        rows.step();
        Statement steps(db, "delete from SubHistory where " + dropped, kName);
        steps.bindInt64(1, step);
        steps.step();
        Run(db, "release history_drop");
    } catch (...) {
        Abandon(db, "history_drop");
        throw;
    }
}

StepResult History::applyChanges(const StepRow& row, bool undoing) {
    sqlite3* db = this->db();
    const int size = static_cast<int>(row.changes.size());
    void* data = const_cast<char*>(row.changes.data());
    const int flags =
        SQLITE_CHANGESETAPPLY_NOSAVEPOINT | (undoing ? SQLITE_CHANGESETAPPLY_INVERT : 0);
    const int rc = sqlite3changeset_apply_v2(db, size, data, nullptr, AbortOnConflict, nullptr,
                                             nullptr, nullptr, flags);
    if (rc == SQLITE_ABORT)
        throw HistoryConflict((undoing ? "无法撤销“" : "无法重做“") + row.label +
                              "”：有关的字幕已在本程序之外被修改，字幕保持不变");
    // A changeset that read to its end but cannot be applied does not fit the table.
    if (rc != SQLITE_OK) throw Damaged(undoing, row.label);

    // A row the step wrote that exists now: inserted or updated rows after a redo, deleted or
    // updated rows after an undo. The key is the first primary-key column.
    StepResult result{row.label, std::nullopt};
    sqlite3_changeset_iter* it = nullptr;
    if (sqlite3changeset_start(&it, size, data) != SQLITE_OK) Fail(db);
    while (!result.aid && sqlite3changeset_next(it) == SQLITE_ROW) {
        const char* table = nullptr;
        int columns = 0, op = 0, indirect = 0;
        sqlite3changeset_op(it, &table, &columns, &op, &indirect);
        unsigned char* pk = nullptr;
        sqlite3changeset_pk(it, &pk, &columns);
        int key = 0;
        while (key < columns && !pk[key]) ++key;
        if (key == columns) continue;
        const bool exists = op == SQLITE_UPDATE || (undoing ? op == SQLITE_DELETE : op == SQLITE_INSERT);
        if (!exists) continue;
        sqlite3_value* value = nullptr;
        if (op == SQLITE_INSERT)
            sqlite3changeset_new(it, key, &value);
        else
            sqlite3changeset_old(it, key, &value);
        if (value && sqlite3_value_type(value) == SQLITE_INTEGER)
            result.aid = sqlite3_value_int64(value);
    }
    sqlite3changeset_finalize(it);
    return result;
}

}  // namespace tirelle::store
