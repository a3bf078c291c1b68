#include "store/checkpointer.h"

#include <sqlite3.h>

namespace tirelle::store {

Checkpointer::Checkpointer(sqlite3* db, const std::string& file, int pages) : db_(db), pages_(pages) {
    if (sqlite3_open_v2(file.c_str(), &own_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        sqlite3_close_v2(own_);
        own_ = nullptr;
        return;
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        sqlite3_close_v2(own_);
        own_ = nullptr;
        return;
    }
    sqlite3_wal_hook(db_, &Checkpointer::committed, this);  // replaces the automatic checkpoint
}

Checkpointer::~Checkpointer() {
    if (!own_) return;
    sqlite3_wal_autocheckpoint(db_, pages_);  // the engine's own again
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    sqlite3_close_v2(own_);
}

int Checkpointer::committed(void* self, sqlite3*, const char*, int pages) {
    auto* checkpointer = static_cast<Checkpointer*>(self);
    if (pages >= checkpointer->pages_) {
        {
            std::lock_guard lock(checkpointer->mutex_);
            checkpointer->wanted_ = true;
        }
        checkpointer->wake_.notify_one();
    }
    return SQLITE_OK;
}

void Checkpointer::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return wanted_ || stopping_; });
        if (stopping_) return;
        wanted_ = false;
        lock.unlock();
        // A connection that has not read the store yet does not know its log: a read opens it.
        sqlite3_exec(own_, "select 1 from sqlite_master limit 1", nullptr, nullptr, nullptr);
        // Passive: copies what no reader still needs and never waits for the writer. What it
        // leaves is copied at the next request, or when the store is closed.
        sqlite3_wal_checkpoint_v2(own_, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        lock.lock();
    }
}

}  // namespace tirelle::store
