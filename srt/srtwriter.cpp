// Writing SRT files: blocks to lines, lines to a file that is replaced only when complete.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <new>
#include <random>

#include "srt/fileerror.h"
#include "srt/srtfile.h"

namespace tirelle::srt {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kTimeSeparator = " --> ";

// An errno value carried out of the steps of a write.
struct WriteFailure {
    int error;
};

// The file the bytes finally go to: the target, or the file a symbolic link at the target
// points to, so that saving through a link replaces the linked file, not the link.
std::filesystem::path ResolvedTarget(const std::filesystem::path& path) {
    std::error_code failed;
    if (!std::filesystem::is_symlink(path, failed)) return path;
    auto resolved = std::filesystem::canonical(path, failed);
    return failed ? path : resolved;
}

// Creates a new, empty file next to the target with a name nobody else uses. The mode 0666
// is narrowed by the umask, as for any new file.
int CreateTemporaryFile(const std::filesystem::path& target, std::filesystem::path& created) {
    const auto folder = target.has_parent_path() ? target.parent_path() : ".";
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::array<char, 24> suffix{};
        std::snprintf(suffix.data(), suffix.size(), ".%08x%08x", device(), device());
        auto candidate = folder / (std::string(".tirelle-save") + suffix.data() + ".tmp");
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            created = std::move(candidate);
            return fd;
        }
        if (errno != EEXIST) throw WriteFailure{errno};
    }
    throw WriteFailure{EEXIST};
}

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw WriteFailure{errno};
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Makes the new file look like the one it replaces: owner and group, then the permission bits
// (after the owner, since a change of owner can clear set-id bits). False when the owner or
// the group could not be kept: only root may give a file away, and a user may give it only a
// group of their own.
bool CopyOwnerAndMode(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) throw WriteFailure{errno};
    bool kept = true;
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        kept = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    }
    if (::fchmod(fd, old.st_mode & 07777) != 0) throw WriteFailure{errno};
    return kept;
}

// Rewrites an existing file in place, so its hard links, owner, group and permissions stay.
// The bytes are all in memory before the file is touched. A file-size limit is checked and the
// space reserved (where the file system can) before the first old byte is overwritten, so a
// full disk or the limit is found while the old content is still whole.
void WriteInPlace(const std::filesystem::path& target, std::string_view bytes) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) throw WriteFailure{errno};
    try {
        rlimit limit{};
        if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
            bytes.size() > limit.rlim_cur)
            throw WriteFailure{EFBIG};
        const auto size = static_cast<off_t>(bytes.size());
        if (size > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
            errno != ENOSYS)
            throw WriteFailure{errno};
        WriteAll(fd, bytes);
        if (::ftruncate(fd, size) != 0) throw WriteFailure{errno};
        if (::fsync(fd) != 0) throw WriteFailure{errno};
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0) throw WriteFailure{errno};
}

// Best effort: makes the rename itself durable.
void SyncFolder(const std::filesystem::path& target) {
    const auto folder = target.has_parent_path() ? target.parent_path() : ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void AppendSrtBlock(LineList& lines, int number, std::string_view start, std::string_view end,
                    std::string_view text) {
    std::array<char, 16> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), number);
    lines.emplace_back(digits.data(), written.ptr);

    std::string& timeLine = lines.emplace_back();
    timeLine.reserve(start.size() + kTimeSeparator.size() + end.size());
    timeLine.append(start).append(kTimeSeparator).append(end);

    // A text of several lines joined by CR LF becomes several lines; an empty text one empty
    // line. A lone CR or LF stays inside its line, so the bytes written are the text unchanged.
    for (;;) {
        const std::size_t lineEnd = text.find(kLineBreak);
        if (lineEnd == std::string_view::npos) {
            lines.emplace_back(text);
            break;
        }
        lines.emplace_back(text.substr(0, lineEnd));
        text.remove_prefix(lineEnd + kLineBreak.size());
    }
    lines.emplace_back();
}

std::string JoinLines(const LineList& lines) {
    std::size_t total = 0;
    for (const auto& line : lines) total += line.size() + kLineBreak.size();
    std::string out;
    out.reserve(total);
    for (const auto& line : lines) out.append(line).append(kLineBreak);
    return out;
}

void WriteTextLines(const std::filesystem::path& path, const LineList& lines) {
    std::string bytes;
    try {
        bytes = JoinLines(lines);
    } catch (const std::bad_alloc&) {
        throw detail::MakeFileError("Cannot create", path, ENOMEM);
    }
    WriteTextBytes(path, bytes);
}

void WriteTextBytes(const std::filesystem::path& path, std::string_view bytes) {
    const auto target = ResolvedTarget(path);
    std::filesystem::path temporary;
    int fd = -1;
    const auto discardTemporary = [&] {
        if (fd >= 0) ::close(fd);
        fd = -1;
        if (!temporary.empty()) ::unlink(temporary.c_str());
        temporary.clear();
    };
    try {
        struct stat old {};
        const bool exists = ::stat(target.c_str(), &old) == 0;
        // A folder, a pipe or a device at the name is never replaced by a file.
        if (exists && !S_ISREG(old.st_mode)) {
            throw detail::MakeFileError("Cannot create", path,
                                        detail::NotRegularReason(old.st_mode));
        }
        // A file the user may not write stays protected, as it would with an in-place write.
        if (exists && ::access(target.c_str(), W_OK) != 0) throw WriteFailure{errno};

        // A file with several names is rewritten where it is, so every name sees the new text.
        bool inPlace = exists && old.st_nlink > 1;
        if (!inPlace) {
            try {
                fd = CreateTemporaryFile(target, temporary);
            } catch (const WriteFailure& failure) {
                // The folder refuses a new file (one the user may not write, say): an existing
                // file is still rewritten in place; a new one cannot be made. Any other failure
                // (a full disk, a quota, an I/O error) ends the save with the old file whole.
                if (!exists || (failure.error != EACCES && failure.error != EPERM)) throw;
                inPlace = true;
            }
        }
        if (!inPlace && exists && !CopyOwnerAndMode(fd, old)) {
            discardTemporary();
            inPlace = true;
        }
        if (inPlace) {
            WriteInPlace(target, bytes);
            return;
        }
        WriteAll(fd, bytes);
        if (::fsync(fd) != 0) throw WriteFailure{errno};
        const int closed = ::close(fd);
        fd = -1;
        if (closed != 0) throw WriteFailure{errno};
        if (::rename(temporary.c_str(), target.c_str()) != 0) throw WriteFailure{errno};
        temporary.clear();
        SyncFolder(target);
    } catch (const WriteFailure& failure) {
        discardTemporary();
        throw detail::MakeFileError("Cannot create", path, failure.error);
    } catch (const std::bad_alloc&) {
        discardTemporary();
        throw detail::MakeFileError("Cannot create", path, ENOMEM);
    }
}

}  // namespace tirelle::srt
