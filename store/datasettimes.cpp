#include "store/dataset.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <optional>

#include "base/timecode.h"
#include "store/changeset.h"
#include "store/datasetrows.h"
#include "store/errors.h"
#include "store/fieldvalue.h"
#include "store/history.h"
#include "store/transaction.h"

namespace tirelle::store {

namespace {

constexpr const char* kTimesSql =
    "update Sub set STime = ?1, ETime = ?2, SubSort = ?3, SubSortEnd = ?4 where aid = ?5";
// The same, only while the row holds the values the dataset read: then the rows in memory are
// the old values of the change, and its record is built from them.
constexpr const char* kGuardedTimesSql =
    "update Sub set STime = ?1, ETime = ?2, SubSort = ?3, SubSortEnd = ?4 where aid = ?5 and "
    "STime is ?6 and ETime is ?7 and SubSort is ?8 and SubSortEnd is ?9";
constexpr const char* kNotLocatedMessage =
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.";

using namespace fieldvalue;

constexpr unsigned kTimeColumns =
    Bit(Column::STime) | Bit(Column::ETime) | Bit(Column::SubSort) | Bit(Column::SubSortEnd);

// Binds the four time columns of a row, NULLs as NULL, to parameters first .. first + 3.
void BindTimes(Statement& statement, const SubRecord& row, int first) {
    int index = first;
    for (Column column : {Column::STime, Column::ETime}) {
        if (row.isNull(column))
            statement.bindNull(index++);
        else
            statement.bindText(index++, TextOf(row, column));
    }
    for (Column column : {Column::SubSort, Column::SubSortEnd}) {
        if (row.isNull(column))
            statement.bindNull(index++);
        else
            statement.bindDouble(index++, NumberOf(row, column));
    }
}

}  // namespace

bool Dataset::timesKnown() const {
    constexpr std::array<Column, 6> order = {Column::Aid,     Column::STime,   Column::ETime,
                                             Column::SubText, Column::SubSort, Column::SubSortEnd};
    Statement info(connection_->handle(), "select name, pk from pragma_table_info('Sub')", name_);
    std::size_t at = 0;
    while (info.step()) {
        if (at == order.size() || columnByName(info.columnBytes(0)) != order[at] ||
            (info.columnInt64(1) != 0) != (at == 0))
            return false;
        ++at;
    }
    return at == order.size();
}

void Dataset::changeTimes(std::span<const TimesChange> changes, History* history,
                          const std::string& label) {
    checkActive();
    completePendingEdit();
    flushAppends();
    if (!connection_ || !connection_->isOpen()) throw datasetError(name_, kConnectionClosedMessage);
    std::vector<int> rows;
    std::vector<SubRecord> after;
    rows.reserve(changes.size());
    after.reserve(changes.size());
    for (const TimesChange& change : changes) {
        if (change.row < 0 || change.row >= rowCount())
            throw datasetError(name_, "Row " + std::to_string(change.row) + " is out of range");
        const SubRecord& before = rows_[static_cast<std::size_t>(change.row)];
        SubRecord row;  // the text is not written: it stays empty here
        row.aid = before.aid;
        row.STime = change.STime;
        row.ETime = change.ETime;
        row.SubSort = TimeToSeconds(row.STime);
        row.SubSortEnd = TimeToSeconds(row.ETime);
        row.nulls = before.nulls & ~kTimeColumns;
        if (!before.isNull(Column::STime) && !before.isNull(Column::ETime) &&
            !before.isNull(Column::SubSort) && !before.isNull(Column::SubSortEnd) &&
            before.STime == row.STime && before.ETime == row.ETime &&
            before.SubSort == row.SubSort && before.SubSortEnd == row.SubSortEnd)
            continue;  // nothing to write
        rows.push_back(change.row);
        after.push_back(std::move(row));
    }
    if (rows.empty()) return;

    const bool wasStored = stampBeforeWrite();
    // The rows in memory are nearly always the table's; when one is not (another program
    // changed it), the change is made again as any change is, recorded by the session.
    if (!timesKnown() || !writeTimes(rows, after, history, label, true))
        writeTimes(rows, after, history, label, false);
    stampAfterWrite(wasStored);

    for (std::size_t i = 0; i < rows.size(); ++i) {
        SubRecord& row = rows_[static_cast<std::size_t>(rows[i])];
        row.STime = std::move(after[i].STime);
        row.ETime = std::move(after[i].ETime);
        row.SubSort = after[i].SubSort;
        row.SubSortEnd = after[i].SubSortEnd;
        row.nulls &= ~kTimeColumns;
    }
    if (ordered_) ordered_ = std::is_sorted(rows_.begin(), rows_.end(), datasetrows::SortsBefore);
    notifyChanged();
}

bool Dataset::writeTimes(std::span<const int> rows, std::span<const SubRecord> after,
                         History* history, const std::string& label, bool known) {
    std::optional<UndoStep> step;
    if (history) step.emplace(*history, label, known ? Record::Given : Record::Changes);
    Transaction transaction(*connection_, name_);
    connection_->suspendSpanTriggers(name_);
    Statement& update = known ? cached(guardedTimesStatement_, kGuardedTimesSql)
                              : cached(timesStatement_, kTimesSql);
    sqlite3* db = connection_->handle();
    SubChangeset changeset;
    const bool records = known && history && history->isOpen();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SubRecord& before = rows_[static_cast<std::size_t>(rows[i])];
        try {
            BindTimes(update, after[i], 1);
            update.bindInt64(5, before.aid);
            if (known) BindTimes(update, before, 6);
            while (update.step()) {
            }
        } catch (...) {
            update.reset();
            throw;
        }
        update.reset();
        if (sqlite3_changes(db) != 1) {
            if (known) return false;  // taken back whole as the scopes end
            throw datasetError(name_, kNotLocatedMessage);
        }
        if (records) changeset.update(before, after[i], kTimeColumns);
    }
    connection_->resumeSpanTriggers(name_);
    transaction.commit();
    if (step) {
        if (known)
            step->commit(changeset.bytes());
        else
            step->commit();
    }
    return true;
}

}  // namespace tirelle::store
