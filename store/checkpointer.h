#pragma once
// Copies the write-ahead log back into the store file on a thread of its own, so that the
// change whose commit fills the log does not wait for the copy. Internal to the store.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

struct sqlite3;

namespace tirelle::store {

class Checkpointer {
public:
    // Takes over the log of `db` (whose file is `file`) from the engine's own checkpoints: once
    // a commit leaves at least `pages` pages in the log, the thread copies them back with a
    // connection of its own, without blocking the writer. Throws nothing: when the second
    // connection cannot be made, the engine goes on checkpointing as before.
    Checkpointer(sqlite3* db, const std::string& file, int pages);
    // Waits for a copy under way; the log is left to the engine.
    ~Checkpointer();
    Checkpointer(const Checkpointer&) = delete;
    Checkpointer& operator=(const Checkpointer&) = delete;

private:
    static int committed(void* self, sqlite3* db, const char* schema, int pages);
    void run();

    sqlite3* db_;
    sqlite3* own_ = nullptr;
    int pages_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool wanted_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tirelle::store
