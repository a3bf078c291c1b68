#pragma once
// The undo history: every change to table Sub is one step with a short label, kept in the store
// file beside the table and written in the same transaction as the change, so that undo and
// redo survive a crash and a restart.
//
// A step is recorded in one of two ways, chosen by whoever makes the change:
//  - Record::Changes: SQLite's session extension records the rows the change touched as a
//    changeset (a list edit, an inserted or deleted row). Undo applies it inverted, redo as it
//    is. An undo is refused when a value the step wrote, or a row it added or removed, was
//    changed since by something else; changes to values the step did not touch are kept.
//  - Record::WholeTable: the rows the table held before the change are copied into
//    SubHistoryRows in one statement, and a digest of the table after the change is kept (an
//    open, a tool over the whole store: a session would cost several times the change itself).
//    Undo checks the digest, then swaps the table with the copy; redo swaps back. An undo is
//    refused when anything in the table changed since.
//  - Record::Given: recorded as Record::Changes, the changeset being given by whoever made the
//    change (it holds the rows' old and new values already: see SubChangeset).
// Rows come back byte for byte with their aid; aids are never handed out twice (the table's
// AUTOINCREMENT is left as it is).
//
// Steps form a line: undo takes back the newest step not undone, redo does again the oldest one
// undone, and a new step drops every undone step. The history is bounded: past the limit of
// steps or of recorded bytes the oldest steps go first, the newest step always stays.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "store/connection.h"
#include "store/errors.h"

struct sqlite3;
struct sqlite3_session;

namespace tirelle::store {

class Connection;

// An undo or redo refused because the step's rows were changed outside the program. Nothing
// was changed. The message (UTF-8) names the step.
class HistoryConflict : public Error {
public:
    using Error::Error;
};

// An undo or redo refused because the step's record is damaged: its rows are missing, its
// changeset does not read, or its record no longer matches the digest taken when it was made.
// Nothing in the table was changed; the step, and the steps only it leads to, were dropped from
// the history.
class HistoryDamaged : public HistoryConflict {
public:
    using HistoryConflict::HistoryConflict;
};

enum class Record { Changes, WholeTable, Given };

struct HistoryLimits {
    int steps = 100;
    std::int64_t bytes = std::int64_t{64} << 20;  // texts and numbers recorded, all steps
};

// What an undo or redo did.
struct StepResult {
    std::string label;
    // A row the step wrote that exists afterwards (Changes steps only): where the list's cursor
    // belongs. Empty when the step's rows are all gone or it was a whole-table step.
    std::optional<std::int64_t> aid;
};

class History {
public:
    History();
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // Creates the history tables when missing and reads the state, on an open connection (not
    // owned; the history must be closed or destroyed before the connection is). A
    // store that can only be read has no history: isOpen() stays false. Throws DatabaseError
    // ("History: ...") when a writable store cannot be prepared.
    void open(Connection& connection);
    void close();
    // True while attached to the connection it was opened on (reopening the connection closes
    // the history until it is opened again).
    bool isOpen() const;

    void setLimits(const HistoryLimits& limits) { limits_ = limits; }
    const HistoryLimits& limits() const { return limits_; }

    bool canUndo() const { return isOpen() && !undoLabel_.empty(); }
    bool canRedo() const { return isOpen() && !redoLabel_.empty(); }
    const std::string& undoLabel() const { return undoLabel_; }  // UTF-8, "" when none
    const std::string& redoLabel() const { return redoLabel_; }
    int stepCount() const { return steps_; }
    std::int64_t recordedBytes() const { return bytes_; }

    // True while an UndoStep is open: changes made now belong to it.
    bool recording() const { return recording_ != nullptr; }

    // Takes back the newest step not undone / does again the oldest undone step, in one
    // transaction. The step is checked whole first. Throws HistoryConflict or HistoryDamaged
    // (nothing changed) or DatabaseError; nothing to do gives an empty label. Not while a step
    // is recording.
    StepResult undo();
    StepResult redo();

    // Called after every step recorded, undo and redo (to update menus).
    std::function<void()> changed;

    // Filled by the SQL function HistoryRow, which the copy and digest statements call per row.
    struct Accumulator {
        bool hash = false;
        std::uint64_t digest = 0;  // sum of the rows' hashes: independent of their order
        std::int64_t bytes = 0;    // texts and blobs by length, numbers 8 each
    };

private:
    friend class UndoStep;
    struct StepRow;

