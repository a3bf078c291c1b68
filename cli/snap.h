#pragma once
// tirelle-cli snap VIDEO FILE... [--window SECONDS] [-o FILE | -i]: every file opened as the
// window opens it, its subtitles snapped to the video's speech as the window's "对齐语音" does,
// and saved. The speech comes from the cache beside the peaks, else from the speech module.

#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"

namespace tirelle::cli {

// argv[2..] of a snap command line. Returns the exit status: 0 when every file was done, 1
// when the video has no speech to read (no audio, unreadable: nothing written) or a file
// failed, 2 for a bad command line.
int RunSnap(const std::vector<std::string_view>& arguments, const CodePage& codePage);

}  // namespace tirelle::cli
