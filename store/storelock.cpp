#include "store/storelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tirelle::store {

std::filesystem::path StoreLock::LockFileOf(const std::filesystem::path& storeFile) {
    std::filesystem::path lock = storeFile;
    lock += ".lock";
    return lock;
}

StoreLock::StoreLock(const std::filesystem::path& storeFile) : lockFile_(LockFileOf(storeFile)) {
    // Close-on-exec: a program started from this one does not keep the store claimed.
    fd_ = ::open(lockFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd_ < 0) fd_ = ::open(lockFile_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) return;
    int rc = 0;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        state_ = State::Held;
        return;
    }
    state_ = errno == EWOULDBLOCK ? State::HeldElsewhere : State::Unavailable;
    release();
}

StoreLock::~StoreLock() {
    release();
}

StoreLock::StoreLock(StoreLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      state_(std::exchange(other.state_, State::Unavailable)),
      lockFile_(std::move(other.lockFile_)) {}

StoreLock& StoreLock::operator=(StoreLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        state_ = std::exchange(other.state_, State::Unavailable);
        lockFile_ = std::move(other.lockFile_);
    }
    return *this;
}

void StoreLock::release() noexcept {
    if (fd_ >= 0) ::close(fd_);  // the lock goes with the last descriptor
    fd_ = -1;
}

}  // namespace tirelle::store
