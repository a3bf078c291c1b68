#include "store/dataset.h"

#include <sqlite3.h>

#include <optional>

#include "base/timecode.h"
#include "store/datasetrows.h"
#include "store/errors.h"
#include "store/fieldvalue.h"
#include "store/history.h"

namespace tirelle::store {

namespace {

constexpr const char* kUpdateSql =
    "update Sub set STime = ?1, ETime = ?2, SubText = ?3, SubSort = ?4, SubSortEnd = ?5 "
    "where aid = ?6";
constexpr const char* kDeleteSql = "delete from Sub where aid = ?1";

// Labels of the steps the dataset records by itself.
constexpr const char* kEditedLabel = "修改字幕";
constexpr const char* kAddedLabel = "新增字幕";
constexpr const char* kDeletedLabel = "删除字幕";

}  // namespace

using namespace fieldvalue;
using namespace datasetrows;

void datasetrows::BindRow(Statement& statement, const SubRecord& row, int first) {
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
        const int changed = statement.run();
        if (withAid && changed != 1)
            throw datasetError(name_,
                               "Row cannot be located for updating. Some values may have been "
                               "changed since it was last read.");
        if (!withAid && changed != 1) throw datasetError(name_, kSkippedInsertMessage);
        const std::int64_t aid =
            withAid ? row.aid : sqlite3_last_insert_rowid(statement.database());
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
    const int removedRow = current_;
    const std::int64_t aid = rows_[static_cast<std::size_t>(current_)].aid;
    Statement& statement = cached(deleteStatement_, kDeleteSql);
    std::optional<UndoStep> step;
    if (history_) step.emplace(*history_, kDeletedLabel);
    const bool wasStored = stampBeforeWrite();
    // On a throw the row and a pending change stay.
    const int deleted = statement.run([&](Statement& s) { s.bindInt64(1, aid); });
    // Only a delete that removed the row is a step to undo.
    if (step && deleted == 1) step->commit();
    // aid is the table's integer key, so the statement removes this row or, when another
    // program has removed it already, nothing. Either way the row is no longer stored, and the
    // list drops it to stay equal to the table; a miss is still reported.
    stampAfterWrite(wasStored);
    const bool wasEditing = state_ == DatasetState::Edit;
    setBrowsing();
    rows_.erase(rows_.begin() + removedRow);
    if (current_ >= rowCount()) current_ = rowCount() - 1;
    eof_ = bof_ = rows_.empty();
    if (wasEditing) notifyState();
    notifyRemoved(removedRow, aid);
    if (deleted != 1)
        throw datasetError(name_,
                           "Row cannot be located for deleting. Some values may have been "
                           "changed since it was last read.");
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
