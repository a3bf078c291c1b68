#pragma once
// SRT files as byte texts in the system code page.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "srt/encoding.h"

namespace tirelle::srt {

// An ordered list of lines without their line breaks. Joined, every line is followed by CR LF.
using LineList = std::vector<std::string>;

// Reads a file into lines. The file is opened shared for reading. CR LF, a lone CR and a lone
// LF each end a line (LF CR is two breaks); a CR or LF right after a lead byte of the code page
// belongs to that character. The text ends at the first NUL byte. A break at the very end does
// not start another line; an empty file gives no lines. Lines are kept whole, whatever their
// length. Only regular files are read: a folder, a named pipe or a device fails at once.
// Throws FileError "Cannot open file "<path>". <reason>" and, when memory runs out,
// Error "Text exceeds memo capacity".
// A file in another encoding than the code page is first converted into it (ToCodePage);
// `encoding`, when given, receives what the read found.
LineList LoadTextLines(const std::filesystem::path& path, const CodePage& codePage,
                       ReadEncoding* encoding = nullptr);
// The same rules on bytes already in memory.
LineList SplitTextLines(std::string_view bytes, const CodePage& codePage);

// Every byte read from a descriptor until its end (a regular file, a pipe, standard input),
// reading on past what it was said to hold, so a file that grows or reports no size is read
// whole. `expectedSize` is room made up front (0 when nothing is known). Throws FileError
// "Cannot open file "<shownName>". <reason>" when a read fails.
std::string ReadToEnd(int fd, std::size_t expectedSize, const std::string& shownName);

// Splits a time line at the first "-->" into trimmed start and end texts. Without "-->" the
// start is empty and the end is the line from its third byte on, trimmed.
void SplitTimeLine(std::string_view line, std::string& start, std::string& end);

// Walks the line list and calls the action once per SRT block, in file order, with the trimmed
// start text, the trimmed end text and the subtitle text (text lines joined with CR LF and
// trimmed as a whole). A number line with no time line after it gives no block.
using BlockAction = std::function<void(const std::string& start, const std::string& end,
                                       const std::string& text)>;
void ReadSrtBlocks(const LineList& lines, const BlockAction& action);

// Appends the four lines of one block (number, time line, text lines, empty line).
void AppendSrtBlock(LineList& lines, int number, std::string_view start, std::string_view end,
                    std::string_view text);

// Every line followed by CR LF.
std::string JoinLines(const LineList& lines);

// Writes the lines (each followed by CR LF) to the file. The bytes go to a temporary file in
// the same folder that replaces the target only after a complete, synced write, so a failed
// write leaves an existing file untouched; the replaced file keeps its permissions, owner and
// group. When that cannot be done (no new file can be made in the folder, the target has
// several hard links, or its owner or group could not be given to the new file) the target is
// rewritten in place, after its space is reserved where the file system allows, so the links
// and the owner stay. A failed write never leaves a temporary file behind. Throws FileError
// "Cannot create file "<path>". <reason>".
void WriteTextLines(const std::filesystem::path& path, const LineList& lines);
// The same safe write for bytes already joined (and perhaps brought into another encoding).
void WriteTextBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tirelle::srt
