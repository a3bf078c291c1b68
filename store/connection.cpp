#include "store/connection.h"

#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "store/checkpointer.h"
#include "store/errors.h"

namespace tirelle::store {

namespace {

// The table as a new store gets it.
constexpr const char* kCreateTableSql =
    "create table Sub (aid INTEGER PRIMARY KEY AUTOINCREMENT, STime TEXT, ETime TEXT, "
    "SubText TEXT, SubSort REAL, SubSortEnd REAL)";

constexpr const char* kCreateIndexSql = "create index if not exists SubSortIndex on Sub (SubSort)";

// The span a row contributes to MaxSpan. A text or blob in SubSortEnd compares above every
// number, so such a row is active at every position after its numeric start: its span counts
// as unbounded (9e999 reads as infinity). NULLs give NULL and are ignored.
std::string Span(const std::string& row) {
    return "(case when typeof(" + row + ".SubSortEnd) in ('text','blob') and typeof(" + row +
           ".SubSort) in ('integer','real') then 9e999 else " + row + ".SubSortEnd - " + row +
           ".SubSort end)";
}

constexpr const char* kCreateSpanTableSql =
    "create table if not exists SubSpan (id INTEGER PRIMARY KEY CHECK (id = 1), "
    "MaxSpan REAL NOT NULL)";
constexpr const char* kCreateTempSpanTableSql =
    "create temp table if not exists SubSpan (id INTEGER PRIMARY KEY CHECK (id = 1), "
    "MaxSpan REAL NOT NULL)";

// Recomputes the bound from every row; 0 for an empty table or when no span is positive.
std::string RecomputeSpanSql() {
    return "insert or replace into SubSpan (id, MaxSpan) values (1, (select max(0, ifnull(max(" +
           Span("Sub") + "), 0)) from Sub))";
}

// Inserts and updates raise the bound. Deletes leave it as it is, still an upper bound; the
// command object recomputes it after its statement (emptying the table), so that a delete of
// every row keeps SQLite's fast whole-table path, which a delete trigger would prevent.
std::array<std::string, 3> CreateTriggerSql() {
    const std::string raise =
        "update SubSpan set MaxSpan = " + Span("new") + " where " + Span("new") + " > MaxSpan; end";
    return {
        "create trigger if not exists SubSpanInsert after insert on Sub begin " + raise,
        "create trigger if not exists SubSpanUpdate after update of SubSort, SubSortEnd on Sub "
        "begin " +
            raise,
        "drop trigger if exists SubSpanEmpty",  // kept per row by stores made earlier
    };
}

// The columns the datasets read and write, matched without regard to case.
constexpr std::array kColumns = {"aid", "STime", "ETime", "SubText", "SubSort", "SubSortEnd"};

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           sqlite3_strnicmp(a.data(), b.data(), static_cast<int>(a.size())) == 0;
}

// "file:" and the path with every byte but letters, digits and "/._-~" written as %XX.
std::string FileUri(const std::filesystem::path& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const unsigned char c : path.string()) {
        if (std::isalnum(c) || std::strchr("/._-~", c)) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

std::string Quoted(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

// Pages of WAL after which it is copied back into the store file: 40 MB.
constexpr int kCheckpointPages = 10000;

// Runs a statement without a result on a raw handle; returns the engine's message on failure.
bool Run(sqlite3* db, const char* sql, std::string& message) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK) return true;
    message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    return false;
}

// Reads the schema without writing anything: does the file hold table Sub with every column,
// and does some index start with SubSort? Returns false with the reason otherwise.
bool CheckStore(sqlite3* db, bool& hasSortIndex, std::string& reason) {
    try {
        Statement table(db, "select name from sqlite_master where type = 'table'", "");
        std::string tableName;
        while (table.step()) {
            const std::string name = table.columnBytes(0);
            if (SameName(name, "Sub")) tableName = name;
        }
        if (tableName.empty()) {
            reason = "It has no table Sub.";
            return false;
        }
        Statement columns(db, "select name, pk from pragma_table_info('Sub')", "");
        std::array<bool, kColumns.size()> found{};
        bool aidIsKey = false;
        bool otherKey = false;
        while (columns.step()) {
            const std::string name = columns.columnBytes(0);
            const bool key = columns.columnInt64(1) > 0;
            for (std::size_t i = 0; i < kColumns.size(); ++i)
                if (SameName(name, kColumns[i])) found[i] = true;
            if (SameName(name, "aid"))
                aidIsKey = key;
            else if (key)
                otherKey = true;
        }
        for (std::size_t i = 0; i < kColumns.size(); ++i) {
            if (!found[i]) {
                reason = std::string("Table Sub has no column ") + kColumns[i] + ".";
                return false;
            }
        }
        // Rows are told apart by aid, and a new row's aid is the one the engine gives it: aid
        // must be the integer key the rows are stored by (the rowid). That is a primary key on
        // aid alone that needs no index of its own; any other key (a text key, a key of
        // several columns, "INT PRIMARY KEY", a table without rowid) keeps one.
        Statement keyIndex(db, "select 1 from pragma_index_list('Sub') where origin = 'pk'", "");
        if (!aidIsKey || otherKey || keyIndex.step()) {
            reason = "Column aid of table Sub is not its integer primary key.";
            return false;
        }
        Statement indexes(db,
                          "select 1 from pragma_index_list('Sub') as l "
                          "join pragma_index_info(l.name) as i on i.seqno = 0 "
                          "where i.name = 'SubSort' collate nocase",
                          "");
        hasSortIndex = indexes.step();
        return true;
    } catch (const DatabaseError& error) {
        // Statements made with an empty name carry ": " before the engine's text.
        reason = std::string(error.what()).substr(2);
        return false;
    }
}

}  // namespace

