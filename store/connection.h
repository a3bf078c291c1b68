#pragma once
// The connection to the subtitle store: the SQLite file DB.mdb in the program's folder.

#include <filesystem>
#include <string>

struct sqlite3;

namespace tirelle::store {

// File name of the store inside the program's folder.
inline constexpr const char* kStoreFileName = "DB.mdb";

// Owns one SQLite connection. Not copyable.
//
// open() creates DB.mdb with its table when the file is missing. A file that exists is never
// rewritten to make it fit: when it is not an SQLite database, has no table Sub, cannot be
// read or stays locked past the busy timeout, open() throws DatabaseError and the connection
// stays closed. A valid store gets WAL journaling (synchronous=NORMAL), the index and the
// bookkeeping the preview statements need, created when absent.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens <folder>/DB.mdb (closing first if open). Throws DatabaseError.
    void open(const std::filesystem::path& folder);
    void close();
    bool isOpen() const { return db_ != nullptr; }

    // Full path of the file last opened (empty before the first open).
    const std::filesystem::path& path() const { return path_; }
    // Connection text in the provider form, for display and diagnostics.
    std::string connectionString() const;

    // The raw handle for the datasets and the command; nullptr while closed.
    sqlite3* handle() const { return db_; }

    // Runs one statement without a result (used by the command object). Throws DatabaseError
    // with the given name in front of the engine's message.
    void execute(const std::string& sql, const std::string& errorPrefix);

private:
    sqlite3* db_ = nullptr;
    std::filesystem::path path_;
};

}  // namespace tirelle::store
