// The history's whole-table records: the copy of every row, the digest of the table, and the
// swap of the table with a copy.

#include <sqlite3.h>

#include <cstring>

#include "store/connection.h"
#include "store/history.h"
#include "store/historydetail.h"

namespace tirelle::store {

using namespace historydetail;

namespace {

constexpr const char* kColumns = "aid, STime, ETime, SubText, SubSort, SubSortEnd";

std::string CopyTableSql() {
    return std::string("insert into SubHistoryRows (") + kColumns + ") select " + kColumns +
           " from Sub where HistoryRow(" + kColumns + ")";
}
std::string RestoreSql() {
    return std::string("insert into Sub (") + kColumns + ") select " + kColumns +
           " from SubHistoryRows where rowid between ?1 and ?2 and HistoryRow(" + kColumns +
           ") order by rowid";
}
std::string DigestSql() {
    return std::string("select count(*) from Sub where HistoryRow(") + kColumns + ")";
}

// FNV-1a over each value's type and bytes; a row's hash covers all six columns in order.
constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

void Mix(std::uint64_t& hash, const unsigned char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= kFnvPrime;
    }
}

}  // namespace

// HistoryRow(aid, STime, ETime, SubText, SubSort, SubSortEnd): adds the row's bytes, and its hash
// when asked, to the accumulator the connection holds; always true, so it can filter a copy.
void historydetail::HistoryRowFunction(sqlite3_context* context, int count, sqlite3_value** values) {
    auto* accumulator = static_cast<History::Accumulator*>(sqlite3_user_data(context));
    std::uint64_t hash = kFnvOffset;
    for (int i = 0; i < count; ++i) {
        const int type = sqlite3_value_type(values[i]);
        if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
            // Blob access never converts: the bytes as stored.
            const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(values[i]));
            const int size = sqlite3_value_bytes(values[i]);
            accumulator->bytes += size;
            if (accumulator->hash) {
                const unsigned char tag[5] = {
                    static_cast<unsigned char>(type), static_cast<unsigned char>(size),
                    static_cast<unsigned char>(size >> 8), static_cast<unsigned char>(size >> 16),
                    static_cast<unsigned char>(size >> 24)};
                Mix(hash, tag, sizeof tag);
                if (bytes) Mix(hash, bytes, static_cast<std::size_t>(size));
            }
        } else {
            accumulator->bytes += 8;
            if (accumulator->hash) {
                unsigned char word[9] = {static_cast<unsigned char>(type)};
                if (type == SQLITE_INTEGER) {
                    const sqlite3_int64 value = sqlite3_value_int64(values[i]);
                    std::memcpy(word + 1, &value, 8);
                } else if (type == SQLITE_FLOAT) {
                    const double value = sqlite3_value_double(values[i]);
                    std::memcpy(word + 1, &value, 8);
                }
                Mix(hash, word, sizeof word);
            }
        }
    }
    accumulator->digest += hash;
    sqlite3_result_int(context, 1);
}

std::uint64_t historydetail::BlobDigest(const std::string& bytes) {
    std::uint64_t hash = kFnvOffset;
    Mix(hash, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return hash;
}

void History::copyTable(std::int64_t& firstRow, std::int64_t& lastRow, bool hash) {
    sqlite3* db = this->db();
    const std::int64_t before = SingleInt(db, "select ifnull(max(rowid), 0) from SubHistoryRows");
    accumulator_ = Accumulator{hash, 0, 0};
    Run(db, CopyTableSql().c_str());
    // The statement appends with consecutive rowids after the largest one.
    firstRow = before + 1;
    lastRow = before + sqlite3_changes64(db);
}

std::int64_t History::tableDigest() {
    accumulator_ = Accumulator{true, 0, 0};
    SingleInt(db(), DigestSql());
    return static_cast<std::int64_t>(accumulator_.digest);
}

void History::swapTable(StepRow& row, bool undoing) {
    sqlite3* db = this->db();
    // The table as it is now goes into the history (it is what the opposite swap brings back);
    // its digest tells whether it is still the table the step expects.
    std::int64_t firstRow = 0, lastRow = -1;
    copyTable(firstRow, lastRow, true);
    const std::int64_t bytes = accumulator_.bytes;
    if (static_cast<std::int64_t>(accumulator_.digest) != row.digest)
        throw HistoryConflict((undoing ? "无法撤销“" : "无法重做“") + row.label +
                              "”：字幕已在本程序之外被修改，字幕保持不变");

    Run(db, "delete from Sub");
    accumulator_ = Accumulator{true, 0, 0};
    Statement restore(db, RestoreSql(), kName);
    restore.bindInt64(1, row.firstRow);
    restore.bindInt64(2, row.lastRow);
    try {
        restore.step();
    } catch (const DatabaseError&) {
        throw Damaged(undoing, row.label);  // rows that are not rows of the table (a twice-used aid)
    }
    const std::int64_t digest = static_cast<std::int64_t>(accumulator_.digest);
    if (sqlite3_changes64(db) != row.lastRow - row.firstRow + 1 ||
        (row.recordDigest && *row.recordDigest != digest))
        throw Damaged(undoing, row.label);
    Statement drop(db, "delete from SubHistoryRows where rowid between ?1 and ?2", kName);
    drop.bindInt64(1, row.firstRow);
    drop.bindInt64(2, row.lastRow);
    drop.step();

    Statement mark(db,
                   "update SubHistory set undone = ?1, firstRow = ?2, lastRow = ?3, digest = ?4, "
                   "bytes = ?5, recordDigest = ?7 where step = ?6",
                   kName);
    mark.bindInt64(1, undoing ? 1 : 0);
    mark.bindInt64(2, firstRow);
    mark.bindInt64(3, lastRow);
    mark.bindInt64(4, digest);
    mark.bindInt64(5, bytes);
    mark.bindInt64(6, row.step);
    mark.bindInt64(7, row.digest);  // the rows kept now are the table the step found
    mark.step();
}

}  // namespace tirelle::store
