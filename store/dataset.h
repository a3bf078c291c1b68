#pragma once
// The working dataset `Sub`: every row of table Sub, ordered by SubSort at the last requery,
// with a cursor, browse/edit/insert states and end/begin flags that behave like a classic
// navigational dataset:
//
//  - every cursor move (first, last, next, prior, moveBy, locate, requery, gotoBookmark) and the
//    start of insert/append first completes a pending edit: a row with a field set is posted,
//    an untouched one is dropped (cancel);
//  - post() always stores the row, even when no field was set (the "post pending edit" of the
//    open and save commands);
//  - next() on the last row sets eof without moving; prior() on the first row sets bof without
//    moving; a move clears both flags before it steps;
//  - rows keep their place after a post until the next requery.
//
// Rows are loaded all at once at open/requery. Every post and delete is committed at once
// (appends inside a BatchedAppends: when it writes them, see there).
// Errors are DatabaseError with the dataset's name in front ("Sub: ...").

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"
#include "store/record.h"

namespace tirelle::store {

class Dataset;
class History;
class UndoStep;

enum class DatasetState { Inactive, Browse, Edit, Insert };

// Watches the dataset; the list view is the one observer. No notification is sent while the
// list's updates are suspended (disableControls); enableControls back to 0 sends one
// datasetChanged().
class DatasetObserver {
public:
    virtual ~DatasetObserver() = default;
    // Everything may have changed (requery, open/close, rows added or removed, resume after a
    // suspension): re-read the row count, the current row and every value.
    virtual void datasetChanged() = 0;
    // The cursor moved. `centre` is true when a locate asks for the row to be shown in the
    // middle of the visible rows.
    virtual void currentChanged(bool centre) = 0;
    // The values shown for one row changed (a field set, a post, a cancel of an edit).
    virtual void rowChanged(int row) = 0;
    // One row was deleted: the row `aid` that stood at `row`; the rows after it moved up one and
    // the cursor may have moved. An observer that needs no more takes it as datasetChanged().
    virtual void rowRemoved(int row, std::int64_t aid) {
        (void)row, (void)aid;
        datasetChanged();
    }
    // Browse/edit/insert changed.
    virtual void stateChanged() = 0;
    // A pending row is about to be posted or its completion decided: write into it whatever is
    // typed but not written yet (an open in-place editor). Sent also while updates are
    // suspended, so a cursor move from elsewhere never loses typed text.
    virtual void updateRecord() {}
};

// Access to one column of the current row (or of the row being built).
class Field {
public:
    Field(Dataset& dataset, Column column) : dataset_(&dataset), column_(column) {}
    Column column() const { return column_; }
    const char* name() const { return columnName(column_); }

    // Text form: texts as stored; numbers as SecondsToNumberText writes them.
    std::string asString() const;
    // Number form: numbers as stored; a text is read with ReadNumber (0 when unreadable).
    double asFloat() const;
    // 32-bit integer form (aid, or a number truncated toward zero and clamped to the range).
    std::int32_t asInteger() const;
    bool isNull() const;

    // Setting needs edit or insert state ("Sub: Dataset not in edit or insert mode"). A text
    // set into a number column must be a number ("'x' is not a valid floating point value");
    // aid is the database's own ("Sub: Field 'aid' cannot be modified").
    void setAsString(std::string_view value);
    void setAsFloat(double value);

private:
    Dataset* dataset_;
    Column column_;
};

// New start and end time codes for one row, by its place among the rows (see changeTimes()).
struct TimesChange {
    int row = 0;
    std::string STime;
    std::string ETime;
};

// A remembered cursor position (see bookmark()).
struct Bookmark {
    int row = -1;
    std::int64_t aid = 0;
};

class Dataset {
public:
    explicit Dataset(std::string name = "Sub");
    ~Dataset();
    Dataset(const Dataset&) = delete;
    Dataset& operator=(const Dataset&) = delete;

    const std::string& name() const { return name_; }

    void setConnection(Connection* connection) { connection_ = connection; }
    Connection* connection() const { return connection_; }
    // Statement of the dataset ("select * from Sub order by SubSort").
    void setCommandText(std::string sql) { commandText_ = std::move(sql); }
    const std::string& commandText() const { return commandText_; }

    // Runs the statement and loads every row; cursor on the first row. Nothing when open.
    // Throws DatabaseError ("Sub: Operation is not allowed when the object is closed" without
    // an open connection, "Sub: <engine message>").
    void open();
    void close();  // drops rows and any pending change; state Inactive
    bool active() const { return state_ != DatasetState::Inactive; }

    // --- contents
    bool isEmpty() const;     // true while not open
    int recordCount() const;  // stored rows (a row being inserted not counted)
    DatasetState state() const { return state_; }
    bool canModify() const { return active(); }
    bool modified() const { return modified_; }  // a field of the pending row was set

