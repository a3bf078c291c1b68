#include "store/dataset.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <limits>

#include "base/timecode.h"
#include "store/errors.h"
#include "store/fieldvalue.h"
#include "store/history.h"
#include "store/statements.h"
#include "store/transaction.h"

namespace tirelle::store {

namespace {

constexpr const char* kClosedMessage = "Cannot perform this operation on a closed dataset";

// Rows are written with every column but aid, and read back as the table stored them, so the
// cached row is exactly what a requery would give.
constexpr const char* kInsertSql =
    "insert into Sub (STime, ETime, SubText, SubSort, SubSortEnd) values (?1, ?2, ?3, ?4, ?5)";
constexpr const char* kUpdateSql =
    "update Sub set STime = ?1, ETime = ?2, SubText = ?3, SubSort = ?4, SubSortEnd = ?5 "
    "where aid = ?6";
constexpr const char* kDeleteSql = "delete from Sub where aid = ?1";

// Labels of the steps the dataset records by itself.
constexpr const char* kEditedLabel = "修改字幕";
constexpr const char* kAddedLabel = "新增字幕";
constexpr const char* kDeletedLabel = "删除字幕";

// Searches outward from the current row: the row a locate looks for is nearly always the
// current one or a neighbour (the preview follows playback), and among rows with an equal key
// the nearest is found.
template <typename Matches>
int SearchOutward(int count, int from, Matches matches) {
    from = std::clamp(from, 0, std::max(count - 1, 0));
    for (int k = 0; k < count; ++k) {
        const int up = from + k;
        const int down = from - k - 1;
        if (up >= count && down < 0) break;
        if (up < count && matches(up)) return up;
        if (down >= 0 && matches(down)) return down;
    }
    return -1;
}

// The order of the working statement: SubSort ascending through its index, so equal keys come
// by aid; a missing key (NULL, and NaN, which the engine stores as NULL) first.
// -1, 0 or 1 as a's SubSort comes before, with or after b's.
int CompareKeys(const SubRecord& a, const SubRecord& b) {
    const bool aMissing = a.isNull(Column::SubSort) || std::isnan(a.SubSort);
    const bool bMissing = b.isNull(Column::SubSort) || std::isnan(b.SubSort);
    if (aMissing != bMissing) return aMissing ? -1 : 1;
    if (aMissing || a.SubSort == b.SubSort) return 0;
    return a.SubSort < b.SubSort ? -1 : 1;
}

bool SortsBefore(const SubRecord& a, const SubRecord& b) {
    const int keys = CompareKeys(a, b);
    return keys != 0 ? keys < 0 : a.aid < b.aid;
}

// Binds the five written columns of a row, NULLs as NULL, to parameters first .. first + 4.
void BindRow(Statement& statement, const SubRecord& row, int first) {
    const auto text = [&](int index, Column column, const std::string& value) {
        if (row.isNull(column))
            statement.bindNull(index);
        else
            statement.bindText(index, value);
    };
    const auto number = [&](int index, Column column, double value) {
        if (row.isNull(column))
            statement.bindNull(index);
        else
            statement.bindDouble(index, value);
    };
    text(first, Column::STime, row.STime);
    text(first + 1, Column::ETime, row.ETime);
    text(first + 2, Column::SubText, row.SubText);
    number(first + 3, Column::SubSort, row.SubSort);
    number(first + 4, Column::SubSortEnd, row.SubSortEnd);
}

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

// An insert that the table skipped without an error (a trigger's RAISE(IGNORE), an ON CONFLICT
// IGNORE constraint of a store made elsewhere) wrote no row: the row must not be taken as stored.
constexpr const char* kSkippedInsertMessage =
    "Row cannot be added. The table skipped it without an error.";
}  // namespace

using namespace fieldvalue;

// --- Dataset: opening and loading

Dataset::Dataset(std::string name) : name_(std::move(name)) {
    beforePost = DeriveSortKeys;
}

Dataset::~Dataset() = default;

void Dataset::checkActive() const {
    if (!active()) throw datasetError(name_, kClosedMessage);
}

std::vector<SubRecord> Dataset::load(std::optional<Connection::ChangeStamp>& stamp) {
    if (!connection_ || !connection_->isOpen()) throw datasetError(name_, kConnectionClosedMessage);
    // Taken before the reading, so that whatever changes the table after it shows.
    stamp.reset();
    if (commandText_ == kSelectAllSql) stamp = connection_->changeStamp(name_);
    Statement select(connection_->handle(), commandText_, name_);
    std::vector<SubRecord> rows;
    // A requery mostly finds about as many rows as before: room for them up front saves the
    // copies of a growing vector, which would double the memory needed while reading.
    std::size_t expected = rows_.size() + rows_.size() / 8;
    if (expected == 0 && stamp) {
        // The first reading: the count, from the index, is far cheaper than growing the
        // vector row by row, which moves every row read so far at each doubling.
        Statement count(connection_->handle(), "select count(*) from Sub", name_);
        if (count.step())
            expected = static_cast<std::size_t>(std::max<std::int64_t>(count.columnInt64(0), 0));
    }
    rows.reserve(expected);
    const auto map = ColumnMap(select);
    int sortColumn = -1;
    for (std::size_t i = 0; i < map.size(); ++i)
        if (map[i] == Column::SubSort) sortColumn = static_cast<int>(i);
    if (sortColumn < 0) stamp.reset();
    while (select.step()) {
        // A text or blob key sorts after every number and reads as a number here: rows with
        // one can only be ordered by the engine.
        if (stamp) {
            const int type = select.columnType(sortColumn);
            if (type == SQLITE_TEXT || type == SQLITE_BLOB) stamp.reset();
        }
        rows.push_back(ReadRecord(select, map));
    }
    return rows;
}

void Dataset::readAll() {
    std::optional<Connection::ChangeStamp> stamp;
    rows_ = load(stamp);  // a failed reading keeps the rows shown so far
    stamp_ = stamp;
    ordered_ = true;
}

bool Dataset::rowsAreStored() const {
    if (!stamp_ || !connection_ || !connection_->isOpen()) return false;
    try {
        return connection_->changeStamp(name_) == *stamp_;
    } catch (const Error&) {
        return false;
    }
}

void Dataset::orderRows() {
    // Rows fall out of order by appends (a merged file, new rows) and by edits: mostly a sorted
    // run with the new rows after it, often in order themselves. Merging the two runs moves
    // each row about once, where sorting all of them moves every row many times.
    const auto tail = std::is_sorted_until(rows_.begin(), rows_.end(), SortsBefore);
    if (!std::is_sorted(tail, rows_.end(), SortsBefore)) std::sort(tail, rows_.end(), SortsBefore);
    std::inplace_merge(rows_.begin(), tail, rows_.end(), SortsBefore);
    ordered_ = true;
}

bool Dataset::stampBeforeWrite() const {
    return stamp_ && connection_ && connection_->handle() == stamp_->db &&
           connection_->changeCount() == stamp_->changes;
}

void Dataset::stampAfterWrite(bool wasStored) {
    if (wasStored)
        stamp_->changes = connection_->changeCount();
    else
        stamp_.reset();
}

void Dataset::open() {
    if (active()) return;
    readAll();
    setBrowsing();
    toFirstLoaded();
    notifyState();
    notifyChanged();
}

void Dataset::close() {
    if (!active()) return;
    try {
        flushAppends();  // rows posted but not yet written are stored as their posts promised
    } catch (const Error&) {
        // the refused row goes with the rest, as a pending change does
    }
    queued_ = 0;
    insertStatement_ = Statement();
    updateStatement_ = Statement();
    deleteStatement_ = Statement();
    batchInsertStatement_ = Statement();
    nextAidStatement_ = Statement();
    rows_.clear();
    rows_.shrink_to_fit();
    stamp_.reset();
    state_ = DatasetState::Inactive;
    pending_ = SubRecord();
    modified_ = false;
    current_ = -1;
    eof_ = bof_ = true;
    notifyState();
    notifyChanged();
}

void Dataset::requery() {
    checkActive();
    completePendingEdit();
    flushAppends();
    if (rowsAreStored()) {
        if (!ordered_) orderRows();
    } else {
        readAll();
    }
    toFirstLoaded();
    notifyChanged();
}

void Dataset::reload() {
    checkActive();
    completePendingEdit();
    flushAppends();
    readAll();
    toFirstLoaded();
    notifyChanged();
}

void Dataset::setBrowsing() {
    state_ = DatasetState::Browse;
    pending_ = SubRecord();
    modified_ = false;
}

void Dataset::toFirstLoaded() {
    current_ = rows_.empty() ? -1 : 0;
    eof_ = rows_.empty();
    bof_ = true;
}

// --- contents

bool Dataset::isEmpty() const {
    return !active() || rows_.empty();
}

int Dataset::recordCount() const {
    checkActive();
    return rowCount() - (state_ == DatasetState::Insert ? 1 : 0);
}

const SubRecord& Dataset::rowAt(int row) const {
    if (row < 0 || row >= rowCount()) return NoRecord();
    if (row == current_ && state_ != DatasetState::Browse) return pending_;
    return rows_[static_cast<std::size_t>(row)];
}

const SubRecord& Dataset::currentValues() const {
    checkActive();
    return rowAt(current_);
}

Field Dataset::fieldByName(std::string_view name) {
    checkActive();
    const std::optional<Column> column = columnByName(name);
    if (!column) throw datasetError(name_, "Field '" + std::string(name) + "' not found");
    return Field(*this, *column);
}

// --- cursor

void Dataset::setCurrent(int row, bool centre) {
    const bool moved = row != current_;
    current_ = row;
    if (moved || centre) notifyCurrent(centre);
}

void Dataset::completePendingEdit() {
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
    notifyUpdateRecord();
    if (modified_)
        post();
    else
        cancel();
}

void Dataset::first() {
    checkActive();
    completePendingEdit();
    setCurrent(rows_.empty() ? -1 : 0);
    eof_ = rows_.empty();
    bof_ = true;
}

void Dataset::last() {
    checkActive();
    completePendingEdit();
    setCurrent(rowCount() - 1);
    eof_ = true;
    bof_ = rows_.empty();
}

void Dataset::next() {
    moveBy(1);
}

void Dataset::prior() {
    moveBy(-1);
}

int Dataset::moveBy(int distance) {
    checkActive();
    completePendingEdit();
    if (distance == 0 || (distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
    eof_ = bof_ = false;
    const int below = rowCount() - 1 - current_;
    if (distance > below) {
        eof_ = true;
        distance = below;
    } else if (-distance > current_) {
        bof_ = true;
        distance = -current_;
    }
    setCurrent(current_ + distance);
    return distance;
}

Bookmark Dataset::bookmark() const {
    checkActive();
    const SubRecord& record = rowAt(current_);
    return Bookmark{current_, record.isNull(Column::Aid) ? 0 : record.aid};
}

void Dataset::gotoBookmark(const Bookmark& bookmark) {
    checkActive();
    completePendingEdit();
    flushAppends();
    // The remembered row, or where rows added or removed since have moved it.
    const int row = SearchOutward(rowCount(), bookmark.row, [&](int i) {
        return rows_[static_cast<std::size_t>(i)].aid == bookmark.aid;
    });
    if (row < 0) return;
    eof_ = bof_ = false;
    setCurrent(row);
}

int Dataset::findRow(Column column, const FieldValue& value) const {
    const int count = rowCount();
    const auto row = [&](int i) -> const SubRecord& { return rows_[static_cast<std::size_t>(i)]; };
    if (IsText(column)) {
        const std::string wanted = AsText(value);
        return SearchOutward(count, current_, [&](int i) {
            return !row(i).isNull(column) && TextOf(row(i), column) == wanted;
        });
    }
    const auto* id = std::get_if<std::int64_t>(&value);
    if (column == Column::Aid && id) {
        return SearchOutward(count, current_,
                             [&](int i) { return !row(i).isNull(column) && row(i).aid == *id; });
    }
    double wanted = 0;
    if (!AsNumber(value, wanted)) return -1;
    return SearchOutward(count, current_, [&](int i) {
        return !row(i).isNull(column) && NumberOf(row(i), column) == wanted;
    });
}

bool Dataset::locate(std::string_view column, const FieldValue& value) {
    checkActive();
    completePendingEdit();
    flushAppends();
    const std::optional<Column> which = columnByName(column);
    if (!which) return false;
    const int row = findRow(*which, value);
    if (row < 0) return false;
    eof_ = bof_ = false;
    setCurrent(row, true);
    return true;
}

// --- changes

void Dataset::edit() {
    checkActive();
    flushAppends();
    if (state_ != DatasetState::Browse) return;
    if (rows_.empty()) {
        insert();
        return;
    }
    pending_ = rows_[static_cast<std::size_t>(current_)];
    modified_ = false;
    state_ = DatasetState::Edit;
    notifyState();
}

void Dataset::insertAt(int row) {
    rowBeforeInsert_ = current_;
    eofBeforeInsert_ = eof_;
    bofBeforeInsert_ = bof_;
    rows_.insert(rows_.begin() + row, NewRecord());
    pending_ = NewRecord();
    modified_ = false;
    current_ = row;
    eof_ = bof_ = false;
    state_ = DatasetState::Insert;
    notifyState();
    notifyChanged();
}

void Dataset::insert() {
    checkActive();
    completePendingEdit();
    flushAppends();
    insertAt(std::max(current_, 0));
}

void Dataset::append() {
    checkActive();
    completePendingEdit();
    insertAt(rowCount());
}

void Dataset::checkEditing(Column column) const {
    checkActive();
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert)
        throw datasetError(name_, "Dataset not in edit or insert mode");
    if (column == Column::Aid)
        throw datasetError(name_,
                           std::string("Field '") + columnName(column) + "' cannot be modified");
}

void Dataset::markSet(Column column, bool null) {
    if (null)
        pending_.nulls |= Bit(column);
    else
        pending_.nulls &= ~Bit(column);
    modified_ = true;
    notifyRow(current_);
}

void Dataset::setText(Column column, std::string_view text) {
    if (!IsText(column)) {
        setValue(column, std::string(text));
        return;
    }
    checkEditing(column);
    TextOf(pending_, column).assign(text);
    markSet(column, false);
}

void Dataset::setValue(Column column, const FieldValue& value) {
    checkEditing(column);
    bool null = false;
    if (IsText(column)) {
        TextOf(pending_, column) = AsText(value);
    } else {
        double number = 0;
        const auto* text = std::get_if<std::string>(&value);
        // An empty text clears a number; any other text must read as one.
        null = text && text->empty();
        if (!null && !AsNumber(value, number))
            throw Error("'" + *text + "' is not a valid floating point value");
        NumberOf(pending_, column) = number;
    }
    markSet(column, null);
}

Statement& Dataset::cached(Statement& statement, const char* sql) {
    if (!connection_ || !connection_->isOpen()) throw datasetError(name_, kConnectionClosedMessage);
    // A statement made on an earlier connection is made again on the current one.
    if (!statement.valid() || statement.database() != connection_->handle())
        statement = Statement(connection_->handle(), sql, name_);
    return statement;
}

void Dataset::store(Statement& statement, bool withAid, UndoStep* step) {
    SubRecord& row = pending_;
    const bool wasStored = stampBeforeWrite();
    try {
        BindRow(statement, row, 1);
        if (withAid) statement.bindInt64(6, row.aid);

        // The statement runs to completion (and is committed, outside a transaction) before
        // the row is taken as stored. The cache keeps exactly the values bound, which the
        // table gives back byte for byte; only the new row's aid comes from the engine.
        while (statement.step()) {
        }
        statement.reset();
        sqlite3* db = statement.database();
        if (withAid && sqlite3_changes(db) != 1)
            throw datasetError(name_,
                               "Row cannot be located for updating. Some values may have been "
                               "changed since it was last read.");
        if (!withAid && sqlite3_changes(db) != 1) throw datasetError(name_, kSkippedInsertMessage);
        const std::int64_t aid = withAid ? row.aid : sqlite3_last_insert_rowid(db);
        // The row counts as stored only once its step is recorded with it.
        if (step) step->commit();
        if (!withAid) {
            row.aid = aid;
            row.nulls &= ~Bit(Column::Aid);
        }
    } catch (...) {
        statement.reset();
        throw;
    }
    stampAfterWrite(wasStored);
    // The pending row is done with: its values move into the cache.
    const auto at = static_cast<std::size_t>(current_);
    rows_[at] = std::move(row);
    if (ordered_ && ((at > 0 && !SortsBefore(rows_[at - 1], rows_[at])) ||
                     (at + 1 < rows_.size() && !SortsBefore(rows_[at], rows_[at + 1]))))
        ordered_ = false;
}

void Dataset::post() {
    checkActive();
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
    notifyUpdateRecord();
    if (beforePost) beforePost(*this);
    if (queuesPost()) {
        queuePost();
        return;
    }
    flushAppends();  // the rows queued before this one are written before it
    const bool inserting = state_ == DatasetState::Insert;
    std::optional<UndoStep> step;
    if (history_) step.emplace(*history_, inserting ? kAddedLabel : kEditedLabel);
    if (inserting)
        store(cached(insertStatement_, kInsertSql), false, step ? &*step : nullptr);
    else
        store(cached(updateStatement_, kUpdateSql), true, step ? &*step : nullptr);
    setBrowsing();
    eof_ = bof_ = false;
    notifyRow(current_);
    notifyState();
}

// --- appends in bulk

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
        try {
            BindRow(single, row, 1);
            while (single.step()) {
            }
        } catch (...) {
            single.reset();
            throw;
        }
        single.reset();
        if (sqlite3_changes(db) != 1) throw datasetError(name_, kSkippedInsertMessage);
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

void Dataset::cancel() {
    checkActive();
    if (state_ == DatasetState::Edit) {
        setBrowsing();
        notifyRow(current_);
        notifyState();
    } else if (state_ == DatasetState::Insert) {
        // The new row disappears and the dataset is as it was before the insert.
        rows_.erase(rows_.begin() + current_);
        setBrowsing();
        current_ = rowBeforeInsert_ < rowCount() ? rowBeforeInsert_ : rowCount() - 1;
        eof_ = eofBeforeInsert_;
        bof_ = bofBeforeInsert_;
        notifyState();
        notifyChanged();
    }
}

void Dataset::remove() {
    checkActive();
    if (state_ == DatasetState::Insert) {
        cancel();
        return;
    }
    flushAppends();
    if (rows_.empty())
        throw datasetError(name_, "Cannot perform this operation on an empty dataset");
    const SubRecord& row = rows_[static_cast<std::size_t>(current_)];
    Statement& statement = cached(deleteStatement_, kDeleteSql);
    int deleted = 0;
    std::optional<UndoStep> step;
    if (history_) step.emplace(*history_, kDeletedLabel);
    const bool wasStored = stampBeforeWrite();
    try {
        statement.bindInt64(1, row.aid);
        while (statement.step()) {
        }
        statement.reset();
        deleted = sqlite3_changes(statement.database());
        // Only a delete that removed the row is a step to undo.
        if (step && deleted == 1) step->commit();
    } catch (...) {
        statement.reset();
        throw;  // the row and a pending change stay
    }
    // aid is the table's integer key, so the statement removes this row or, when another
    // program has removed it already, nothing. Either way the row is no longer stored, and the
    // list drops it to stay equal to the table; a miss is still reported.
    stampAfterWrite(wasStored);
    const bool wasEditing = state_ == DatasetState::Edit;
    setBrowsing();
    rows_.erase(rows_.begin() + current_);
    if (current_ >= rowCount()) current_ = rowCount() - 1;
    eof_ = bof_ = rows_.empty();
    if (wasEditing) notifyState();
    notifyChanged();
    if (deleted != 1)
        throw datasetError(name_,
                           "Row cannot be located for deleting. Some values may have been "
                           "changed since it was last read.");
}

// --- notifications

void Dataset::disableControls() {
    ++disableCount_;
}

void Dataset::enableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ == 0) notifyChanged();
}

