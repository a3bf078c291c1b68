#pragma once
// The converted copy a save writes beside the file: name.srt and, with it, name.cht.srt (in
// Traditional characters) or name.chs.srt (in Simplified), from the same lines.

#include <cstddef>
#include <filesystem>

#include "base/codepage.h"
#include "chinese/conversion.h"
#include "srt/srtfile.h"

namespace tirelle::chinese {

// name.srt -> name.cht.srt (Traditional) or name.chs.srt (Simplified); a name without an
// extension gets the whole ending.
std::filesystem::path CopyPath(const std::filesystem::path& saved, Script target);

// Writes the lines of an SRT file (as the save wrote them, in the code page) converted line by
// line to `path` through the tools' safe writer. Numbers and time codes hold no Chinese and
// pass unchanged. Returns the characters the code page cannot hold, replaced. Throws what the
// conversion and the writer throw; nothing is written then.
std::size_t WriteConvertedCopy(const srt::LineList& lines, Converter& converter,
                               const CodePage& codePage, const std::filesystem::path& path);

}  // namespace tirelle::chinese