    // --- cursor
    void first();
    void last();
    void next();
    void prior();
    int moveBy(int distance);  // returns the number of rows actually moved (signed)
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    Bookmark bookmark() const;
    void gotoBookmark(const Bookmark& bookmark);  // flags cleared; no-op when the row is gone

    // --- changes
    void edit();    // on an empty dataset starts an insert instead; nothing when not browsing
    void insert();  // new row at the current position, the current row moves down
    void append();  // new row after the last row
    void post();    // derivation hook, then INSERT/UPDATE; back to browse, posted row current
    void cancel();  // drops the pending change; a new row disappears
    // Deletes the current row; a pending change is dropped first, a new row is cancelled.
    // Empty: "Sub: Cannot perform this operation on an empty dataset".
    void remove();
    // Runs the statement again; cursor on the first row. When the rows in memory are known to
    // be the table's (nothing has changed the table since it was read but this dataset's own
    // posts and deletes, see Connection::ChangeStamp), they are ordered as the statement
    // orders them (by SubSort, equal keys by aid, the index's order) instead of read again.
    void requery();
    // Reads every row again, whatever is known about them.
    void reload();

    // Finds a row whose column equals the value (text: exact bytes; number: equal), searching
    // outward from the current row, so among equal keys the nearest row is found.
    // Found: the row becomes current (eof/bof cleared) and true. Not found, or any failure:
    // cursor and flags unchanged, false. Never throws for a failed search, but completing a
    // pending edit may throw.
    bool locate(std::string_view column, const FieldValue& value);

    // Gives rows new start and end times, all in one transaction, far faster than an edit and
    // a post of each (a timing fix, a snap, an alignment over a whole film): a pending edit is
    // completed first; each row's sort keys are derived from its new texts as DeriveSortKeys
    // derives them (beforePost is not run); the rows keep their place and the cursor stays
    // until the next requery; the list gets one datasetChanged(). The change is one step
    // `label` of `history` (nullptr: none), or part of the step that is recording. A row the
    // table no longer holds fails the whole change ("Sub: Row cannot be located for
    // updating..."), which then changes nothing. Throws for a row out of range.
    void changeTimes(std::span<const TimesChange> changes, History* history,
                     const std::string& label);

    // --- the list's updates: a nesting counter; back at 0 sends one datasetChanged().
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return disableCount_ > 0; }
    // Counts the changes to the rows held (their values, their number, their order, a queued
    // row written), also while the updates are suspended: the same count, the same rows. The
    // cursor's moves and the datasetChanged() of a resume do not count.
    std::uint64_t contentVersion() const { return contentVersion_; }

    Field fieldByName(std::string_view name);  // "Sub: Field 'x' not found"

    // --- for the list view: rows in display order, a row being inserted included.
    int rowCount() const { return static_cast<int>(rows_.size()); }
    int currentRow() const { return current_; }  // -1 while empty or closed
    // Values shown for a row: the pending values for the current row in edit/insert state.
    const SubRecord& rowAt(int row) const;
    // Every row as stored, in display order: without the values of a pending edit, with a row
    // being inserted as it began. For checks over the whole store.
    std::span<const SubRecord> rows() const { return rows_; }
    // Index of the row being inserted, -1 when not inserting.
    int insertRow() const { return state_ == DatasetState::Insert ? current_ : -1; }

    // Room for `rows` rows up front, for a caller about to append about that many.
    void reserve(int rows) { rows_.reserve(static_cast<std::size_t>(std::max(rows, 0))); }

    void addObserver(DatasetObserver* observer);
    void removeObserver(DatasetObserver* observer);

    // Every post and delete of a row becomes a step of this history ("修改字幕", "新增字幕",
    // "删除字幕"), or part of the step already recording. Not owned; nullptr: none.
    void setHistory(History* history) { history_ = history; }

    // Runs before every post, whatever starts it. The main window installs SubBeforePost.
    std::function<void(Dataset&)> beforePost;

    // Writes the rows a BatchedAppends has queued (see there). A row the table refuses ends the
    // writing: the rows before it are stored, it is the pending row again (insert state, as
    // when its own post fails), the rows queued after it are dropped, and the error goes on.
    void flushAppends();

