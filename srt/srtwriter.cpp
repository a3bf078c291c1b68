// Writing SRT files: blocks to lines, lines to a file that is replaced only when complete.

#include <fcntl.h>
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

// Makes the new file look like the one it replaces: owner and group where allowed, then the
// permission bits (after the owner, since a change of owner can clear set-id bits).
void CopyOwnerAndMode(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        // Only root or the file's owner with a matching group may do this; otherwise the new
        // file keeps the saving user as owner, as a freshly created file would.
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
    }
    if (::fchmod(fd, old.st_mode & 07777) != 0) throw WriteFailure{errno};
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
    try {
        struct stat old {};
        const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
        // A file the user may not write stays protected, as it would with an in-place write.
        if (replacing && ::access(target.c_str(), W_OK) != 0) throw WriteFailure{errno};

        fd = CreateTemporaryFile(target, temporary);
        if (replacing) CopyOwnerAndMode(fd, old);
        WriteAll(fd, bytes);
        if (::fsync(fd) != 0) throw WriteFailure{errno};
        const int closed = ::close(fd);
        fd = -1;
        if (closed != 0) throw WriteFailure{errno};
        if (::rename(temporary.c_str(), target.c_str()) != 0) throw WriteFailure{errno};
        temporary.clear();
        SyncFolder(target);
    } catch (const WriteFailure& failure) {
        if (fd >= 0) ::close(fd);
        if (!temporary.empty()) ::unlink(temporary.c_str());
        throw detail::MakeFileError("Cannot create", path, failure.error);
    } catch (const std::bad_alloc&) {
        if (fd >= 0) ::close(fd);
        if (!temporary.empty()) ::unlink(temporary.c_str());
        throw detail::MakeFileError("Cannot create", path, ENOMEM);
    }
}

}  // namespace tirelle::srt
