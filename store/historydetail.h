#pragma once
// What the history's files share: its name in messages, running its statements, and the
// bookkeeping of its own writes. Internal to the store.

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

#include "store/connection.h"
#include "store/history.h"

namespace tirelle::store::historydetail {

inline constexpr const char* kName = "History";

[[noreturn]] void Fail(sqlite3* db);
// Runs statements without a result; DatabaseError ("History: ...") when one fails.
void Run(sqlite3* db, const char* sql);
// The first column of the first row of a query, 0 when it gives none.
std::int64_t SingleInt(sqlite3* db, const std::string& sql);
// Rolls a savepoint back and ends it; nothing when the engine has already ended the transaction.
void Abandon(sqlite3* db, const char* name) noexcept;
// The refusal of an undo or redo whose record is damaged.
HistoryDamaged Damaged(bool undoing, const std::string& label);

// Counts the rows the history writes while it lives as bookkeeping of the connection, not as
// changes of Sub.
class HistoryWrites {
public:
    HistoryWrites(Connection& connection, sqlite3* db)
        : connection_(connection), db_(db), start_(sqlite3_total_changes64(db)) {}
    ~HistoryWrites() { connection_.noteBookkeeping(sqlite3_total_changes64(db_) - start_); }
    HistoryWrites(const HistoryWrites&) = delete;
    HistoryWrites& operator=(const HistoryWrites&) = delete;

private:
    Connection& connection_;
    sqlite3* db_;
    std::int64_t start_;
};

// The digest of a record kept as bytes (a changeset).
std::uint64_t BlobDigest(const std::string& bytes);
// HistoryRow(aid, STime, ETime, SubText, SubSort, SubSortEnd), the SQL function behind the copies
// and digests of the table; its user data is the history's Accumulator.
void HistoryRowFunction(sqlite3_context* context, int count, sqlite3_value** values);

}  // namespace tirelle::store::historydetail

namespace tirelle::store {

// A step as the history table holds it.
struct History::StepRow {
    std::int64_t step = 0;
    std::string label;
    bool hasChanges = false;
    std::string changes;
    std::int64_t firstRow = 0;
    std::int64_t lastRow = -1;
    std::int64_t digest = 0;
    bool hasRange = false;
    bool hasDigest = false;
    std::optional<std::int64_t> recordDigest;
};

}  // namespace tirelle::store