std::filesystem::path StoreFolder(const std::filesystem::path& programFolder) {
    if (::access(programFolder.c_str(), W_OK | X_OK) == 0) return programFolder;
    std::filesystem::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        data = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* user = ::getpwuid(::geteuid());
            home = user ? user->pw_dir : nullptr;
        }
        if (!home || !*home) return programFolder;
        data = std::filesystem::path(home) / ".local" / "share";
    }
    const auto folder = data / "Tirelle";
    std::error_code ignored;
    std::filesystem::create_directories(data, ignored);
    ::mkdir(folder.c_str(), 0700);  // the user's own subtitles: private, as the data folder is
    return folder;
}

Connection::Connection() = default;

Connection::~Connection() {
    close();
}

void Connection::close() {
    if (!db_) return;
    checkpointer_.reset();
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

std::string Connection::connectionString() const {
    return "Provider=SQLite;Data Source=" + path_.string() + ";Persist Security Info=False";
}

void Connection::open(const std::filesystem::path& folder) {
    openFile(folder / kStoreFileName);
}

void Connection::openFile(const std::filesystem::path& file) {
    close();
    path_ = file;

    std::error_code ignored;
    const bool exists =
        std::filesystem::exists(path_, ignored) || std::filesystem::is_symlink(path_, ignored);
    // A zero-byte file holds nothing to keep: it is set up like a missing one (some tools
    // create the file empty, and SQLite reads it as an empty database).
    std::error_code sizeFailed;
    const bool blank = exists && std::filesystem::is_regular_file(path_, ignored) &&
                       std::filesystem::file_size(path_, sizeFailed) == 0 && !sizeFailed;
    const std::string prefix =
        std::string(exists ? "Cannot open database " : "Cannot create database ") + Quoted(path_) +
        ". ";

    sqlite3* db = nullptr;
    // One thread uses a connection (the UI thread), so the engine's own locking is left out.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (exists ? 0 : SQLITE_OPEN_CREATE);
    std::string name = path_.string();
    // The engine keeps its journal files beside the real file (a link is followed). In a folder
    // that cannot be written it can make none, and a store in WAL mode cannot even be read the
    // ordinary way: it is opened read-only, and with no journal there nobody can be writing it,
    // so it is read as a file that does not change.
    if (exists && !blank) {
        std::error_code failed;
        const auto real = std::filesystem::canonical(path_, failed);
        if (!failed && ::access(real.parent_path().c_str(), W_OK) != 0) {
            flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
            auto journal = real;
            journal += "-wal";
            name = FileUri(real) +
                   (std::filesystem::exists(journal, ignored) ? "?mode=ro" : "?immutable=1");
        }
    }
    if (sqlite3_open_v2(name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        throw DatabaseError(prefix + message);
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);

    std::string message;
    bool ok = true;
    const auto fail = [&](std::string reason) {
        sqlite3_close_v2(db);
        // Leave no half-made store behind: a missing file stays missing, a blank one blank.
        if (!exists) std::filesystem::remove(path_, ignored);
        if (blank) std::filesystem::resize_file(path_, 0, ignored);
        throw DatabaseError(prefix + reason);
    };

    if (!exists || blank) {
        ok = Run(db, "pragma journal_mode = wal", message) && Run(db, "begin", message) &&
             Run(db, kCreateTableSql, message) && Run(db, kCreateIndexSql, message) &&
             Run(db, kCreateSpanTableSql, message) && Run(db, RecomputeSpanSql().c_str(), message);
        for (const std::string& sql : CreateTriggerSql()) ok = ok && Run(db, sql.c_str(), message);
        ok = ok && Run(db, "commit", message);
        if (!ok) fail(message);
    } else {
        // Everything is checked before the first write, so a file that is not a store stays
        // exactly as it was.
        bool hasSortIndex = false;
        if (!CheckStore(db, hasSortIndex, message)) fail(message);
        if (sqlite3_db_readonly(db, "main") == 1) {
            // Nothing can be stored; the bound lives in a temporary table for this run.
            ok = Run(db, kCreateTempSpanTableSql, message) &&
                 Run(db, RecomputeSpanSql().c_str(), message);
        } else {
            ok = Run(db, "pragma journal_mode = wal", message) &&
                 Run(db, "begin immediate", message);
            if (ok && !hasSortIndex) ok = Run(db, kCreateIndexSql, message);
            ok = ok && Run(db, kCreateSpanTableSql, message);
            for (const std::string& sql : CreateTriggerSql())
                ok = ok && Run(db, sql.c_str(), message);
            ok = ok && Run(db, RecomputeSpanSql().c_str(), message) && Run(db, "commit", message);
        }
        if (!ok) fail(message);
    }
    // Every commit is synced to the WAL before it returns, so a confirmed post survives a power
    // cut. Posts come one row at a time, so checkpoints are spaced by 10000 pages (40 MB of WAL)
    // rather than the default 1000. Statement and savepoint journals keep the engine's own
    // placement: in memory while small, in a temporary file past 64 KiB. (Held wholly in
    // memory, a journal is cut back at the end of every statement by walking it from its
    // start, which made a bulk load inside an undo step slower with every row.) A large page
    // cache keeps a bulk change of 100,000 rows from spilling pages to the WAL before its commit.
    // The WAL is copied back by a thread of its own, so that the change whose commit fills it
    // does not wait for the copy.
    if (!Run(db, "pragma synchronous = full", message) ||
        !Run(db, ("pragma wal_autocheckpoint = " + std::to_string(kCheckpointPages)).c_str(), message) ||
        !Run(db, "pragma cache_size = -32768", message))
        fail(message);
    db_ = db;
    const char* opened = sqlite3_db_filename(db, "main");
    if (sqlite3_db_readonly(db, "main") == 0 && opened && *opened)
        checkpointer_ = std::make_unique<Checkpointer>(db, opened, kCheckpointPages);
    bookkeepingChanges_ = 0;
    sqlite3_rollback_hook(
        db_, [](void* self) { ++static_cast<Connection*>(self)->rollbacks_; }, this);
}

void Connection::execute(const std::string& sql, const std::string& errorPrefix) {
    if (!db_) throw datasetError(errorPrefix, kConnectionClosedMessage);
    std::string message;
    if (!Run(db_, sql.c_str(), message)) throw datasetError(errorPrefix, message);
}

bool Connection::isStoreFile(const std::filesystem::path& file) const {
    if (!db_) return false;
    struct stat target {};
    if (::stat(file.c_str(), &target) != 0) return false;
    const char* main = sqlite3_db_filename(db_, "main");
    if (!main || !*main) return false;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        struct stat own {};
        const std::string name = std::string(main) + suffix;
        if (::stat(name.c_str(), &own) == 0 && own.st_dev == target.st_dev &&
            own.st_ino == target.st_ino)
            return true;
    }
    return false;
}

bool Connection::readOnly() const {
    return db_ && sqlite3_db_readonly(db_, "main") == 1;
}

bool Connection::inTransaction() const {
    return db_ && sqlite3_get_autocommit(db_) == 0;
}

void Connection::recomputeSpanBound(const std::string& errorPrefix) {
    execute(RecomputeSpanSql(), errorPrefix);
    bookkeepingChanges_ += sqlite3_changes64(db_);
}

void Connection::suspendSpanTriggers(const std::string& errorPrefix) {
    // A store that can only be read keeps its triggers; the change fails at its first write.
    if (db_ && sqlite3_db_readonly(db_, "main") == 1) return;
    execute("drop trigger if exists SubSpanInsert", errorPrefix);
    execute("drop trigger if exists SubSpanUpdate", errorPrefix);
}

void Connection::resumeSpanTriggers(const std::string& errorPrefix,
                                    std::optional<double> raiseTo) {
    if (db_ && sqlite3_db_readonly(db_, "main") == 1) return;
    if (raiseTo) {
        Statement raise(db_, "update SubSpan set MaxSpan = ?1 where ?1 > MaxSpan", errorPrefix);
        raise.bindDouble(1, *raiseTo);
        while (raise.step()) {
        }
    } else {
        recomputeSpanBound(errorPrefix);
    }
    for (const std::string& sql : CreateTriggerSql()) execute(sql, errorPrefix);
}

Connection::ChangeStamp Connection::changeStamp(const std::string& errorPrefix) const {
    if (!db_) throw datasetError(errorPrefix, kConnectionClosedMessage);
    Statement version(db_, "pragma data_version", errorPrefix);
    version.step();
    return ChangeStamp{db_, changeCount(), version.columnInt64(0), rollbacks_};
}

std::int64_t Connection::changeCount() const {
    return db_ ? sqlite3_total_changes64(db_) - bookkeepingChanges_ : 0;
}

// --- Statement

Statement::Statement(sqlite3* db, std::string_view sql, std::string name)
    : db_(db), name_(std::move(name)) {
    if (!db_) throw datasetError(name_, kConnectionClosedMessage);
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throw datasetError(name_, message);
    }
    if (!stmt_) throw datasetError(name_, "The statement is empty");
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      stmt_(std::exchange(other.stmt_, nullptr)),
      name_(std::move(other.name_)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = std::exchange(other.db_, nullptr);
        stmt_ = std::exchange(other.stmt_, nullptr);
        name_ = std::move(other.name_);
    }
    return *this;
}

