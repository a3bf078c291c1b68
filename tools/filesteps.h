#pragma once
// The program's file steps on one store, each one call: open a subtitle file (read it in
// whatever encoding it is in, tell what the read found, replace the store with it), merge one
// in, save, split, and the tools of the tools window. The main window, the tools window and
// tirelle-cli gather the arguments, call one step and show what it gives.
//
// Every step that changes rows is one step of the undo history when the steps have one; the
// rows a step changed before a failure stay, and are that step (see store::RunAsStep).

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/codepage.h"
#include "base/errors.h"
#include "srt/encoding.h"
#include "srt/srtfile.h"

namespace tirelle::store {
class Command;
class Dataset;
class History;
}  // namespace tirelle::store

namespace tirelle::tools {

// The labels of the steps in the undo history (UTF-8).
inline constexpr const char* kOpenStep = "打开字幕文件";
inline constexpr const char* kShiftStep = "时间平移";
inline constexpr const char* kScaleStep = "时间缩放";
inline constexpr const char* kWrapStep = "批量设置字体";
inline constexpr const char* kMergeStep = "合并字幕";

// Where a subtitle file comes from: the file at `path`, or `bytes` already read (standard
// input), which are then taken through the same conversion and splitting.
// A step refused because the store is not open, or can only be read. The message is UTF-8.
class StoreUnavailable : public Error {
public:
    using Error::Error;
};

struct SubtitleSource {
    std::filesystem::path path;
    std::optional<std::string> bytes;
};

// Hears what a read found, before anything of the file reaches the store.
using ReadReport = std::function<void(const srt::ReadEncoding&)>;

// The note on a read that converted its file, in UTF-8, to stand around the file's name:
// lead + name + tail, as "已按 GB18030 编码读取：" + name + "（3 处无法转换，已替换）" (the tail
// only when sequences were replaced). Both empty for a read in the code page.
struct ReadNote {
    std::string lead;
    std::string tail;
};
ReadNote DescribeRead(const srt::ReadEncoding& encoding);

class FileSteps {
public:
    // None is owned; all outlive the steps. `command` is the command object the open empties
    // the table with; `history` may be null, and the steps are then not recorded. `codePage`
    // is looked at by every read, so a change of it counts from the next read.
    FileSteps(store::Dataset& sub, store::Command& command, store::History* history,
              const CodePage& codePage);

    store::Dataset& sub() const { return sub_; }

    // The lines of a subtitle file in the code page; `report` hears what the read found.
    // Throws FileError "Cannot open file "<path>". <reason>".
    srt::LineList read(SubtitleSource source, const ReadReport& report = {}) const;

    // Reads the file into `lines` (a window's line list), then replaces every row with its
    // blocks as they are, as one step "打开字幕文件" (see ImportSrt). A file that cannot be
    // read leaves the store as it was.
    void open(SubtitleSource source, srt::LineList& lines, const ReadReport& report = {});
    // The replacement alone, for lines read before.
    void replaceWith(const srt::LineList& lines);

    // Adds the file's blocks at `offset` seconds as one step "合并字幕" (see MergeBlocks).
    // False, reading nothing, for an empty store.
    bool merge(SubtitleSource source, double offset, srt::LineList& lines,
               const ReadReport& report = {});
    // The merge alone, for lines read before.
    bool mergeLines(const srt::LineList& lines, double offset);

    // Writes every row in start order into `lines` and then the file (see ExportSrt).
    void save(const std::filesystem::path& path, srt::LineList& lines);
    // Writes the rows starting after `cut` seconds into a new file (see SplitAfter); the
    // store is not changed.
    void split(double cut, const std::filesystem::path& path);

    // The tools as steps "时间平移", "时间缩放", "批量设置字体"; false, recording nothing,
    // when there is nothing to do (see ShiftAll, ScaleAll, WrapAll).
    bool shift(double seconds);
    bool scale(double newFirst, double newLast);
    bool wrap(std::string_view prefix, std::string_view suffix);

private:
    // Every step needs an open store, and one that changes rows a store that can be written:
    // otherwise StoreUnavailable, before anything is read or asked.
    void requireStore(bool changes) const;
    // Runs `change` (which tells whether it changed anything) as one step of the history.
    bool asStep(const char* label, const std::function<bool()>& change);

    store::Dataset& sub_;
    store::Command& command_;
    store::History* history_;
    const CodePage& codePage_;
};

}  // namespace tirelle::tools
