// Reading SRT files: bytes to lines, lines to blocks.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "base/errors.h"
#include "base/text.h"
#include "srt/fileerror.h"
#include "srt/srtfile.h"

namespace tirelle::srt {

namespace {

constexpr std::string_view kTimeSeparator = "-->";

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// All bytes of a regular file, however many it said it holds (/proc reports none).
std::string ReadAllBytes(const std::filesystem::path& path) {
    // Linux has no share modes: a plain read-only open lets others read, and writers are not
    // kept out by anything but advisory locks, which editors do not take. Opening does not
    // wait (a named pipe without a writer would block it) and takes no terminal.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) throw detail::MakeFileError("Cannot open", path, errno);

    // Only regular files are read: a pipe can wait forever for its writer and a device such as
    // /dev/zero never ends. The descriptor is checked, not the name, so nothing can be swapped
    // in between.
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) throw detail::MakeFileError("Cannot open", path, errno);
    if (!S_ISREG(info.st_mode)) {
        throw detail::MakeFileError("Cannot open", path, detail::NotRegularReason(info.st_mode));
    }

    return ReadToEnd(file.get(), info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0,
                     detail::FullPath(path));
}

}  // namespace

std::string ReadToEnd(int fd, std::size_t expectedSize, const std::string& shownName) {
    // One byte more than the size, so the read that finds the end needs no larger buffer.
    constexpr std::size_t kChunk = 1 << 16;
    std::string bytes(std::max(kChunk, expectedSize + 1), '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError("Cannot open file \"" + shownName + "\". " +
                            detail::SystemReason(errno));
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return bytes;
}

LineList SplitTextLines(std::string_view bytes, const CodePage& codePage) {
    // The text ends at the first NUL byte.
    if (const void* nul = std::memchr(bytes.data(), '\0', bytes.size())) {
        bytes =
            bytes.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data()));
    }

    LineList lines;
    if (bytes.empty()) return lines;
    auto breaks = std::count(bytes.begin(), bytes.end(), '\n');
    if (breaks == 0) breaks = std::count(bytes.begin(), bytes.end(), '\r');
    lines.reserve(static_cast<std::size_t>(breaks) + 1);

    // A GBK lead byte takes the byte after it, whatever it is: a CR or LF right after a lead
    // byte belongs to that character and ends no line. In UTF-8 no CR or LF is ever part of a
    // character.
    const bool gbk = codePage.kind() == CodePage::Kind::Gbk;
    std::array<bool, 256> lead{};
    for (unsigned b = 0; b < 256; ++b) lead[b] = codePage.isLeadByte(static_cast<unsigned char>(b));

    const char* const data = bytes.data();
    const char* const end = data + bytes.size();
    const auto find = [end](const char* from, char byte) {
        const void* found = std::memchr(from, byte, static_cast<std::size_t>(end - from));
        return found ? static_cast<const char*>(found) : end;
    };
    // True when the CR or LF at brk is the second byte of a GBK character. A byte outside the
    // lead range always ends the character it belongs to, so the run of lead-range bytes just
    // before brk starts on a character boundary; its bytes pair up, and an odd count leaves a
    // lead byte right before brk. The line start is a boundary too.
    const auto takenByLead = [&](const char* lineStart, const char* brk) {
        std::size_t run = 0;
        for (const char* p = brk; p > lineStart && lead[static_cast<unsigned char>(p[-1])]; --p) {
            ++run;
        }
        return run % 2 == 1;
    };

    const char* start = data;
    const char* nextReturn = find(data, '\r');
    const char* nextFeed = find(data, '\n');
    for (;;) {
        const char* brk = std::min(nextReturn, nextFeed);
        if (brk == end) break;
        if (gbk && takenByLead(start, brk)) {
            if (brk == nextReturn)
                nextReturn = find(brk + 1, '\r');
            else
                nextFeed = find(brk + 1, '\n');
            continue;
        }
        lines.emplace_back(start, static_cast<std::size_t>(brk - start));
        // CR LF is one break; a lone CR or a lone LF is one break as well.
        start = (*brk == '\r' && brk + 1 < end && brk[1] == '\n') ? brk + 2 : brk + 1;
        if (nextReturn < start) nextReturn = find(start, '\r');
        if (nextFeed < start) nextFeed = find(start, '\n');
    }
    // A break at the very end starts no further line.
    if (start < end) lines.emplace_back(start, static_cast<std::size_t>(end - start));
    return lines;
}

namespace {

// Runs the read, reporting memory running out as the text being too large to hold.
template <class Read>
auto WithinMemoCapacity(Read read) {
    try {
        return read();
    } catch (const std::bad_alloc&) {
        throw Error("Text exceeds memo capacity");
    } catch (const std::length_error&) {
        throw Error("Text exceeds memo capacity");
    }
}

}  // namespace

LineList LoadTextLines(const std::filesystem::path& path, const CodePage& codePage,
                       ReadEncoding* encoding) {
    return WithinMemoCapacity([&] {
        CodePageText text = ToCodePage(ReadAllBytes(path), codePage);
        if (encoding) *encoding = std::move(text.encoding);
        return SplitTextLines(text.bytes, codePage);
    });
}

void SplitTimeLine(std::string_view line, std::string& start, std::string& end) {
    const std::size_t separator = line.find(kTimeSeparator);
    if (separator == std::string_view::npos) {
        // Without a separator the first two bytes are dropped and the rest is the end text.
        start.clear();
        end.assign(TrimView(line.size() > 2 ? line.substr(2) : std::string_view()));
        return;
    }
    start.assign(TrimView(line.substr(0, separator)));
    // Everything after the separator, position tags included, is the end text.
    end.assign(TrimView(line.substr(separator + kTimeSeparator.size())));
}

void ReadSrtBlocks(const LineList& lines, const BlockAction& action) {
    const std::size_t n = lines.size();
    // Reused from block to block, so a long file costs no allocation per block.
    std::string start;
    std::string end;
    std::string text;
    std::size_t i = 0;
    while (i < n) {
        if (IsBlank(lines[i])) {
            ++i;
            continue;
        }
        // Line i is the number line; its content is never looked at.
        ++i;
        while (i < n && IsBlank(lines[i])) ++i;
        // A number line with nothing after it is no block.
        if (i >= n) break;

        const std::string& timeLine = lines[i];
        std::size_t j = i + 1;
        text.clear();
        for (; j < n && !IsBlank(lines[j]); ++j) {
            if (j > i + 1) text += "\r\n";
            text += lines[j];
        }
        // Trimmed as a whole: the first line loses its leading white space, the last its
        // trailing white space, the lines between keep theirs.
        const std::string_view trimmed = TrimView(text);
        const auto lead = static_cast<std::size_t>(trimmed.data() - text.data());
        text.resize(lead + trimmed.size());
        text.erase(0, lead);

        SplitTimeLine(timeLine, start, end);
        action(start, end, text);
        // Line j is the blank line that ended the text, or j == n.
        i = j + 1;
    }
}

}  // namespace tirelle::srt