void Dataset::addObserver(DatasetObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void Dataset::removeObserver(DatasetObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

namespace {

// Observers may add or remove observers while notified: each call walks a copy and skips
// those removed meanwhile.
template <typename Call>
void Notify(const std::vector<DatasetObserver*>& observers, Call call) {
    if (observers.empty()) return;
    if (observers.size() == 1) {  // the usual case: the list alone, no copy needed
        call(*observers.front());
        return;
    }
    for (DatasetObserver* observer : std::vector(observers))
        if (std::find(observers.begin(), observers.end(), observer) != observers.end())
            call(*observer);
}

}  // namespace

void Dataset::notifyChanged() {
    if (!controlsDisabled()) Notify(observers_, [](auto& o) { o.datasetChanged(); });
}

void Dataset::notifyCurrent(bool centre) {
    if (!controlsDisabled()) Notify(observers_, [=](auto& o) { o.currentChanged(centre); });
}

void Dataset::notifyRow(int row) {
    if (!controlsDisabled()) Notify(observers_, [=](auto& o) { o.rowChanged(row); });
}

void Dataset::notifyState() {
    if (!controlsDisabled()) Notify(observers_, [](auto& o) { o.stateChanged(); });
}

void Dataset::notifyUpdateRecord() {
    Notify(observers_, [](auto& o) { o.updateRecord(); });
}

void DeriveSortKeys(Dataset& dataset) {
    // The texts are read in place (a missing one reads as ""), then the two numbers are set.
    const auto seconds = [&](Column column) {
        const SubRecord& row = dataset.currentValues();
        return TimeToSeconds(row.isNull(column) ? std::string_view() : TextOf(row, column));
    };
    const double start = seconds(Column::STime);
    const double end = seconds(Column::ETime);
    dataset.setValue(Column::SubSort, start);
    dataset.setValue(Column::SubSortEnd, end);
}

}  // namespace tirelle::store
