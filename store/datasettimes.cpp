#include "store/dataset.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <future>
#include <optional>

#include "base/timecode.h"
#include "store/changeset.h"
#include "store/datasetrows.h"
#include "store/errors.h"
#include "store/fieldvalue.h"
#include "store/history.h"
#include "store/historydetail.h"
#include "store/timestable.h"
#include "store/transaction.h"

namespace tirelle::store {

namespace {

// Which times of a row change: only those columns are written, so that a row whose start
// stays keeps its entry in the start index untouched.
enum TimesPart : unsigned { kStarts = 1, kEnds = 2, kBoth = 3 };

constexpr const char* kTimesSql =
    "update Sub set STime = ?1, ETime = ?2, SubSort = ?3, SubSortEnd = ?4 where aid = ?5";

// The update of a part of the times from the table of new times. Guarded, only of rows that
// still hold the values the dataset read: then the rows in memory are the old values of the
// change, and its record is built from them.
std::string JoinedTimesSql(unsigned part, bool guarded) {
    std::string set;
    if (part & kStarts) set += "STime = t.STime, SubSort = t.SubSort";
    if (part & kEnds) set += std::string(set.empty() ? "" : ", ") + "ETime = t.ETime, SubSortEnd = t.SubSortEnd";
    std::string sql = "update Sub set " + set + " from " + std::string(TimesTable::kName) +
                      " t where Sub.aid = t.aid";
    if (guarded)
        sql += " and Sub.STime is t.oldSTime and Sub.ETime is t.oldETime and "
               "Sub.SubSort is t.oldSubSort and Sub.SubSortEnd is t.oldSubSortEnd";
    return sql;
}

// A change of this many starts or more writes the table without its indexes and makes them
// again after: cheaper than moving each row in each index.
bool RebuildsIndexes(std::size_t starts, int rowCount) {
    return starts >= 1024 && starts * 3 >= static_cast<std::size_t>(rowCount);
}

constexpr const char* kNotLocatedMessage =
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.";

using namespace fieldvalue;

const std::string kNoChanges;

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

    // Rows known to be exactly the table's (nothing but this dataset has changed it since it
    // was read) need no check; others are checked row by row as they are written.
    const bool exact = rowsAreStored();
    const bool wasStored = stampBeforeWrite();
    // The rows in memory are nearly always the table's; when one is not (another program
    // changed it), the change is made again as any change is, recorded by the session.
    if (!timesKnown() || !writeTimes(rows, after, history, label, true, !exact))
        writeTimes(rows, after, history, label, false, false);
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
                         History* history, const std::string& label, bool known,
                         bool guarded) {
    std::vector<unsigned> parts(rows.size());
    std::size_t starts = 0;
    double longest = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SubRecord& before = rows_[static_cast<std::size_t>(rows[i])];
        const SubRecord& row = after[i];
        const auto same = [&](Column text, Column number) {
            return !before.isNull(text) && !before.isNull(number) &&
                   TextOf(before, text) == TextOf(row, text) &&
                   NumberOf(before, number) == NumberOf(row, number);
        };
        parts[i] = (same(Column::STime, Column::SubSort) ? 0u : kStarts) |
                   (same(Column::ETime, Column::SubSortEnd) ? 0u : kEnds);
        if (parts[i] & kStarts) ++starts;
        longest = std::max(longest, row.SubSortEnd - row.SubSort);
    }

    std::optional<UndoStep> step;
    if (history) step.emplace(*history, label, known ? Record::Given : Record::Changes);
    Transaction transaction(*connection_, name_);
    connection_->suspendSpanTriggers(name_);
    std::vector<std::string> indexes;
    if (RebuildsIndexes(starts, rowCount())) {
        Statement list(connection_->handle(),
                       "select name, sql from sqlite_master where type = 'index' and "
                       "tbl_name = 'Sub' collate nocase and sql is not null",
                       name_);
        std::vector<std::string> names;
        while (list.step()) {
            names.emplace_back(list.columnBytes(0));
            indexes.emplace_back(list.columnBytes(1));
        }
        for (const std::string& index : names) {
            std::string quoted;  // a name as SQL writes it: in double quotes, each one doubled
            for (const char c : index) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            connection_->execute("drop index \"" + quoted + "\"", name_);
        }
    }
    // The record is built from the rows in memory while the table is written.
    struct Recorded {
        SubChangeset changes;
        std::uint64_t digest = 0;
    };
    std::future<Recorded> record;
    if (known && history && history->isOpen())
        record = std::async(std::launch::async, [&] {
            Recorded done;
            done.changes.reserve(rows.size());
            for (std::size_t i = 0; i < rows.size(); ++i)
                done.changes.update(rows_[static_cast<std::size_t>(rows[i])], after[i], kTimeColumns);
            if (!done.changes.empty()) done.digest = historydetail::BlobDigest(done.changes.bytes());
            return done;
        });
    sqlite3* db = connection_->handle();
    if (known) {
        // One update per part, joined to the new times; each row it finds must be there.
        std::vector<TimesTable::Row> table(rows.size());
        std::array<std::size_t, 4> count{};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const unsigned part = parts[i] != 0 ? parts[i] : kBoth;
            table[i] = {&rows_[static_cast<std::size_t>(rows[i])], &after[i], part};
            ++count[part];
        }
        TimesTable times(db, table, name_);
        for (unsigned part = kStarts; part <= kBoth; ++part) {
            if (count[part] == 0) continue;
            times.select(part);
            Statement update(db, JoinedTimesSql(part, guarded), name_);
            while (update.step()) {
            }
            if (static_cast<std::size_t>(sqlite3_changes64(db)) != count[part])
                return false;  // taken back whole as the scopes end
        }
    } else {
        // Unguarded, a row may hold other times than the ones read: all four are written.
        Statement& update = cached(timesStatement_, kTimesSql);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const SubRecord& before = rows_[static_cast<std::size_t>(rows[i])];
            const int changed = update.run([&](Statement& s) {
                BindTimes(s, after[i], 1);
                s.bindInt64(5, before.aid);
            });
            if (changed != 1) throw datasetError(name_, kNotLocatedMessage);
        }
    }
    for (const std::string& index : indexes) connection_->execute(index, name_);
    // The rows not written keep their spans, which the bound already covers.
    connection_->resumeSpanTriggers(name_, longest);
    transaction.commit();
    if (step) {
        if (record.valid()) {
            const Recorded done = record.get();
            step->commit(done.changes.empty() ? kNoChanges : done.changes.bytes(), done.digest);
        } else {
            step->commit();
        }
    }
    return true;
}

}  // namespace tirelle::store
