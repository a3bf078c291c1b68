#include "tools/filesteps.h"

#include "store/dataset.h"
#include "store/history.h"
#include "tools/operations.h"
#include "tools/srtfiles.h"

namespace tirelle::tools {

ReadNote DescribeRead(const srt::ReadEncoding& encoding) {
    ReadNote note;
    if (!encoding.converted) return note;
    note.lead = "已按 " + srt::DisplayName(encoding.name) + " 编码读取：";
    if (encoding.replaced > 0)
        note.tail = "（" + std::to_string(encoding.replaced) + " 处无法转换，已替换）";
    return note;
}

FileSteps::FileSteps(store::Dataset& sub, store::Command& command, store::History* history,
                     const CodePage& codePage)
    : sub_(sub), command_(command), history_(history), codePage_(codePage) {}

srt::LineList FileSteps::read(SubtitleSource source, const ReadReport& report) const {
    srt::ReadEncoding encoding;
    srt::LineList lines;
    if (source.bytes) {
        srt::CodePageText text = srt::ToCodePage(std::move(*source.bytes), codePage_);
        encoding = std::move(text.encoding);
        lines = srt::SplitTextLines(text.bytes, codePage_);
    } else {
        if (const store::Connection* connection = sub_.connection();
            connection && connection->isStoreFile(source.path))
            throw FileError("Cannot open file \"" + source.path.string() +
                            "\". It is a file of the subtitle store in use.");
        lines = LoadSubtitleLines(source.path, codePage_, &encoding);
    }
    if (report) report(encoding);
    return lines;
}

void FileSteps::requireStore(bool changes) const {
    store::Connection* connection = sub_.connection();
    if (!sub_.active() || !connection || !connection->isOpen())
        throw StoreUnavailable("字幕库未能打开，无法执行此操作");
    if (changes && connection->readOnly())
        throw StoreUnavailable("字幕库只读，无法修改：" + connection->path().string());
}

void FileSteps::open(SubtitleSource source, srt::LineList& lines, const ReadReport& report) {
    requireStore(true);
    lines = read(std::move(source), report);
    replaceWith(lines);
}

void FileSteps::replaceWith(const srt::LineList& lines) {
    requireStore(true);
    asStep(kOpenStep, [&] {
        ImportSrt(sub_, lines, &command_);
        return true;
    });
}

bool FileSteps::merge(SubtitleSource source, double offset, srt::LineList& lines,
                      const ReadReport& report) {
    requireStore(true);
    if (sub_.isEmpty()) return false;  // merging needs a row in the store
    lines = read(std::move(source), report);
    return mergeLines(lines, offset);
}

bool FileSteps::mergeLines(const srt::LineList& lines, double offset) {
    requireStore(true);
    return asStep(kMergeStep, [&] { return MergeBlocks(sub_, lines, offset); });
}

void FileSteps::save(const std::filesystem::path& path, srt::LineList& lines) {
    requireStore(false);
    ExportSrt(sub_, lines, path);
}

void FileSteps::split(double cut, const std::filesystem::path& path) {
    requireStore(false);
    WriteSubtitleLines(path, SplitAfter(sub_, cut));
}

bool FileSteps::shift(double seconds) {
    requireStore(true);
    if (seconds == 0 || sub_.isEmpty()) return false;  // nothing to do, nothing to record
    return asStep(kShiftStep, [&] { return ShiftAll(sub_, seconds); });
}

bool FileSteps::scale(double newFirst, double newLast) {
    requireStore(true);
    if (sub_.isEmpty()) return false;
    return asStep(kScaleStep, [&] { return ScaleAll(sub_, newFirst, newLast); });
}

bool FileSteps::wrap(std::string_view prefix, std::string_view suffix) {
    requireStore(true);
    if (sub_.isEmpty()) return false;
    return asStep(kWrapStep, [&] { return WrapAll(sub_, prefix, suffix); });
}

bool FileSteps::asStep(const char* label, const std::function<bool()>& change) {
    if (!history_) return change();
    bool changed = false;
    store::RunAsStep(*history_, label, [&] { return changed = change(); });
    return changed;
}

}  // namespace tirelle::tools
