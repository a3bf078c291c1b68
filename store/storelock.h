#pragma once
// The claim of one running program on a store: an advisory lock (flock) on a small file beside
// the store, "<store>.lock", held from the start to the exit. The kernel lets it go when the
// process ends in any way, a crash included, so a lock never outlives its program.
//
// The lock file is a file of its own: the engine's locks on the store and its journal files are
// record locks that a process loses when it closes any descriptor of those files, so nothing here
// ever opens them.

#include <filesystem>

namespace tirelle::store {

class StoreLock {
public:
    enum class State {
        Held,         // this object holds the store
        HeldElsewhere,  // another process holds it
        Unavailable,  // no lock file can be made or opened (a folder that cannot be written)
    };

    // Tries to take the lock for the store file at storeFile, without waiting.
    explicit StoreLock(const std::filesystem::path& storeFile);
    ~StoreLock();
    StoreLock(StoreLock&& other) noexcept;
    StoreLock& operator=(StoreLock&& other) noexcept;
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    State state() const { return state_; }
    const std::filesystem::path& lockFile() const { return lockFile_; }

    // The lock file of a store file: beside it, its name with ".lock" added.
    static std::filesystem::path LockFileOf(const std::filesystem::path& storeFile);

private:
    void release() noexcept;

    int fd_ = -1;
    State state_ = State::Unavailable;
    std::filesystem::path lockFile_;
};

}  // namespace tirelle::store