    // Access for Field.
    const SubRecord& currentValues() const;
    void setValue(Column column, const FieldValue& value);
    void setText(Column column, std::string_view text);  // a text column, without copies

private:
    void checkActive() const;
    void checkEditing(Column column) const;
    void markSet(Column column, bool null);
    void setBrowsing();    // browse state, no pending row
    void toFirstLoaded();  // cursor and flags as after a fresh reading
    void completePendingEdit();
    void setCurrent(int row, bool centre = false);
    void notifyChanged();
    void notifyCurrent(bool centre);
    void notifyRow(int row);
    void notifyRemoved(int row, std::int64_t aid);
    void notifyState();
    void notifyUpdateRecord();
    std::vector<SubRecord> load(std::optional<Connection::ChangeStamp>& stamp);
    void readAll();
    bool rowsAreStored() const;  // the rows in memory are exactly the table's
    void orderRows();            // as the statement orders them
    // Around a write of this dataset: whether the rows were the table's before it, and keeping
    // that knowledge after it.
    bool stampBeforeWrite() const;
    void stampAfterWrite(bool wasStored);
    void insertAt(int row);
    Statement& cached(Statement& statement, const char* sql);
    void store(Statement& statement, bool withAid, UndoStep* step);
    int findRow(Column column, const FieldValue& value) const;
    bool queuesPost() const;
    void queuePost();
    // Writes rows [begin, begin + count) of rows_, many to a statement; `done` counts those
    // stored, so that after a failure (thrown) it tells which row was refused.
    void writeQueued(int begin, int count, int& done);
    void restoreRefusedAppend(int row);
    // One try of changeTimes() with its new rows `after`: with `known`, the rows the table
    // holds must be the ones in memory (false, with nothing changed, when one is not) and the
    // step records the changeset built from them; otherwise the session records it. `guarded`:
    // with `known`, each row's old times are compared as it is written (the rows are not known
    // to be the table's exactly).
    bool writeTimes(std::span<const int> rows, std::span<const SubRecord> after, History* history,
                    const std::string& label, bool known, bool guarded);
    bool timesKnown() const;  // the table has the six columns in their order, aid its key

    std::string name_;
    Connection* connection_ = nullptr;
    std::string commandText_;
    std::vector<SubRecord> rows_;
    int current_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    DatasetState state_ = DatasetState::Inactive;
    SubRecord pending_;  // values of the row being edited or inserted
    bool modified_ = false;
    int rowBeforeInsert_ = -1;  // the row current before insert/append, for cancel
    bool eofBeforeInsert_ = true;
    bool bofBeforeInsert_ = true;
    Statement insertStatement_;
    Statement updateStatement_;
    Statement deleteStatement_;
    int disableCount_ = 0;
    std::uint64_t contentVersion_ = 0;
    History* history_ = nullptr;
    std::vector<DatasetObserver*> observers_;
    // What was known of the table when the rows were last read, kept up to date by this
    // dataset's own writes; std::nullopt when the rows in memory may differ from the table.
    std::optional<Connection::ChangeStamp> stamp_;
    bool ordered_ = true;  // rows_ are in the statement's order
    // Appends posted but not yet written: rows_[queuedBegin_, queuedBegin_ + queued_).
    int batchDepth_ = 0;
    int queuedBegin_ = 0;
    int queued_ = 0;
    Statement batchInsertStatement_;
    Statement nextAidStatement_;
    Statement timesStatement_;

    friend class BatchedAppends;
};

// While one lives, a row appended and posted that is not an undo step of its own (no history,
// or a step already recording around it) is not written at once: it waits with the rows posted
// after it and they go to the table together, in statements of many rows, which makes a bulk
// load several times faster. The rows get the aids the engine would have given them one by
// one. Any other change, a requery, reload, locate or bookmark jump first writes what waits;
// until then a waiting row's aid reads as NULL. The wait's writing may fail at any of those
// calls or at finish(), with the outcome of that row's own post failing (see flushAppends).
//
//   BatchedAppends batch(sub);
//   ...append and post...
//   batch.finish();  // writes the rest; errors here
//
// Left by an exception, the destructor writes what waits and drops a failure of its own, the
// first error being the one that counts; left without finish() otherwise, it writes what waits
// and throws a failure as finish() would.
class BatchedAppends {
public:
    explicit BatchedAppends(Dataset& dataset)
        : dataset_(dataset), unwinding_(std::uncaught_exceptions()) {
        ++dataset_.batchDepth_;
    }
    ~BatchedAppends() noexcept(false);
    BatchedAppends(const BatchedAppends&) = delete;
    BatchedAppends& operator=(const BatchedAppends&) = delete;

    void finish() { dataset_.flushAppends(); }

private:
    Dataset& dataset_;
    int unwinding_;  // exceptions in flight when the batch began
};

// Suspends the list's updates for the lifetime of the object, so that a whole-store walk redraws
// the list once at the end, however the walk ends.
class SuspendedUpdates {
public:
    explicit SuspendedUpdates(Dataset& dataset) : dataset_(dataset) { dataset_.disableControls(); }
    ~SuspendedUpdates() { dataset_.enableControls(); }
    SuspendedUpdates(const SuspendedUpdates&) = delete;
    SuspendedUpdates& operator=(const SuspendedUpdates&) = delete;

private:
    Dataset& dataset_;
};

// The derivation every post runs: SubSort := TimeToSeconds(STime),
// SubSortEnd := TimeToSeconds(ETime).
void DeriveSortKeys(Dataset& dataset);

}  // namespace tirelle::store