void Statement::fail() const {
    throw datasetError(name_, sqlite3_errmsg(db_));
}

void Statement::bindText(int index, std::string_view text) {
    // A non-null pointer even for "" so that the empty text is stored, not NULL.
    static const char kEmpty = 0;
    const char* data = text.empty() ? &kEmpty : text.data();
    if (sqlite3_bind_text(stmt_, index, data, static_cast<int>(text.size()), SQLITE_STATIC) !=
        SQLITE_OK)
        fail();
}

void Statement::bindDouble(int index, double value) {
    if (sqlite3_bind_double(stmt_, index, value) != SQLITE_OK) fail();
}

void Statement::bindInt64(int index, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) fail();
}

void Statement::bindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) fail();
}

void Statement::bindBlob(int index, const void* data, int size) {
    if (sqlite3_bind_blob(stmt_, index, data, size, SQLITE_STATIC) != SQLITE_OK) fail();
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const std::string message = sqlite3_errmsg(db_);
    sqlite3_reset(stmt_);
    throw datasetError(name_, message);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::changes() const {
    return sqlite3_changes(db_);
}

int Statement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

std::string Statement::columnName(int column) const {
    const char* name = sqlite3_column_name(stmt_, column);
    return name ? name : "";
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int Statement::columnType(int column) const {
    return sqlite3_column_type(stmt_, column);
}

std::int64_t Statement::columnInt64(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double Statement::columnDouble(int column) const {
    return sqlite3_column_double(stmt_, column);
}

std::string Statement::columnBytes(int column) const {
    // Blob access never converts the encoding: the bytes are the ones that were bound.
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    if (!data || size <= 0) return std::string();
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace tirelle::store