    sqlite3* db() const;  // the connection's handle while the history is open
    sqlite3* transactionHandle() const;  // the connection's handle while it is open
    void readState();
    StepResult swap(bool undoing);
    // Whether the step's record is all there: its rows, its changeset, their digest.
    bool whole(const StepRow& row);
    void dropDamaged(std::int64_t step, bool undoing);
    StepResult applyChanges(const StepRow& row, bool undoing);
    void swapTable(StepRow& row, bool undoing);
    void append(const std::string& label, Record record, const std::string& changes,
                std::int64_t firstRow, std::int64_t lastRow, std::int64_t digest,
                std::int64_t bytes, std::uint64_t recordDigest);
    void dropRedoSteps();
    void trim();
    // Copies every row of Sub into SubHistoryRows; gives the rowid range, digest and bytes.
    void copyTable(std::int64_t& firstRow, std::int64_t& lastRow, bool hash);
    std::int64_t tableDigest();
    void notify();
    // Runs one of the statements every step uses, prepared once per connection.
    Statement& cached(Statement& statement, const char* sql);
    void runCached(Statement& statement, const char* sql);

    Connection* connection_ = nullptr;
    sqlite3* handle_ = nullptr;
    HistoryLimits limits_;
    std::string undoLabel_;
    std::string redoLabel_;
    int steps_ = 0;
    std::int64_t bytes_ = 0;
    bool hasRedo_ = false;
    Accumulator accumulator_;
    Statement beginStep_;
    Statement endStep_;
    Statement insertStep_;
    Statement oldestStep_;
    Statement deleteStep_;
    Statement deleteRows_;
    class UndoStep* recording_ = nullptr;
};

// One step: begins where the change begins, records it at commit() in the same transaction.
//
//   UndoStep step(history, "时间平移", Record::WholeTable);
//   ...change the table...
//   step.commit();
//
// Without commit() (an exception, an early return) the changes made since the constructor are
// rolled back. A step opened while another records joins it and records nothing itself. Inside a
// transaction that is already open the step uses a savepoint and leaves the commit to it;
// otherwise its savepoint is the transaction. A change that itself begins a transaction must
// therefore begin it as a savepoint. While the history is not open (a store that can only be
// read) the step is only the transaction; without a connection it does nothing.
class UndoStep {
public:
    UndoStep(History& history, std::string label, Record record = Record::Changes);
    ~UndoStep();
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

    // Records the step (nothing when nothing changed) and ends the savepoint. After a failure
    // that the engine rolled back by itself, records nothing. Throws DatabaseError.
    void commit();
    // For a Record::Given step: records `changes` (a changeset of what was done since the
    // constructor; empty: nothing changed) and ends the savepoint as commit() does. `digest`:
    // the changes' digest (historydetail::BlobDigest) when the caller worked it out already.
    void commit(const std::string& changes, std::optional<std::uint64_t> digest = std::nullopt);
    // For a change that failed part way and keeps what it did before the failure: records that
    // as the step when it changed any row, otherwise drops the step. Never throws: the failure
    // of the change is the one to report.
    void commitAfterFailure() noexcept;

private:
    void finish(const std::string* given, std::uint64_t digest);
    void end(bool keep) noexcept;

    History* history_ = nullptr;  // null: joined or not recording
    std::string label_;
    Record record_;
    sqlite3_session* session_ = nullptr;
    std::int64_t firstRow_ = 0;
    std::int64_t lastRow_ = -1;
    std::int64_t bytes_ = 0;
    std::uint64_t recordDigest_ = 0;  // of the rows copied (whole-table steps)
    bool open_ = false;
    bool records_ = false;  // false: only the transaction, the history being closed
    std::int64_t changesAtStart_ = 0;  // the connection's change count once the step began
};

// Runs a whole-table change as one step: work() returns whether it changed anything (nothing
// to do records no step). When work() fails part way, what it kept is a step as well, and the
// error goes on. A change of a few rows among many may be recorded as Record::Changes.
template <class Work>
void RunAsStep(History& history, std::string label, Work&& work,
               Record record = Record::WholeTable) {
    UndoStep step(history, std::move(label), record);
    bool changed = false;
    try {
        changed = work();
    } catch (...) {
        step.commitAfterFailure();
        throw;
    }
    if (changed) step.commit();
}

}  // namespace tirelle::store
