#pragma once
// The connection to the subtitle store: the SQLite file DB.mdb in the program's folder, or a
// store file anywhere else.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tirelle::store {

class Checkpointer;

// File name of the store inside the program's folder.
inline constexpr const char* kStoreFileName = "DB.mdb";

// The folder that holds DB.mdb: the program's folder while this user may write in it (the
// engine makes its journal files beside the store), as when the program runs from where it was
// built or unpacked. A program installed for the whole system cannot write there; its store is
// then <data folder>/Tirelle, the data folder being $XDG_DATA_HOME or ~/.local/share, made
// when missing (a folder that cannot be made is returned all the same: opening reports it).
std::filesystem::path StoreFolder(const std::filesystem::path& programFolder);

// Milliseconds a statement waits for another process's lock before it fails.
inline constexpr int kBusyTimeoutMs = 2000;

// Owns one SQLite connection. Not copyable.
//
// open() creates DB.mdb with its table when the file is missing or empty (zero bytes). A file
// that holds anything is never rewritten to make it fit: when it is not an SQLite database,
// has no table Sub or one whose aid is not the integer primary key, cannot be read or stays
// locked past the busy timeout, open() throws DatabaseError, the file is left as it was and
// the connection stays closed. A store in a folder that cannot be written (DB.mdb a link into
// one, say) is opened read-only. A valid store gets WAL journaling with every commit synced
// (synchronous=FULL), the index and the bookkeeping the preview statements need, created when
// absent.
//
// The bookkeeping is the table SubSpan with one value, MaxSpan: an upper bound in seconds on
// SubSortEnd - SubSort over the rows of Sub, recomputed at every open and raised by triggers
// on every insert and update (reset to 0 when the table becomes empty). A store that can only
// be read gets the same table as a temporary one for the run.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens <folder>/DB.mdb (closing first if open). Throws DatabaseError
    // "Cannot open database "<path>". <reason>" or "Cannot create database "<path>". <reason>".
    void open(const std::filesystem::path& folder);
    // The same for a store file at any path (a command-line tool, tests, benchmarks).
    void openFile(const std::filesystem::path& file);
    // Closes the connection. Statements still prepared on it keep it alive until they are
    // finalized; it is never used again.
    void close();
    bool isOpen() const { return db_ != nullptr; }
    // True when the store can only be read: a file this user may not write, or a store in a
    // folder where the engine cannot keep its journal (opened read-only then).
    bool readOnly() const;
    // True while an explicit transaction is open (the engine may end one by itself after some
    // errors, such as a full disk).
    bool inTransaction() const;

    // True when `file` is the open store or one of the engine's journal files beside it (found
    // by the file itself, so through any link). Such a file must never be opened by anything
    // else in this process: closing any descriptor of it drops every lock the engine holds on
    // it, and another program reading the store could then cut its shared index short under
    // this one. Looks only at the files' identities, opening nothing.
    bool isStoreFile(const std::filesystem::path& file) const;

    // Full path of the file last opened (empty before the first open).
    const std::filesystem::path& path() const { return path_; }
    // Connection text in the provider form, for display and diagnostics.
    std::string connectionString() const;

    // The raw handle for the datasets and the command; nullptr while closed.
    sqlite3* handle() const { return db_; }

    // Runs one statement without a result (used by the command object). Throws DatabaseError
    // with the given name in front of the engine's message.
    void execute(const std::string& sql, const std::string& errorPrefix);
    // Recomputes the bound on the longest duration from every row (after rows were deleted).
    void recomputeSpanBound(const std::string& errorPrefix);

    // --- bulk changes
    // A change of many rows inside one transaction drops the triggers that raise the bound per
    // row, and puts them back with the bound recomputed once from every row before it commits
    // (see RunBulkChange). Both throw DatabaseError with errorPrefix in front. With `raiseTo`,
    // the bound is only raised to it, for a change that knows the longest span it wrote.
    void suspendSpanTriggers(const std::string& errorPrefix);
    void resumeSpanTriggers(const std::string& errorPrefix,
                            std::optional<double> raiseTo = std::nullopt);

    // --- telling whether rows read earlier are still the table's
    // A reading of the table stays valid while these three are unchanged: rows changed through
    // this connection (the bound's own upkeep not counted), commits by other connections, and
    // transactions rolled back on this one.
    struct ChangeStamp {
        sqlite3* db = nullptr;
        std::int64_t changes = 0;
        std::int64_t dataVersion = 0;
        std::int64_t rollbacks = 0;
        bool operator==(const ChangeStamp&) const = default;
    };
    // Throws DatabaseError with errorPrefix in front when the engine cannot tell.
    ChangeStamp changeStamp(const std::string& errorPrefix) const;
    // The first of the three alone: cheap enough to be asked around every write.
    std::int64_t changeCount() const;
    // A rollback to a savepoint takes changes back without the engine's rollback hook; whoever
    // makes one says so here, so that the rows a dataset holds are read again at its next
    // requery.
    void noteRollback() { ++rollbacks_; }
    // Rows written to tables beside Sub (the undo history) are not changes of Sub: whoever
    // writes them says how many, so the datasets keep the rows they hold.
    void noteBookkeeping(std::int64_t rows) { bookkeepingChanges_ += rows; }

private:
    sqlite3* db_ = nullptr;
    std::unique_ptr<Checkpointer> checkpointer_;  // for a store that can be written
    std::filesystem::path path_;
    std::int64_t bookkeepingChanges_ = 0;  // rows of SubSpan written by recomputeSpanBound
    std::int64_t rollbacks_ = 0;
};

// The message a store object gives when its connection is missing or closed.
inline constexpr const char* kConnectionClosedMessage =
    "Operation is not allowed when the object is closed";

// One prepared statement, finalized when destroyed. Every failure throws DatabaseError
// "<name>: <engine message>" with the name given at construction. Texts are bound with their
// byte length, so every byte comes back as it went in. Movable, not copyable.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, std::string_view sql, std::string name);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool valid() const { return stmt_ != nullptr; }
    sqlite3* database() const { return db_; }

    // Parameters are numbered from 1. The text must stay alive until the statement is reset.
    void bindText(int index, std::string_view text);
    void bindDouble(int index, double value);
    void bindInt64(int index, std::int64_t value);
    void bindNull(int index);
    // The bytes must stay alive until the statement is reset.
    void bindBlob(int index, const void* data, int size);

    // Runs one step: true when a row is there to read, false when done.
    bool step();
    // Back to the start, bindings cleared, ready to run again.
    void reset();
    // Binds with `bind(*this)`, runs to the end (skipping any rows) and resets, also when a bind
    // or a step throws. Returns the rows the statement changed.
    template <class Bind>
    int run(Bind&& bind) {
        try {
            bind(*this);
            while (step()) {
            }
        } catch (...) {
            reset();
            throw;
        }
        const int changed = changes();
        reset();
        return changed;
    }
    int run() {
        return run([](Statement&) {});
    }

    // Columns of the current row, numbered from 0.
    int columnCount() const;
    std::string columnName(int column) const;
    bool isNull(int column) const;
    // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL.
    int columnType(int column) const;
    std::int64_t columnInt64(int column) const;
    double columnDouble(int column) const;
    // The bytes of a text or blob; a number in its text form; NULL as "".
    std::string columnBytes(int column) const;

private:
    // The rows changed by the last statement that ran to its end on this connection.
    int changes() const;

    [[noreturn]] void fail() const;

    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    std::string name_;
};

}  // namespace tirelle::store
